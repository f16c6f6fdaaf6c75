// One emulated GRV480 as its client sees it: configuration, measurement mode
// and the data words of its frames, computed from the scenario's physics.
#ifndef MODULEEMU_H
#define MODULEEMU_H

#include "modulecore.h"
#include "protocol.h"
#include "replayrecording.h"
#include "scenario.h"

#include <cstdint>
#include <memory>
#include <vector>

// Seeded generator, so that a scenario replays identically.
class NoiseSource
{
public:
    void seed(uint64_t s);
    double uniform();   // [0, 1)
    double gauss();     // standard normal

private:
    uint64_t next();
    uint64_t state[2] = {1, 2};
    double spare = 0;
    bool hasSpare = false;
};

class ModuleEmulator
{
public:
    explicit ModuleEmulator(const ModuleSpec &spec);

    // The module as the control command has changed it; takes effect at the
    // next frame, the values settling from where they were.
    void setLiveSpec(const ModuleSpec &live);
    const ModuleSpec &scenarioSpec() const { return spec; }
    // A scheduled link action reached by generate(), which stops before the
    // frame it is due at; false when none.
    bool takeLinkAction(EventSpec::Link *link, int *durationMs);

    TGRV480ModuleInfo info() const;
    int setAdc(const grv480::proto::SetAdcRequest &req, grv480::proto::SetAdcReply *reply);
    int initMeas(int mode);
    int start();
    void stop() { running = false; }
    bool isStarted() const { return running; }
    double frameFrequency() const { return tables.frameFrequency; }
    uint32_t frameWords() const { return tables.raw.frameWordCount; }
    uint64_t framesGenerated() const { return frameNo; }
    // Appends the words of frames frameNo .. upTo-1; stops early at a frame
    // that has a link action due (see takeLinkAction).
    void generate(uint64_t upTo, std::vector<uint32_t> *out);

    // Plays the recording instead of the scenario's physics: the configuration
    // must be the recorded one, and every start plays it from its beginning.
    void setReplay(const ReplayRecording *recording, bool loop);
    // Nothing more to play: a single pass has ended, or the file became unreadable.
    bool replayEnded() const { return cursor && cursor->ended(); }
    const ReplayCursor *replayCursor() const { return cursor.get(); }

private:
    struct Channel
    {
        double fullScale = 0;
        double dacV = 0;
        double gain = 1;        // 1 + gain error
        double dcV = 0;
        double amp[12] = {};    // fundamental, harmonics and mains pickup, volts after filtering
        double omega[12] = {};
        double phase[12] = {};
        int harmonics = 0;
        double driftV = 0;
        double driftOmega = 0;
        double driftPhase = 0;
        double settleFromV = 0;  // the level the inputs settle from
        uint64_t settleFrame = 0;
        double noiseV = 0;
        BridgeSpec::Fault fault = BridgeSpec::NoFault;
        NoiseSource rng;
    };
    struct BgValue
    {
        double volts = 0;
        double fullScale = 1;
        double fromV = 0;
        uint64_t settleFrame = 0;
    };
    struct Scheduled
    {
        const EventSpec *ev;
        uint64_t next;           // frame of the next occurrence, UINT64_MAX = none
        uint64_t revertAt;       // frame at which an applied change ends, UINT64_MAX = none
        bool active = false;
    };

    void prepare();
    // Channel and background values from `work`; the inputs settle from their
    // present level when `settle`, from rest otherwise.
    void computePhysics(bool settle);
    void rebuildWork();
    // Applies the events due at frameNo; false when a link action waits.
    bool runEvents();
    double level(const Channel &c) const;
    void generateReplay(uint64_t upTo, std::vector<uint32_t> *out);
    // The background values and zero codes that give back a recorded block's status.
    void takeReplayBlock(const ReplayBlock &b);

    const ModuleSpec &spec;
    ModuleSpec live;                      // the scenario with the control command's changes
    ModuleSpec work;                      // live with the scheduled changes in force
    bool physicsDirty = false;
    std::vector<Scheduled> schedule;
    uint64_t nextEventFrame = UINT64_MAX;
    EventSpec::Link pendingLink = EventSpec::NoLink;
    int pendingLinkMs = 0;
    double tauFrames = 0;
    uint64_t eventsRanAt = UINT64_MAX;
    std::vector<uint64_t> occurrence;
    bool configured = false;
    bool running = false;
    int measMode = GRV480_MEAS_MODE_ACQUISITION;
    TGRV480Config cfg{};
    grv480::Tables tables;
    std::vector<Channel> channels;       // per logical channel
    std::vector<BgValue> bgValues;       // per background entry
    double zeroFullScale[8] = {};
    NoiseSource auxRng;
    double zeroV = 0;
    bool powerExceeded = false;
    uint64_t frameNo = 0;
    uint32_t bgIndex = 0;

    const ReplayRecording *replay = nullptr;
    std::unique_ptr<ReplayCursor> cursor;
    uint64_t replayBlockSerial = 0;
    std::vector<double> bgTarget;         // volts of each background entry in this block
    int32_t zeroBase[8] = {};             // code of each gain's zero row in this block
    std::vector<int64_t> outOfRangeOwed;  // saturated samples still to give, per channel
    std::vector<int64_t> outOfRangeRecorded;
    std::vector<int64_t> relCode;         // per channel: code less the zero of its gain, unclipped
    std::vector<int32_t> zeroCode;        // per gain, this frame
};


#endif // MODULEEMU_H
