// One emulated GRV480 as its client sees it: configuration, measurement mode
// and the data words of its frames, computed from the scenario's physics.
#ifndef MODULEEMU_H
#define MODULEEMU_H

#include "modulecore.h"
#include "protocol.h"
#include "scenario.h"

#include <cstdint>
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

    TGRV480ModuleInfo info() const;
    int setAdc(const grv480::proto::SetAdcRequest &req, grv480::proto::SetAdcReply *reply);
    int initMeas(int mode);
    int start();
    void stop() { running = false; }
    bool isStarted() const { return running; }
    double frameFrequency() const { return tables.frameFrequency; }
    uint32_t frameWords() const { return tables.raw.frameWordCount; }
    uint64_t framesGenerated() const { return frameNo; }
    // Appends the words of frames frameNo .. upTo-1.
    void generate(uint64_t upTo, std::vector<uint32_t> *out);

private:
    struct Channel
    {
        double fullScale = 0;
        double dacV = 0;
        double gain = 1;        // 1 + gain error
        double dcV = 0;
        double amp[9] = {};     // fundamental and harmonics, volts after filtering
        double omega[9] = {};
        double phase[9] = {};
        int harmonics = 0;
        double noiseV = 0;
        BridgeSpec::Fault fault = BridgeSpec::NoFault;
        NoiseSource rng;
    };
    struct BgValue
    {
        double volts = 0;
        double fullScale = 1;
    };

    void prepare();

    const ModuleSpec &spec;
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
};

#endif // MODULEEMU_H
