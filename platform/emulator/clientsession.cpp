#include "clientsession.h"

#include "crbapi.h"
#include "server.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <time.h>
#include <unistd.h>

using namespace grv480;
using namespace grv480::proto;

namespace {

constexpr uint32_t KindReleased = 0xFF;
constexpr int kHelloTimeoutMs = 5000;
constexpr int kHeartbeatMs = 500;
constexpr size_t kMaxWordsPerMessage = 65536;

int64_t nowUs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

} // namespace

ClientSession::ClientSession(CrateServer &s, int f) : server(s), fd(f)
{
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    state.lastMessageMs = lastInputMs = nowMs();
    server.addSession(&state);
}

ClientSession::~ClientSession()
{
    server.removeSession(&state);
    if (module && emu)
        server.releaseModule(module);
    ::close(fd);
}

void ClientSession::run()
{
    const int64_t helloDeadline = nowMs() + kHelloTimeoutMs;
    uint8_t buf[16384];
    for (;;) {
        if (stallUntilMs) {
            // a stalled link: nothing is read, answered or sent meanwhile
            const int64_t left = stallUntilMs - nowMs();
            if (left > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int64_t>(left, 20)));
                continue;
            }
            stallUntilMs = 0;
        }
        if (module)
            syncFaults();
        if (dropNow)
            return;
        if (const std::string why = brokenLimit(); !why.empty()) {
            std::fprintf(stderr, "grv480-emulator: connection closed: %s\n", why.c_str());
            return;
        }
        const bool streaming = emu && module && emu->isStarted();
        pollfd p{fd, short(POLLIN | (out.empty() ? 0 : POLLOUT)), 0};
        int timeout = streaming ? 10 : (module ? 50 : 1000);
        if (!kind)
            timeout = int(std::max<int64_t>(1, std::min<int64_t>(timeout, helloDeadline - nowMs())));
        const int pr = ::poll(&p, 1, timeout);
        if (pr < 0 && errno != EINTR)
            return;
        if (p.revents & (POLLERR | POLLNVAL))
            return;
        if (p.revents & (POLLIN | POLLHUP)) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n == 0)
                return;
            if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EWOULDBLOCK)
                return;
            if (n > 0) {
                in.append(buf, size_t(n));
                lastInputMs = nowMs();
                Header h;
                std::vector<uint8_t> payload;
                int r;
                while ((r = in.next(&h, &payload, kMaxRequestPayload)) > 0) {
                    state.lastMessageMs = lastInputMs;
                    if (!handle(h, payload))
                        return;
                    // Requests sent back to back with no reply read would
                    // otherwise queue replies without end.
                    if (outBytes > server.limits().maxQueuedBytes)
                        break;
                }
                if (r < 0)
                    return;   // not our protocol, or an oversized message
            }
        }
        if (!kind && nowMs() >= helloDeadline)
            return;
        if (emu && module && emu->isStarted() && !stallUntilMs && !produce()) {
            flush();
            return;
        }
        if (!flush())
            return;
    }
}

std::string ClientSession::brokenLimit() const
{
    const ClientLimits &lim = server.limits();
    const int64_t now = nowMs();
    if (state.evict)
        return "made room for a new client while all connections were taken (last request "
               + std::to_string(now - state.lastMessageMs) + " ms ago)";
    if (outBytes > lim.maxQueuedBytes)
        return std::to_string(outBytes) + " bytes of replies and data not read";
    if (in.pending() > 0 && now - lastInputMs > lim.partialMessageMs)
        return "a message left unfinished for " + std::to_string(now - lastInputMs) + " ms";
    if (kind && !state.holdsModule && now - state.lastMessageMs > lim.idleMs)
        return "no request for " + std::to_string(now - state.lastMessageMs) + " ms";
    return std::string();
}

