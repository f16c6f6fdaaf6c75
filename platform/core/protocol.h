// The crate server's wire protocol and the socket helpers of both sides.
// Every message is a 12-byte header followed by its payload, all in the
// byte order of the machine (client and server run on the same computer).
#ifndef PROTOCOL_H
#define PROTOCOL_H

#include "grv480api.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace grv480 {
namespace proto {

constexpr uint32_t kMagic = 0x34385647u;          // "GV84"
constexpr uint32_t kVersion = 1;
constexpr uint32_t kMaxRequestPayload = 16 * 1024;
constexpr uint32_t kMaxServerPayload = 1024 * 1024;
constexpr uint16_t kReplyFlag = 0x8000;

enum MsgType : uint16_t {
    Hello = 1,        // HelloRequest -> status [+ TGRV480ModuleInfo for a module]
    GetCrates = 2,    // -> status + 16 x 16 bytes of crate serials
    GetModules = 3,   // -> status + 16 x uint16 module ids
    SetAdc = 10,      // TGRV480Config + 16 x uint16 DAC codes -> status + uint32 words/frame + double Hz
    InitMeas = 11,    // int32 mode -> status
    Start = 12,       // -> status
    Stop = 13,        // -> status
    ReadFlash = 14,   // -> status + 16 x TGRV480TareInfo
    WriteFlash = 15,  // uint32 mask + 16 x TGRV480TareInfo -> status
    Release = 16,     // -> status; the module is free for other clients once this is answered
    Data = 20,        // server -> client: uint32 data words
    Heartbeat = 21,   // server -> client while started and nothing else was sent
    Overflow = 22,    // server -> client: the backlog overflowed, streaming stopped
    Control = 30,     // service connection: command text -> status + answer text (emulator only)
};

enum ConnKind : uint32_t { KindService = 1, KindCrate = 2, KindModule = 3 };

struct Header
{
    uint32_t magic;
    uint16_t type;
    uint16_t reserved;
    uint32_t length;
};
static_assert(sizeof(Header) == 12, "wire header");

struct HelloRequest
{
    uint32_t version;
    uint32_t kind;
    char crateSerial[16];
    uint16_t slot;
    uint16_t reserved;
};
static_assert(sizeof(HelloRequest) == 28, "hello");

struct SetAdcRequest
{
    TGRV480Config cfg;
    uint16_t dacCode[GRV480_CHANNEL_COUNT];   // 0 = table default, else the code of the channel's entry
};

struct SetAdcReply
{
    int32_t status;
    uint32_t frameWordCount;
    double frameFrequency;
};

struct WriteFlashRequest
{
    uint32_t mask;
    uint32_t reserved;
    TGRV480TareInfo tare[GRV480_CHANNEL_COUNT];
};

std::vector<uint8_t> makeMessage(uint16_t type, const void *payload, size_t length);

// Collects bytes and cuts whole messages out of them.
class MessageBuffer
{
public:
    void append(const uint8_t *data, size_t n);
    // 1: a message was taken into *h and *payload; 0: more bytes needed;
    // -1: the stream is not this protocol or a message is longer than maxPayload.
    int next(Header *h, std::vector<uint8_t> *payload, uint32_t maxPayload);
    size_t pending() const { return buf.size() - start; }
    void clear() { buf.clear(); start = 0; }

private:
    std::vector<uint8_t> buf;
    size_t start = 0;
};

int64_t nowMs();

// Blocking client connection whose every wait is bounded.
class ClientConnection
{
public:
    enum Result { Ok = 0, Refused = -1, TimedOut = -2, Lost = -3, BadData = -4 };

    ClientConnection() = default;
    ~ClientConnection();
    ClientConnection(const ClientConnection &) = delete;
    ClientConnection &operator=(const ClientConnection &) = delete;

    Result connectTo(uint32_t addrHostOrder, uint16_t port, int timeoutMs);
    Result send(uint16_t type, const void *payload, size_t length, int timeoutMs);
    // Waits at most timeoutMs for one whole message.
    Result readMessage(Header *h, std::vector<uint8_t> *payload, int timeoutMs);
    // Sends a request and waits for its reply, dropping data messages that
    // arrive meanwhile. It gives up once timeoutMs pass after the request
    // without a byte (a large backlog ahead of the reply is not a stall), and
    // after 4 x timeoutMs overall.
    Result request(uint16_t type, const void *payload, size_t length,
                   std::vector<uint8_t> *reply, int timeoutMs, bool *sawOverflow = nullptr);
    void close();
    bool isOpen() const { return fd >= 0; }
    int descriptor() const { return fd; }
    void setReceiveBuffer(int bytes);
    int64_t lastReceiveMs() const { return lastRx; }
    // true for a late reply to a request that timed out (the caller drops it)
    bool takeStaleReply(const Header &h)
    {
        if (!(h.type & kReplyFlag) || staleReplies == 0)
            return false;
        --staleReplies;
        return true;
    }

private:
    int fd = -1;
    MessageBuffer rx;
    int64_t lastRx = 0;
    unsigned staleReplies = 0;   // replies still due to requests that timed out
};

// The stall limit of the libraries: how long a request, or a started module's
// stream, may stay silent before the call gives up. 3000 ms unless the
// environment variable GRV480_STALL_LIMIT_MS names another (100..600000), so
// that tests need not wait for real stalls.
int stallLimitMs();

} // namespace proto
} // namespace grv480

#endif // PROTOCOL_H
