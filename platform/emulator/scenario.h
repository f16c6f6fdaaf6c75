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
    std::array<BridgeSpec, 16> bridges;
};

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