void ClientSession::delay(int ms)
{
    // A real module takes its time over these; the stream is not running then.
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Takes over what the control command changed since the last look.
void ClientSession::syncFaults()
{
    FaultBoard &board = server.faults();
    if (board.crateHidden(module->crate)) {
        dropNow = true;   // the crate is gone, and its connections with it
        return;
    }
    const uint64_t v = board.version();
    if (v != faultVersion) {
        faultVersion = v;
        emu->setLiveSpec(board.liveSpec(module));
    }
    for (const LinkAction &a : board.takeLinkActions(module, &linkSeen)) {
        if (!perform(a))
            dropNow = true;
    }
}

bool ClientSession::perform(const LinkAction &a)
{
    switch (a.link) {
    case EventSpec::NoLink:
        return true;
    case EventSpec::Stall:
        stallUntilMs = nowMs() + a.durationMs;
        return true;
    case EventSpec::Drop:
        return false;
    case EventSpec::Corrupt:
        corruptNext = true;
        return true;
    case EventSpec::Truncate:
        truncateNext = true;
        return true;
    case EventSpec::Overflow:
        // as if the client had stopped reading: what it has not started to
        // read is dropped, it is told, and the stream stops
        while (out.size() > (outOffset ? 1u : 0u)) {
            outBytes -= out.back().size();
            out.pop_back();
        }
        emu->stop();
        queue(makeMessage(Overflow, nullptr, 0));
        return true;
    case EventSpec::Vanish:
        server.faults().hideCrate(module->crate, a.durationMs);
        return false;
    }
    return true;
}

void ClientSession::queueData(const std::vector<uint32_t> &words)
{
    if (corruptNext) {
        // bytes that are not a message: the framing of the stream is broken
        corruptNext = false;
        std::vector<uint8_t> junk(sizeof(Header) + 64, 0xA5);
        queue(std::move(junk));
        return;
    }
    size_t n = words.size();
    if (truncateNext && n > 1) {
        // words lost on the way: the frames after them are out of step
        truncateNext = false;
        n -= std::min<size_t>(3, n - 1);
    }
    queue(makeMessage(Data, words.data(), n * sizeof(uint32_t)));
}

void ClientSession::queue(std::vector<uint8_t> msg)
{
    outBytes += msg.size();
    out.push_back(std::move(msg));
}

void ClientSession::reply(uint16_t type, int32_t status, const void *extra, size_t extraLen)
{
    std::vector<uint8_t> payload(sizeof status + extraLen);
    std::memcpy(payload.data(), &status, sizeof status);
    if (extraLen)
        std::memcpy(payload.data() + sizeof status, extra, extraLen);
    queue(makeMessage(uint16_t(type | kReplyFlag), payload.data(), payload.size()));
}

bool ClientSession::flush()
{
    while (!out.empty()) {
        const std::vector<uint8_t> &m = out.front();
        const ssize_t n = ::send(fd, m.data() + outOffset, m.size() - outOffset, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                return true;
            return false;
        }
        outOffset += size_t(n);
        if (outOffset == m.size()) {
            outBytes -= m.size();
            out.pop_front();
            outOffset = 0;
        }
    }
    return true;
}

bool ClientSession::produce()
{
    const double ff = emu->frameFrequency();
    const uint64_t due = uint64_t(std::floor(double(nowUs() - startUs) * 1e-6 * ff));
    // A replay at its end sends what a module with nothing to send does: heartbeats.
    if (due > emu->framesGenerated() && !emu->replayEnded()) {
        // whole frames per message, at most kMaxWordsPerMessage words
        const uint64_t perMsg = std::max<uint64_t>(1, kMaxWordsPerMessage / emu->frameWords());
        while (emu->isStarted() && emu->framesGenerated() < due && !stallUntilMs &&
               !emu->replayEnded()) {
            scratch.clear();
            emu->generate(std::min(due, emu->framesGenerated() + perMsg), &scratch);
            if (!scratch.empty())
                queueData(scratch);
            EventSpec::Link link;
            int ms = 0;
            if (emu->takeLinkAction(&link, &ms) && !perform({link, ms}))
                return false;
        }
        lastSendMs = nowMs();
        if (emu->replayEnded()) {
            const std::string &why = emu->replayCursor()->error();
            if (why.empty())
                std::fprintf(stderr, "grv480-emulator: replay: end of the recording after %llu frames\n",
                             static_cast<unsigned long long>(emu->framesGenerated()));
            else
                std::fprintf(stderr, "grv480-emulator: replay stopped: %s\n", why.c_str());
        }
    } else if (nowMs() - lastSendMs >= kHeartbeatMs) {
        queue(makeMessage(Heartbeat, nullptr, 0));
        lastSendMs = nowMs();
    }
    if (outBytes > backlogCap && emu->isStarted()) {
        // The client does not keep up: drop what it has not started to read,
        // tell it, and stop, rather than growing without bound.
        perform({EventSpec::Overflow, 0});
    }
    return true;
}

bool ClientSession::handleHello(const std::vector<uint8_t> &payload)
{
    if (payload.size() != sizeof(HelloRequest))
        return false;
    HelloRequest req;
    std::memcpy(&req, payload.data(), sizeof req);
    if (req.version != kVersion)
        return false;
    req.crateSerial[sizeof req.crateSerial - 1] = 0;
    const std::string serial(req.crateSerial);
    const Scenario &sc = server.scenario();
    const bool crateKnown = std::find(sc.crates.begin(), sc.crates.end(), serial) != sc.crates.end()
                            && !server.faults().crateHidden(serial);
    switch (req.kind) {
    case KindService:
        kind = KindService;
        reply(Hello, 0);
        return true;
    case KindCrate:
        if (!crateKnown) {
            reply(Hello, CRB_ERR_CRATE_NOT_FOUND);
            return true;
        }
        kind = KindCrate;
        crate = serial;
        reply(Hello, 0);
        return true;
    case KindModule: {
        if (!crateKnown) {
            reply(Hello, GRV480_ERR_CRATE_NOT_FOUND);
            return true;
        }
        const ModuleSpec *m = sc.module(serial, req.slot);
        if (!m || m->typeId != GRV480_MODULE_ID) {
            reply(Hello, GRV480_ERR_NO_MODULE);
            return true;
        }
        if (!server.claimModule(m)) {
            reply(Hello, GRV480_ERR_MODULE_BUSY);
            return true;
        }
        kind = KindModule;
        module = m;
        state.holdsModule = true;
        // A small kernel buffer keeps the backlog of a client that does not
        // read within what the session itself counts and caps.
        const int sndbuf = 256 * 1024;
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sndbuf, sizeof sndbuf);
        emu.reset(new ModuleEmulator(*m));
        if (server.replay())
            emu->setReplay(server.replay(), server.replayLoops());
        // faults switched on before this client came apply to it as well;
        // link actions only to the connections open when they were given
        linkSeen = server.faults().linkSequence();
        syncFaults();
        const TGRV480ModuleInfo info = emu->info();
        reply(Hello, 0, &info, sizeof info);
        return true;
    }
    default:
        return false;
    }
}

