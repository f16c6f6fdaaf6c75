// Module operations on a handle: the connection to the module through the
// crate server, configuration, acquisition, conversion, tare and flash.
#include "grv480api.h"

#include "blockdecoder.h"
#include "modulecore.h"
#include "protocol.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <vector>

using namespace grv480;
using grv480::proto::ClientConnection;

namespace {

constexpr uint32_t kHandleMagic = 0x47523438u;
constexpr int kConnectTimeoutMs = 3000;
constexpr double kTareSettleS = 0.02;   // not averaged by a tare: the inputs still settle
constexpr uint32_t kMaxBlockWords = 64u * 1024 * 1024;

struct ModuleState
{
    std::atomic<bool> opened{false};
    ClientConnection conn;
    bool configured = false;
    bool started = false;
    bool overflow = false;
    bool lost = false;
    int measMode = GRV480_MEAS_MODE_ACQUISITION;
    TGRV480Config cfg{};
    Tables tables;
    BlockDecoder decoder;
    std::vector<uint32_t> pending;
    size_t pendingPos = 0;
    int64_t silentMs = 0;   // time waited inside Recv since the last byte arrived
    // A started module sends at least a heartbeat every 500 ms; a request or a
    // started stream silent for this long has stalled.
    int64_t stallLimitMs = proto::stallLimitMs();
    const TGRV480 *owner = nullptr;
};

// Every open state, with the record that holds it, so that GRV480_Init on a
// record still open can tell its own state from stale bytes of a fresh record.
std::mutex liveMutex;
std::set<ModuleState *> liveStates;

bool isLive(ModuleState *s, const TGRV480 *owner)
{
    std::lock_guard<std::mutex> lock(liveMutex);
    return liveStates.count(s) && s->owner == owner;
}

bool validHandle(const TGRV480 *h)
{
    return h && h->magic == kHandleMagic;
}

ModuleState *stateOf(TGRV480 *h)
{
    return static_cast<ModuleState *>(h->priv);
}

INT connError(ClientConnection::Result r)
{
    switch (r) {
    case ClientConnection::Ok: return GRV480_OK;
    case ClientConnection::Refused: return GRV480_ERR_CONNECT;
    case ClientConnection::TimedOut: return GRV480_ERR_TIMEOUT;
    case ClientConnection::Lost: return GRV480_ERR_CONNECTION_LOST;
    case ClientConnection::BadData: return GRV480_ERR_PROTOCOL;
    }
    return GRV480_ERR_PROTOCOL;
}

// Common checks of every module call: 0 and the state, or the error.
INT openState(TGRV480 *h, ModuleState **out)
{
    if (!validHandle(h))
        return GRV480_ERR_INVALID_HANDLE;
    ModuleState *s = stateOf(h);
    if (!s || !s->opened.load())
        return GRV480_ERR_NOT_OPENED;
    *out = s;
    return GRV480_OK;
}

// Sends a request and returns its status; the reply's extra bytes in *extra.
INT request(ModuleState *s, uint16_t type, const void *payload, size_t len,
            std::vector<uint8_t> *extra = nullptr, size_t extraSize = 0)
{
    if (s->lost)
        return GRV480_ERR_CONNECTION_LOST;
    std::vector<uint8_t> reply;
    bool overflow = false;
    const ClientConnection::Result r = s->conn.request(type, payload, len, &reply,
                                                       int(s->stallLimitMs), &overflow);
    if (r != ClientConnection::Ok) {
        if (r == ClientConnection::Lost || r == ClientConnection::BadData)
            s->lost = true;
        return connError(r);
    }
    int32_t status;
    std::memcpy(&status, reply.data(), sizeof status);
    if (status == 0 && extraSize && reply.size() != sizeof status + extraSize)
        return GRV480_ERR_PROTOCOL;
    if (extra)
        extra->assign(reply.begin() + sizeof status, reply.end());
    return status;
}

INT doSetAdc(TGRV480 *h, ModuleState *s, const TGRV480Config &cfg)
{
    if (s->started)
        return GRV480_ERR_ALREADY_STARTED;
    Tables t;
    if (const int32_t err = buildTables(cfg, &t))
        return err;
    proto::SetAdcRequest req;
    std::memset(&req, 0, sizeof req);
    req.cfg = cfg;
    if (cfg.tareCoefEn) {
        // a valid DAC offset is compensated before the ADC, so a bridge with a
        // large static offset stays inside its range
        for (uint32_t i = 0; i < t.raw.unbalanceChCount; ++i) {
            const uint32_t e = t.raw.mainTable[i];
            const unsigned ch = (e & GRV480_ENTRY_CHANNEL_MASK) >> GRV480_ENTRY_CHANNEL_SHIFT;
            if (!h->tare[ch].dacOffsetValid || !std::isfinite(h->tare[ch].dacOffset))
                continue;
            const unsigned gain = (e & GRV480_ENTRY_GAIN_MASK) >> GRV480_ENTRY_GAIN_SHIFT;
            uint16_t code = dacCodeForVoltage(h->tare[ch].dacOffset, gain);
            if (code == 0)
                code = 1;   // 0 means "table default" on the wire
            req.dacCode[ch] = code;
            t.raw.mainTable[i] = (e & ~GRV480_ENTRY_DAC_MASK) | code;
        }
    }
    std::vector<uint8_t> extra;
    const INT st = request(s, proto::SetAdc, &req, sizeof req, &extra,
                           sizeof(proto::SetAdcReply) - sizeof(int32_t));
    if (st != 0)
        return st;
    uint32_t words;
    double freq;
    std::memcpy(&words, extra.data(), sizeof words);
    std::memcpy(&freq, extra.data() + sizeof words, sizeof freq);
    if (words != t.raw.frameWordCount || std::fabs(freq - t.frameFrequency) > 1e-9 * freq + 1e-12)
        return GRV480_ERR_PROTOCOL;   // the module disagrees about its own tables
    s->cfg = cfg;
    s->tables = t;
    s->configured = true;
    s->decoder.configure(cfg, t, h->tare);
    h->frameWordCount = t.raw.frameWordCount;
    h->frameFrequency = t.frameFrequency;
    std::memcpy(&h->raw, &t.raw, sizeof h->raw);
    return GRV480_OK;
}

INT doInitMeas(TGRV480 *h, ModuleState *s, INT mode)
{
    if (s->started)
        return GRV480_ERR_ALREADY_STARTED;
    if (mode != GRV480_MEAS_MODE_ACQUISITION && mode != GRV480_MEAS_MODE_SCALE_TARE)
        return GRV480_ERR_MEAS_MODE;
    const int32_t m = mode;
    const INT st = request(s, proto::InitMeas, &m, sizeof m);
    if (st == 0) {
        s->measMode = mode;
        h->measMode = uint32_t(mode);
    }
    return st;
}

INT doStart(ModuleState *s)
{
    if (!s->configured)
        return GRV480_ERR_NOT_CONFIGURED;
    if (s->started)
        return GRV480_ERR_ALREADY_STARTED;
    if (s->tables.logicalCount == 0)
        return GRV480_ERR_CFG_CHANNEL_COUNT;
    s->pending.clear();
    s->pendingPos = 0;
    s->overflow = false;
    s->silentMs = 0;
    const INT st = request(s, proto::Start, nullptr, 0);
    if (st == 0) {
        s->started = true;
        s->decoder.reset();
    }
    return st;
}

INT doStop(ModuleState *s)
{
    if (!s->started)
        return GRV480_OK;
    s->started = false;
    s->pending.clear();
    s->pendingPos = 0;
    s->overflow = false;
    return request(s, proto::Stop, nullptr, 0);
}

INT doRecv(ModuleState *s, uint32_t *words, uint32_t wordCount, uint32_t timeoutMs)
{
    const int64_t deadline = proto::nowMs() + timeoutMs;
    std::vector<uint8_t> payload;
    proto::Header hd;
    for (;;) {
        if (s->pendingPos < s->pending.size()) {
            const size_t n = std::min<size_t>(wordCount, s->pending.size() - s->pendingPos);
            std::memcpy(words, s->pending.data() + s->pendingPos, n * sizeof(uint32_t));
            s->pendingPos += n;
            if (s->pendingPos == s->pending.size()) {
                s->pending.clear();
                s->pendingPos = 0;
            }
            return INT(n);
        }
        if (s->overflow)
            return GRV480_ERR_OVERFLOW;
        if (s->lost)
            return GRV480_ERR_CONNECTION_LOST;
        if (s->silentMs >= s->stallLimitMs) {
            // Neither data nor heartbeat: the server stalls. The stream cannot
            // be trusted to resume in step, and waiting for a stop to be
            // answered would only delay the caller: the connection is given
            // up (the server releases the module once it sees it closed).
            s->lost = true;
            s->conn.close();
            return GRV480_ERR_TIMEOUT;
        }
        const int64_t now = proto::nowMs();
        if (now >= deadline)
            return 0;
        const int64_t until = std::min(deadline, now + s->stallLimitMs - s->silentMs);
        const int64_t lastRx = s->conn.lastReceiveMs();
        const ClientConnection::Result r = s->conn.readMessage(&hd, &payload, int(until - now));
        if (s->conn.lastReceiveMs() != lastRx)
            s->silentMs = 0;
        else
            s->silentMs += proto::nowMs() - now;
        if (r == ClientConnection::TimedOut)
            continue;
        if (r != ClientConnection::Ok) {
            s->lost = true;
            return connError(r);
        }
        switch (hd.type) {
        case proto::Data:
            if (payload.size() % sizeof(uint32_t)) {
                s->lost = true;
                return GRV480_ERR_PROTOCOL;
            }
            if (payload.size() / sizeof(uint32_t) <= wordCount && s->pending.empty()) {
                std::memcpy(words, payload.data(), payload.size());
                if (!payload.empty())
                    return INT(payload.size() / sizeof(uint32_t));
                break;
            }
            s->pending.resize(payload.size() / sizeof(uint32_t));
            std::memcpy(s->pending.data(), payload.data(), payload.size());
            s->pendingPos = 0;
            break;
        case proto::Heartbeat:
            break;
        case proto::Overflow:
            s->overflow = true;
            break;
        default:
            if (s->conn.takeStaleReply(hd))
                break;
            s->lost = true;
            return GRV480_ERR_PROTOCOL;
        }
    }
}

} // namespace

