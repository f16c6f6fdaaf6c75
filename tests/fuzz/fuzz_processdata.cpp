// The block decoder behind GRV480_ProcessData, configured through the same
// table building as GRV480_SetADC (which needs a module to answer; the
// decoder does not), fed with arbitrary words or with well-framed words whose
// codes and a few bit flips come from the input.
#include "blockdecoder.h"
#include "modulecore.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Bytes of the input, zero when used up.
struct Input
{
    const uint8_t *p;
    size_t left;
    uint8_t byte()
    {
        if (!left)
            return 0;
        --left;
        return *p++;
    }
    uint32_t u16() { return byte() | uint32_t(byte()) << 8; }
    uint32_t u32() { return u16() | u16() << 16; }
};

void makeConfig(Input &in, TGRV480Config *cfg, TGRV480TareInfo tare[GRV480_CHANNEL_COUNT])
{
    std::memset(cfg, 0, sizeof *cfg);
    const uint8_t flags = in.byte();
    cfg->singleChMode = flags & 1;
    cfg->ch16ForUref = (flags >> 1) & 1;
    cfg->tareCoefEn = (flags >> 2) & 1;
    cfg->syncFreqDiv = int32_t(in.u16());
    cfg->filterType = in.byte() % 4;
    cfg->filterOdrCode = int32_t(in.u16()) - 8;
    cfg->iSrcCode = int32_t(in.u16() % 5000);
    cfg->bgMeasMask = in.u16() & ((flags & 8) ? 0xFFFFu : 0x0FFFu);
    cfg->swTimeUs = in.byte();
    cfg->shortRThresh = in.byte() / 10.0;
    cfg->cableLength = in.byte();
    cfg->cableCapPerUnit = in.byte() * 10.0;
    // ascending physical channels from a mask
    const uint32_t mask = in.u16();
    const uint32_t ranges = in.u32();
    uint32_t n = 0;
    for (uint32_t ch = 0; ch < GRV480_CHANNEL_COUNT; ++ch) {
        if (mask & (1u << ch)) {
            cfg->logicalChannels[n].channelIndex = uint8_t(ch);
            cfg->logicalChannels[n].rangeCode = uint8_t((ranges >> (2 * ch)) & 3);
            ++n;
        }
    }
    cfg->logicalChannelCount = n;
    const uint8_t tareFlags = in.byte();
    for (int ch = 0; ch < GRV480_CHANNEL_COUNT; ++ch) {
        std::memset(&tare[ch], 0, sizeof tare[ch]);
        tare[ch].offsetValid = tareFlags & 1;
        tare[ch].scaleValid = (tareFlags >> 1) & 1;
        tare[ch].dacOffsetValid = (tareFlags >> 2) & 1;
        tare[ch].offsetCoef = (int8_t(in.byte())) * 1e-4;
        tare[ch].scaleCoef = 0.5 + in.byte() / 170.0;
        if (tareFlags & 0x80)
            tare[ch].scaleCoef = (tareFlags & 0x40) ? 1e308 : -0.0;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in{data, size};
    TGRV480Config cfg;
    TGRV480TareInfo tare[GRV480_CHANNEL_COUNT];
    makeConfig(in, &cfg, tare);
    grv480::Tables tables;
    if (grv480::buildTables(cfg, &tables) != 0)
        return 0;
    const uint32_t rows = tables.raw.mainTableSize;
    if (rows > GRV480_MAX_TABLE_SIZE)
        __builtin_trap();
    BlockDecoder decoder;
    decoder.configure(cfg, tables, tare);
    decoder.reset();
    if (rows == 0) {
        // no channel and no background: configurable, but no block is whole frames
        const uint32_t w = in.u32();
        double v = 0;
        TGRV480FrameStatus fs0;
        TGRV480ChStatus cs0[GRV480_CHANNEL_COUNT];
        if (decoder.process(&w, in.byte() % 2, &v, &fs0, cs0) != GRV480_ERR_DATA_MISALIGNED)
            __builtin_trap();
        return 0;
    }

    const bool framed = in.byte() & 1;
    uint32_t counter = in.byte() & 0x1F;
    uint32_t bgi = 0;
    std::vector<uint32_t> words;
    std::vector<double> values;
    std::vector<TGRV480ChStatus> cs(GRV480_CHANNEL_COUNT);
    TGRV480FrameStatus fs;
    // blocks until the input is used up
    for (int block = 0; block < 64 && in.left; ++block) {
        const uint32_t frames = in.byte() % 9;
        words.clear();
        if (framed) {
            for (uint32_t f = 0; f < frames; ++f) {
                const bool power = in.byte() & 0x80;
                for (uint32_t r = 0; r < rows; ++r) {
                    const int32_t code = int32_t(in.u16() << 8 | in.byte()) - 0x800000;
                    uint32_t w;
                    if (r == 0) {
                        w = grv480::encodeWord(true, false, counter | (power ? 0x20 : 0), code);
                        counter = (counter + 1) & 0x1F;
                    } else if (tables.raw.mainTable[r] & GRV480_ENTRY_BG_SLOT) {
                        w = grv480::encodeWord(false, true, bgi, code);
                        if (++bgi >= tables.raw.bgTableSize)
                            bgi = 0;
                    } else {
                        w = grv480::encodeWord(false, false, r, code);
                    }
                    words.push_back(w);
                }
            }
            // now and then a word out of step
            const uint8_t flip = in.byte();
            if (flip >= 0xF0 && !words.empty())
                words[flip % words.size()] ^= 1u << (flip & 31);
        } else {
            const uint32_t count = frames * rows + (in.byte() % 3 == 0 ? in.byte() % 5 : 0);
            for (uint32_t i = 0; i < count; ++i)
                words.push_back(in.u32());
        }
        values.assign(size_t(words.size() / rows + 1) * cfg.logicalChannelCount + 1, 0.0);
        const int32_t st = decoder.process(words.data(), uint32_t(words.size()), values.data(), &fs,
                                           cs.data(), (block & 1) == 0);
        if (st == 0 && fs.frameCount != words.size() / rows)
            __builtin_trap();
        if (st != 0 && framed) {
            // the library starts over after a broken block: so does the test
            decoder.reset();
            counter = in.byte() & 0x1F;
            bgi = 0;
        }
    }
    return 0;
}
