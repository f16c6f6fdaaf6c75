// Turns the module's data words into values and status records, for the
// configuration and tables of the last successful GRV480_SetADC().
#ifndef BLOCKDECODER_H
#define BLOCKDECODER_H

#include "modulecore.h"

#include <vector>

class BlockDecoder
{
public:
    void configure(const TGRV480Config &cfg, const grv480::Tables &tables,
                   const TGRV480TareInfo tare[GRV480_CHANNEL_COUNT]);
    // Forgets the background cycle and the frame sequence (a new run).
    void reset();
    bool isConfigured() const { return configured; }

    int32_t process(const uint32_t *words, uint32_t wordCount, double *values,
                    TGRV480FrameStatus *fs, TGRV480ChStatus *cs, bool applyTare = true);

private:
    struct BgState
    {
        bool measured = false;
        bool saturated = false;
        double value = 0;
        // this block
        double sum = 0;
        uint32_t count = 0;
        bool blockSaturated = false;
    };

    int32_t check(const uint32_t *words, uint32_t frames) const;
    TGRV480MeasValue composite(int valueIdx, int shortIdx, int openIdx, bool needsCurrent) const;
    TGRV480MeasValue plain(int idx, bool needsCurrent) const;
    double bgValue(int idx) const;
    bool isAbsolute(grv480::BgRole role) const;

    bool configured = false;
    TGRV480Config cfg{};
    grv480::Tables tables;
    TGRV480TareInfo tare[GRV480_CHANNEL_COUNT]{};
    double currentA = 0;
    double shortLimitV = 0;
    std::vector<double> rowScale;        // volts per code of each main row
    std::vector<double> rowDac;          // DAC voltage of each main row
    std::vector<int> rowZero;            // main row of the zero of a channel row, or -1
    std::vector<BgState> bg;
    std::vector<double> bgScale;
    // role -> background index; per logical channel for the channel roles
    int uref = -1, urefZero = -1, vadj = -1, uneg = -1, urefShort = -1, urefOpen = -1,
        unegOpen = -1, urefRValue = -1, urefRShort = -1, urefROpen = -1;
    std::vector<int> uxValue, uxShort, uxOpen, ucm;

    // run state
    bool sequenceKnown = false;
    uint32_t nextCounter = 0;
    uint32_t nextBg = 0;
    uint32_t framesDone = 0;
    uint32_t bgCycles = 0;
    std::vector<double> zeroSum;         // per logical channel, this block
    std::vector<double> lastZero;
};

#endif // BLOCKDECODER_H