bool ClientSession::handle(const Header &h, const std::vector<uint8_t> &payload)
{
    if (!kind)
        return h.type == Hello && handleHello(payload);
    if (h.type == Hello || kind == KindReleased)
        return false;   // one hello per connection, nothing after the release
    if (kind == KindService) {
        if (h.type == Control) {
            // Faults may be switched on only when the emulator was started to
            // allow it, so that a production-like run cannot be disturbed.
            std::string text(payload.begin(), payload.end()), answer;
            int32_t st = 1;
            if (!server.faultsAllowed())
                answer = "fault control is off: start the emulator with --allow-faults\n";
            else
                st = server.faults().command(text, &answer);
            reply(Control, st, answer.data(), answer.size());
            return true;
        }
        if (h.type != GetCrates || !payload.empty())
            return false;
        char serials[CRB_MAX_CRATES][CRB_SERIAL_SIZE] = {};
        const Scenario &sc = server.scenario();
        size_t listed = 0;
        for (size_t i = 0; i < sc.crates.size() && listed < CRB_MAX_CRATES; ++i) {
            if (!server.faults().crateHidden(sc.crates[i]))
                std::strncpy(serials[listed++], sc.crates[i].c_str(), CRB_SERIAL_SIZE - 1);
        }
        reply(GetCrates, 0, serials, sizeof serials);
        return true;
    }
    if (kind == KindCrate) {
        if (h.type != GetModules || !payload.empty())
            return false;
        if (server.faults().crateHidden(crate)) {
            reply(GetModules, CRB_ERR_CRATE_NOT_FOUND);
            return true;
        }
        uint16_t ids[CRB_SLOT_COUNT] = {};
        for (const ModuleSpec &m : server.scenario().modules) {
            if (m.crate == crate)
                ids[m.slot - 1] = m.typeId;
        }
        reply(GetModules, 0, ids, sizeof ids);
        return true;
    }
    // module connection
    switch (h.type) {
    case SetAdc: {
        if (payload.size() != sizeof(SetAdcRequest))
            return false;
        SetAdcRequest req;
        std::memcpy(&req, payload.data(), sizeof req);
        SetAdcReply rep{};
        if (!emu->isStarted())
            delay(module->setAdcMs);
        rep.status = emu->setAdc(req, &rep);
        reply(SetAdc, rep.status, &rep.frameWordCount, sizeof rep - sizeof rep.status);
        return true;
    }
    case InitMeas: {
        if (payload.size() != sizeof(int32_t))
            return false;
        int32_t mode;
        std::memcpy(&mode, payload.data(), sizeof mode);
        if (!emu->isStarted())
            delay(module->initMeasMs);
        reply(InitMeas, emu->initMeas(mode));
        return true;
    }
    case Start: {
        if (!payload.empty())
            return false;
        if (!emu->isStarted())
            delay(module->startMs);
        const int st = emu->start();
        if (st == 0) {
            startUs = nowUs();
            lastSendMs = nowMs();
            const double bytesPerSec = emu->frameFrequency() * emu->frameWords() * 4.0;
            backlogCap = size_t(std::clamp(2.0 * bytesPerSec, 1024.0 * 1024, 8.0 * 1024 * 1024));
        }
        reply(Start, st);
        return true;
    }
    case Stop:
        if (!payload.empty())
            return false;
        emu->stop();
        reply(Stop, 0);
        return true;
    case ReadFlash: {
        if (!payload.empty())
            return false;
        TGRV480TareInfo rec[GRV480_CHANNEL_COUNT];
        std::memset(rec, 0, sizeof rec);
        if (!emu->isStarted())
            delay(module->flashReadMs);
        const int st = server.flash().read(module->serial, rec);
        reply(ReadFlash, st, rec, sizeof rec);
        return true;
    }
    case Release:
        if (!payload.empty())
            return false;
        emu->stop();
        server.releaseModule(module);
        module = nullptr;
        state.holdsModule = false;
        kind = KindReleased;
        reply(Release, 0);
        return true;
    case WriteFlash: {
        if (payload.size() != sizeof(WriteFlashRequest))
            return false;
        WriteFlashRequest req;
        std::memcpy(&req, payload.data(), sizeof req);
        if (!emu->isStarted())
            delay(module->flashWriteMs);
        reply(WriteFlash, server.flash().write(module->serial, req.mask, req.tare));
        return true;
    }
    default:
        return false;
    }
}
