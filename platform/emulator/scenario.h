// What the emulator emulates: crates, the modules in their slots and, per
// GRV480, the bridges and line faults behind it. Read from an INI-like text.
#ifndef SCENARIO_H
#define SCENARIO_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct BridgeSpec
{
    enum Fault { NoFault, Open, Short };
    double resistance = 0;         // ohms; 0 = the module's Rref
    double offsetMv = 0;           // unbalance at the nominal current
    double sineMv = 0;
    double sineHz = 0;
    double phaseDeg = 0;
    std::vector<double> harmonicsMv; // 2nd, 3rd, ... harmonic amplitudes
    double noiseUv = 1;            // RMS
    double ucmOffsetV = 0;         // shift of the common-mode voltage
    double gainError = 0;          // relative error of the channel's gain
    uint64_t seed = 0;
    Fault fault = NoFault;
    bool overRange = false;        // a step of 1.5 x the channel's full scale on the unbalance
    double driftUv = 0;            // slow, temperature-like wander of the offset (amplitude)
    double driftPeriodS = 600;
    double mainsUv = 0;            // pickup from the mains: fundamental, with 3rd and 5th
    double mainsHz = 50;
};

// A change that a scenario schedules or the control command makes while the
// emulator runs. Channel and module changes are key = value pairs of the
// [bridge] and [module] vocabulary; a link action acts on the connection.
struct EventSpec
{
    enum Link { NoLink, Stall, Drop, Corrupt, Truncate, Overflow, Vanish };
    double atS = 0;                // after the module's start
    double repeatS = 0;            // 0 = once
    double durationS = 0;          // stall/vanish length; for a change: until it reverts (0 = stays)
    int bridge = 0;                // 1..16 for a channel change, 0 for the module or the link
    std::vector<std::pair<std::string, std::string>> set;
    Link link = NoLink;
};

struct ModuleSpec
{
    std::string crate;
    int slot = 0;                  // 1..16
    uint16_t typeId = 0;
    std::string serial;
    uint16_t fpgaVersion = 1;
    double rref = 120;
    double loadPowerLimitW = 2;
    double cableLengthM = 100;
    double cableCapPfPerM = 150;
    double cableResOhmPerM = 0.05;
    double zeroOffsetUv = 15;      // zero of the unbalance path
    double absZeroOffsetMv = 1.5;  // zero of the absolute-voltage path
    bool rrefOpen = false;
    bool rrefShort = false;
    bool unegOpen = false;
    uint64_t seed = 0;
    bool isrcFault = false;        // the excitation current source delivers nothing
    // how long the module takes, like a real one (ms)
    int setAdcMs = 30;
    int initMeasMs = 10;
    int startMs = 20;
    int flashReadMs = 50;
    int flashWriteMs = 300;
    double settleMs = 3;           // time constant of the inputs after a start or a change
    std::array<BridgeSpec, 16> bridges;
    std::vector<EventSpec> events;
};

// One key of a [bridge] section, or of the live keys of a [module]
// (isrc_fault); false with the reason in *error.
bool setBridgeKey(BridgeSpec *b, const std::string &key, const std::string &val, std::string *error);
bool setModuleLiveKey(ModuleSpec *m, const std::string &key, const std::string &val,
                      std::string *error);
bool parseLinkAction(const std::string &val, EventSpec::Link *link);
const char *linkActionName(EventSpec::Link link);

struct Scenario
{
    std::vector<std::string> crates;
    std::vector<ModuleSpec> modules;

    const ModuleSpec *module(const std::string &crate, int slot) const;
};

// Parses a scenario; on failure false with "name:line: reason" in *error.
bool parseScenario(const std::string &text, const std::string &name, Scenario *s,
                   std::string *error);
bool loadScenarioFile(const std::string &path, Scenario *s, std::string *error);
const char *builtinScenarioText();

#endif // SCENARIO_H
