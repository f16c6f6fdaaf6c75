// Conditions switched on while the emulator runs, by the control command:
// changed channels and modules, link actions for the connections of a module,
// crates hidden from the listing. Shared by every client thread.
#ifndef FAULTBOARD_H
#define FAULTBOARD_H

#include "scenario.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

struct LinkAction
{
    EventSpec::Link link = EventSpec::NoLink;
    int durationMs = 0;
};

class FaultBoard
{
public:
    explicit FaultBoard(const Scenario &scenario);

    // Carries out one control command (see the emulator's README); 0 and
    // the answer in *reply, or 2 and the reason.
    int command(const std::string &text, std::string *reply);

    // Changes only ever increase it; a client compares before it copies.
    uint64_t version() const { return ver.load(); }
    ModuleSpec liveSpec(const ModuleSpec *m);
    // Link actions ordered after *seen, which is moved past them.
    std::vector<LinkAction> takeLinkActions(const ModuleSpec *m, uint64_t *seen);
    uint64_t linkSequence();
    bool crateHidden(const std::string &crate);
    void hideCrate(const std::string &crate, int durationMs);   // 0 = until shown again

private:
    struct Changes
    {
        // per channel 1..16, 0 = the module: key = value in the order given
        std::map<int, std::vector<std::pair<std::string, std::string>>> set;
    };
    struct Queued
    {
        uint64_t seq;
        const ModuleSpec *module;
        LinkAction action;
    };
    const ModuleSpec *find(const std::string &crate, int slot) const;
    bool hiddenLocked(const std::string &crate, int64_t now);

    const Scenario &scen;
    std::mutex mutex;
    std::atomic<uint64_t> ver{0};
    std::map<const ModuleSpec *, Changes> changes;
    std::vector<Queued> queued;
    uint64_t seq = 0;
    std::map<std::string, int64_t> hidden;   // crate -> until (ms, monotonic), 0 = no end
};

// Applies key = value changes of a channel (1..16) or the module (0).
bool applyChanges(ModuleSpec *m, int bridge,
                  const std::vector<std::pair<std::string, std::string>> &set, std::string *error);

#endif // FAULTBOARD_H
