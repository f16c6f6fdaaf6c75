// A recording of the monitor (docs/recording-format.md) that the emulator plays
// back as one module (--replay): what the module was, the configuration it
// was recorded with, and its blocks and samples, read a piece at a time.
#ifndef REPLAYRECORDING_H
#define REPLAYRECORDING_H

#include "grv480api.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class RecordingReader;

// One block of a recorded run: its frames and the status records the module
// library gave for it.
struct ReplayBlock
{
    int64_t first = 0; // index of its first frame in the run's channel datasets
    int64_t count = 0;
    TGRV480FrameStatus frame{};
    std::vector<TGRV480ChStatus> channels; // one per recorded channel
};

class ReplayRecording
{
public:
    ReplayRecording();
    ~ReplayRecording();
    ReplayRecording(const ReplayRecording &) = delete;
    ReplayRecording &operator=(const ReplayRecording &) = delete;

    // Opens and checks the file; false with a one-line reason in *error.
    bool open(const std::string &path, std::string *error);

    const std::string &moduleSerial() const { return serial; }
    const std::string &crateSerial() const { return crate; }
    int slot() const { return slotNo; }
    double frameFrequency() const { return frameFreq; }
    size_t channelCount() const { return expected.logicalChannelCount; }
    // Runs that are played (those recorded with the first run's configuration).
    size_t runCount() const { return runs.size(); }
    int64_t blockCount(size_t run) const { return runs[run].blocks; }
    // Runs left out, one line each, for the log.
    const std::vector<std::string> &notes() const { return skipped; }
    // The ".gm480cfg" text the played runs were recorded with.
    const std::string &configurationText() const { return configText; }

    // 0 when a configuration written to the module matches the recorded one,
    // else the GRV480_ERR_REPLAY_* code of the first setting that differs.
    // frameFrequency: what the module's tables give for it.
    int32_t compare(const TGRV480Config &cfg, double frameFrequency) const;

    // Safe from several sessions at once (the HDF5 library is not).
    bool readBlock(size_t run, int64_t block, ReplayBlock *out, std::string *error) const;
    // count frames from first, frame-major: frame x channelCount() + channel, mV.
    bool readFrames(size_t run, int64_t first, int64_t count, std::vector<double> *out,
                    std::string *error) const;

private:
    struct Run
    {
        int index = 0; // in the reader's list
        int64_t firstSample = 0;
        int64_t blocks = 0;
    };

    std::unique_ptr<RecordingReader> reader;
    mutable std::mutex lock;
    std::string path;
    std::string serial;
    std::string crate;
    int slotNo = 1;
    double frameFreq = 0;
    TGRV480Config expected{};
    bool filterManual = false;
    std::vector<Run> runs;
    std::vector<std::string> skipped;
    std::string configText;
};

// Where one module connection is in the recording. Started over at every
// start of the module; at the end of the last run it goes back to the first
// (loop) or ends.
class ReplayCursor
{
public:
    ReplayCursor(const ReplayRecording &recording, bool loop);

    void rewind();
    // The next frame: its values (mV, one per channel) and the block it lies
    // in; false at the end of a single pass or when the file can no longer be
    // read (error() says why). The pointers hold until the next call.
    bool next(const double **mv, const ReplayBlock **block, bool *lastOfBlock);
    // Changes whenever next() enters another block.
    uint64_t blockSerial() const { return serial; }
    bool ended() const { return done; }
    const std::string &error() const { return err; }

private:
    bool nextBlock();

    const ReplayRecording &rec;
    bool loop;
    size_t run = 0;
    int64_t blockIndex = -1;
    ReplayBlock block;
    int64_t inBlock = 0;       // frames of the block handed out
    std::vector<double> chunk; // frames read ahead within the block
    int64_t chunkFrames = 0;
    int64_t chunkPos = 0;
    uint64_t serial = 0;
    bool done = false;
    std::string err;
};

#endif // REPLAYRECORDING_H