extern "C" {

GRV480API_EXPORT INT GRV480_Init(TGRV480 *h)
{
    if (!h)
        return GRV480_ERR_INVALID_HANDLE;
    // A record that is still open is closed first (the module is released for
    // the next client); bytes of a fresh record never match a live state.
    if (h->magic == kHandleMagic && h->priv && isLive(stateOf(h), h))
        GRV480_Close(h);
    std::memset(h, 0, sizeof *h);
    h->magic = kHandleMagic;
    h->measMode = GRV480_MEAS_MODE_ACQUISITION;
    return GRV480_OK;
}

GRV480API_EXPORT INT GRV480_Open(TGRV480 *h, uint32_t serverAddr, uint16_t port,
                                 const char *crateSerial, uint16_t slot)
{
    if (!validHandle(h))
        return GRV480_ERR_INVALID_HANDLE;
    if (h->priv)
        return GRV480_ERR_ALREADY_OPENED;
    if (!crateSerial || slot < 1 || slot > 16 || std::strlen(crateSerial) >= 16)
        return GRV480_ERR_INVALID_PARAM;
    ModuleState *s = new (std::nothrow) ModuleState;
    if (!s)
        return GRV480_ERR_NO_MEMORY;
    ClientConnection::Result r = s->conn.connectTo(serverAddr, port, kConnectTimeoutMs);
    INT st = connError(r);
    if (st == 0)
        s->conn.setReceiveBuffer(1024 * 1024);
    if (st == 0) {
        proto::HelloRequest hello;
        std::memset(&hello, 0, sizeof hello);
        hello.version = proto::kVersion;
        hello.kind = proto::KindModule;
        std::strncpy(hello.crateSerial, crateSerial, sizeof hello.crateSerial - 1);
        hello.slot = slot;
        std::vector<uint8_t> extra;
        st = request(s, proto::Hello, &hello, sizeof hello, &extra, sizeof(TGRV480ModuleInfo));
        if (st == 0) {
            std::memcpy(&h->info, extra.data(), sizeof h->info);
            h->info.moduleSerial[sizeof h->info.moduleSerial - 1] = 0;
            h->info.crateSerial[sizeof h->info.crateSerial - 1] = 0;
        }
    }
    if (st != 0) {
        delete s;
        return st;
    }
    s->opened.store(true);
    s->owner = h;
    {
        std::lock_guard<std::mutex> lock(liveMutex);
        liveStates.insert(s);
    }
    h->priv = s;
    h->measMode = GRV480_MEAS_MODE_ACQUISITION;
    return GRV480_OK;
}

GRV480API_EXPORT INT GRV480_IsOpened(TGRV480 *h)
{
    if (!validHandle(h))
        return GRV480_ERR_INVALID_HANDLE;
    const ModuleState *s = static_cast<const ModuleState *>(h->priv);
    return s && s->opened.load() ? GRV480_OK : GRV480_ERR_NOT_OPENED;
}

GRV480API_EXPORT INT GRV480_Close(TGRV480 *h)
{
    if (!validHandle(h))
        return GRV480_ERR_INVALID_HANDLE;
    ModuleState *s = stateOf(h);
    if (!s)
        return GRV480_OK;
    if (s->started && !s->lost)
        doStop(s);
    // Wait until the server has let go of the module, so that this or another
    // client can open it again at once.
    if (!s->lost)
        request(s, proto::Release, nullptr, 0);
    s->opened.store(false);
    s->conn.close();
    h->priv = nullptr;
    {
        std::lock_guard<std::mutex> lock(liveMutex);
        liveStates.erase(s);
    }
    delete s;
    return GRV480_OK;
}

GRV480API_EXPORT INT GRV480_SetADC(TGRV480 *h)
{
    ModuleState *s;
    if (const INT err = openState(h, &s))
        return err;
    return doSetAdc(h, s, h->cfg);
}

GRV480API_EXPORT INT GRV480_InitMeasParams(TGRV480 *h, INT measMode, INT, INT)
{
    ModuleState *s;
    if (const INT err = openState(h, &s))
        return err;
    return doInitMeas(h, s, measMode);
}

GRV480API_EXPORT INT GRV480_Start(TGRV480 *h)
{
    ModuleState *s;
    if (const INT err = openState(h, &s))
        return err;
    return doStart(s);
}

GRV480API_EXPORT INT GRV480_Stop(TGRV480 *h)
{
    ModuleState *s;
    if (const INT err = openState(h, &s))
        return err;
    return doStop(s);
}

GRV480API_EXPORT INT GRV480_Recv(TGRV480 *h, uint32_t *words, uint32_t *marker, uint32_t wordCount,
                                 uint32_t timeoutMs)
{
    ModuleState *s;
    if (const INT err = openState(h, &s))
        return err;
    if (!s->started)
        return GRV480_ERR_NOT_STARTED;
    if (marker)
        *marker = 0;
    if (wordCount == 0)
        return 0;
    if (!words)
        return GRV480_ERR_INVALID_PARAM;
    if (wordCount > 0x7FFFFFFFu)
        wordCount = 0x7FFFFFFFu;
    return doRecv(s, words, wordCount, timeoutMs);
}

GRV480API_EXPORT INT GRV480_ProcessData(TGRV480 *h, const uint32_t *words, double *values,
                                        uint32_t *wordCount, uint32_t, TGRV480FrameStatus *fs,
                                        TGRV480ChStatus *cs)
{
    ModuleState *s;
    if (const INT err = openState(h, &s))
        return err;
    if (!wordCount)
        return GRV480_ERR_INVALID_PARAM;
    if (!s->configured)
        return GRV480_ERR_NOT_CONFIGURED;
    if (*wordCount > kMaxBlockWords)
        return GRV480_ERR_BLOCK_TOO_LARGE;
    const INT st = s->decoder.process(words, *wordCount, values, fs, cs);
    if (st != 0)
        *wordCount = 0;
    return st;
}

GRV480API_EXPORT INT GRV480_ReadTareInfo(TGRV480 *h, uint32_t chMask)
{
    ModuleState *s;
    if (const INT err = openState(h, &s))
        return err;
    if (s->started)
        return GRV480_ERR_ALREADY_STARTED;
    std::vector<uint8_t> extra;
    const INT st = request(s, proto::ReadFlash, nullptr, 0, &extra,
                           sizeof(TGRV480TareInfo) * GRV480_CHANNEL_COUNT);
    if (st != 0)
        return st;
    for (int i = 0; i < GRV480_CHANNEL_COUNT; ++i) {
        if (chMask & (1u << i))
            std::memcpy(&h->tare[i], extra.data() + i * sizeof(TGRV480TareInfo), sizeof h->tare[i]);
    }
    return GRV480_OK;
}

GRV480API_EXPORT INT GRV480_WriteTareInfo(TGRV480 *h, uint32_t chMask)
{
    ModuleState *s;
    if (const INT err = openState(h, &s))
        return err;
    if (s->started)
        return GRV480_ERR_ALREADY_STARTED;
    proto::WriteFlashRequest req;
    std::memset(&req, 0, sizeof req);
    req.mask = chMask & GRV480_ALL_CHANNELS_MASK;
    std::memcpy(req.tare, h->tare, sizeof req.tare);
    return request(s, proto::WriteFlash, &req, sizeof req);
}

} // extern "C"

