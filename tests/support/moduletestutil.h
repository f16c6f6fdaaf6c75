#ifndef MODULETESTUTIL_H
#define MODULETESTUTIL_H

#include "grv480api.h"

#include <QElapsedTimer>
#include <QVector>

#include <cstring>
#include <initializer_list>

// Helpers for tests that drive the module API directly.
namespace moduletest {

constexpr uint32_t kLoopback = 0x7F000001u;

// A configuration the module accepts: channels (0-based) on one range,
// 20 kHz, SINC5+SINC1 at 27778 SPS, 25 mA, every background measurement.
inline void fillConfig(TGRV480Config *c, std::initializer_list<int> channels, int range = 0,
                       uint32_t mask = GRV480_BG_ALL)
{
    std::memset(c, 0, sizeof *c);
    c->logicalChannelCount = 0;
    for (int ch : channels) {
        c->logicalChannels[c->logicalChannelCount].channelIndex = uint8_t(ch);
        c->logicalChannels[c->logicalChannelCount].rangeCode = uint8_t(range);
        ++c->logicalChannelCount;
    }
    GRV480_FindSyncFreqDiv(20000.0, &c->syncFreqDiv, nullptr);
    c->filterType = GRV480_FILTER_SINC5_SINC1;
    c->filterOdrCode = 3;
    c->swTimeUs = 10;
    GRV480_FindISrcCode(nullptr, 25.0, &c->iSrcCode, nullptr);
    c->bgMeasMask = mask;
    c->shortRThresh = 10;
    c->cableLength = 100;
    c->cableCapPerUnit = 150;
}

// Receives exactly `frames` frames of the started module into *words;
// 0 or the first error.
inline int receiveFrames(TGRV480 *h, uint32_t frames, QVector<uint32_t> *words, int timeoutMs = 5000)
{
    words->resize(int(frames * h->frameWordCount));
    int got = 0;
    QElapsedTimer t;
    t.start();
    while (got < words->size()) {
        const int r = GRV480_Recv(h, words->data() + got, nullptr, uint32_t(words->size() - got), 1000);
        if (r < 0)
            return r;
        got += r;
        if (t.elapsed() > timeoutMs)
            return GRV480_ERR_TIMEOUT;
    }
    return 0;
}

} // namespace moduletest

#endif // MODULETESTUTIL_H