// Used by the tare operations (tare.cpp).
INT grv480TareAcquire(TGRV480 *h, int measMode, uint32_t chMask, std::vector<double> *mean,
                      std::vector<uint8_t> *ok, uint32_t *configuredMask)
{
    ModuleState *s;
    if (const INT err = openState(h, &s))
        return err;
    if (s->started)
        return GRV480_ERR_ALREADY_STARTED;
    if (measMode == GRV480_MEAS_MODE_SCALE_TARE && s->measMode != GRV480_MEAS_MODE_SCALE_TARE)
        return GRV480_ERR_MEAS_MODE;
    const TGRV480Config original = h->cfg;
    *configuredMask = 0;
    const uint32_t n = std::min<uint32_t>(original.logicalChannelCount, GRV480_CHANNEL_COUNT);
    for (uint32_t i = 0; i < n; ++i) {
        if (original.logicalChannels[i].channelIndex < GRV480_CHANNEL_COUNT)
            *configuredMask |= 1u << original.logicalChannels[i].channelIndex;
    }
    if (!(*configuredMask & chMask))
        return GRV480_ERR_TARE_NO_CHANNELS;
    // The raw values are measured: no coefficients, no DAC compensation.
    TGRV480Config cfg = original;
    cfg.tareCoefEn = 0;
    INT st = doSetAdc(h, s, cfg);
    if (st == 0)
        st = doInitMeas(h, s, measMode);
    if (st == 0)
        st = doStart(s);
    if (st != 0)
        return st;

    const uint32_t frameWords = s->tables.raw.frameWordCount;
    const double ff = s->tables.frameFrequency;
    // 0.3 s, and at least two background cycles so that every line check has run
    double seconds = std::max(0.3, (2.0 * s->tables.raw.bgTableSize + 1) / ff);
    seconds = std::min(seconds, 10.0);
    // The inputs settle for a few ms after the start; those frames are
    // received (the frame count runs on) but not averaged.
    const uint64_t skip = uint64_t(std::ceil(kTareSettleS * ff));
    uint64_t frames = std::max<uint64_t>(1, uint64_t(seconds * ff)) + skip;
    frames = std::min<uint64_t>(frames, kMaxBlockWords / frameWords);
    const uint64_t first = frames > skip ? skip : 0;
    std::vector<uint32_t> words(size_t(frames * frameWords));
    size_t got = 0;
    const uint32_t timeout = uint32_t(2000 + 1000.0 / ff);
    while (got < words.size()) {
        const INT r = doRecv(s, words.data() + got, uint32_t(words.size() - got), timeout);
        if (r < 0) {
            st = r;
            break;
        }
        if (r == 0) {
            st = GRV480_ERR_TIMEOUT;
            break;
        }
        got += size_t(r);
    }
    const INT stopSt = doStop(s);
    if (st == 0)
        st = stopSt;
    if (st == 0) {
        std::vector<double> values(size_t(frames) * n);
        std::vector<TGRV480ChStatus> cs(n);
        TGRV480FrameStatus fs;
        st = s->decoder.process(words.data(), uint32_t(words.size()), values.data(), &fs, cs.data(), false);
        if (st == 0) {
            mean->assign(GRV480_CHANNEL_COUNT, 0.0);
            ok->assign(GRV480_CHANNEL_COUNT, 0);
            for (uint32_t i = 0; i < n; ++i) {
                double sum = 0;
                for (uint64_t f = first; f < frames; ++f)
                    sum += values[size_t(f * n + i)];
                const unsigned ch = cs[i].channelIndex;
                (*mean)[ch] = sum / double(frames - first);
                (*ok)[ch] = !(cs[i].flags & GRV480_CH_OUT_OF_RANGE) && cs[i].ux.state != GRV480_MV_OPEN
                            && std::isfinite((*mean)[ch]);
            }
        }
    }
    // Leave the module as the caller configured it.
    if (measMode != GRV480_MEAS_MODE_ACQUISITION)
        doInitMeas(h, s, GRV480_MEAS_MODE_ACQUISITION);
    if (!s->lost)
        doSetAdc(h, s, original);
    return st;
}
