// Crate-server connections: the service connection lists the crates, a
// crate connection lists the module types in its slots.
#include "crbapi.h"

#include "protocol.h"

#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <vector>

using grv480::proto::ClientConnection;
namespace proto = grv480::proto;

namespace {

constexpr uint32_t kCrbMagic = 0x43524231u;

// Every open connection with the record that holds it: CRB_Init on a record
// still open closes that connection, while the bytes of a fresh record, which
// may look like anything, never match.
std::mutex liveMutex;
std::map<ClientConnection *, const TCRB *> liveConns;

void track(ClientConnection *c, const TCRB *owner)
{
    std::lock_guard<std::mutex> lock(liveMutex);
    if (owner)
        liveConns[c] = owner;
    else
        liveConns.erase(c);
}

bool ownsLive(ClientConnection *c, const TCRB *owner)
{
    std::lock_guard<std::mutex> lock(liveMutex);
    const auto it = liveConns.find(c);
    return it != liveConns.end() && it->second == owner;
}

// The connection object lives in the record's reserved bytes as a pointer.
static_assert(sizeof(void *) <= sizeof(TCRB::reserved), "room for the connection");

ClientConnection *connOf(TCRB *crb)
{
    ClientConnection *c;
    std::memcpy(&c, crb->reserved, sizeof c);
    return c;
}

void setConn(TCRB *crb, ClientConnection *c)
{
    std::memcpy(crb->reserved, &c, sizeof c);
}

int32_t connError(ClientConnection::Result r)
{
    switch (r) {
    case ClientConnection::Ok: return CRB_OK;
    case ClientConnection::Refused: return CRB_ERR_CONNECT;
    case ClientConnection::TimedOut: return CRB_ERR_TIMEOUT;
    case ClientConnection::Lost: return CRB_ERR_CONNECTION_LOST;
    case ClientConnection::BadData: return CRB_ERR_PROTOCOL;
    }
    return CRB_ERR_PROTOCOL;
}

int32_t request(TCRB *crb, uint16_t type, const void *payload, size_t len,
                std::vector<uint8_t> *extra, size_t extraSize)
{
    std::vector<uint8_t> reply;
    const ClientConnection::Result r = connOf(crb)->request(type, payload, len, &reply,
                                                            int(crb->timeoutMs));
    if (r != ClientConnection::Ok)
        return connError(r);
    int32_t status;
    std::memcpy(&status, reply.data(), sizeof status);
    if (status != 0)
        return status;
    if (reply.size() != sizeof status + extraSize)
        return CRB_ERR_PROTOCOL;
    extra->assign(reply.begin() + sizeof status, reply.end());
    return CRB_OK;
}

int32_t openKind(TCRB *crb, uint32_t address, uint16_t port, uint32_t kind, const char *serial)
{
    if (!crb || crb->magic != kCrbMagic)
        return CRB_ERR_INVALID_PARAM;
    CRB_Close(crb);
    ClientConnection *c = new (std::nothrow) ClientConnection;
    if (!c)
        return CRB_ERR_CONNECT;
    ClientConnection::Result r = c->connectTo(address, port, int(crb->timeoutMs));
    if (r != ClientConnection::Ok) {
        delete c;
        return connError(r);
    }
    setConn(crb, c);
    track(c, crb);
    proto::HelloRequest hello;
    std::memset(&hello, 0, sizeof hello);
    hello.version = proto::kVersion;
    hello.kind = kind;
    if (serial)
        std::strncpy(hello.crateSerial, serial, sizeof hello.crateSerial - 1);
    std::vector<uint8_t> extra;
    const int32_t st = request(crb, proto::Hello, &hello, sizeof hello, &extra, 0);
    if (st != 0) {
        CRB_Close(crb);
        return st;
    }
    crb->kind = kind == proto::KindService ? 1u : 2u;
    crb->socket = connOf(crb)->descriptor();
    if (serial)
        std::strncpy(crb->crateSerial, serial, CRB_SERIAL_SIZE - 1);
    return CRB_OK;
}

} // namespace

extern "C" {

CRBAPI_EXPORT int32_t CRB_Init(TCRB *crb)
{
    if (!crb)
        return CRB_ERR_INVALID_PARAM;
    if (crb->magic == kCrbMagic && connOf(crb) && ownsLive(connOf(crb), crb))
        CRB_Close(crb);
    std::memset(crb, 0, sizeof *crb);
    crb->magic = kCrbMagic;
    crb->socket = -1;
    crb->timeoutMs = uint32_t(proto::stallLimitMs());
    return CRB_OK;
}

CRBAPI_EXPORT int32_t CRB_OpenSvcControl(TCRB *crb, uint32_t address, uint16_t port)
{
    return openKind(crb, address, port, proto::KindService, nullptr);
}

CRBAPI_EXPORT int32_t CRB_GetCrates(TCRB *crb, char serials[CRB_MAX_CRATES][CRB_SERIAL_SIZE])
{
    if (!crb || crb->magic != kCrbMagic || !serials)
        return CRB_ERR_INVALID_PARAM;
    if (!connOf(crb))
        return CRB_ERR_NOT_OPENED;
    if (crb->kind != 1)
        return CRB_ERR_WRONG_CONNECTION;
    std::vector<uint8_t> extra;
    const int32_t st = request(crb, proto::GetCrates, nullptr, 0, &extra,
                               CRB_MAX_CRATES * CRB_SERIAL_SIZE);
    if (st != 0)
        return st;
    std::memcpy(serials, extra.data(), extra.size());
    for (int i = 0; i < CRB_MAX_CRATES; ++i)
        serials[i][CRB_SERIAL_SIZE - 1] = 0;
    return CRB_OK;
}

CRBAPI_EXPORT int32_t CRB_OpenCrate(TCRB *crb, uint32_t address, uint16_t port, uint32_t,
                                    const char *crateSerial)
{
    if (!crateSerial || !crateSerial[0] || std::strlen(crateSerial) >= CRB_SERIAL_SIZE)
        return CRB_ERR_INVALID_PARAM;
    return openKind(crb, address, port, proto::KindCrate, crateSerial);
}

CRBAPI_EXPORT int32_t CRB_GetCrateModules(TCRB *crb, uint16_t ids[CRB_SLOT_COUNT])
{
    if (!crb || crb->magic != kCrbMagic || !ids)
        return CRB_ERR_INVALID_PARAM;
    if (!connOf(crb))
        return CRB_ERR_NOT_OPENED;
    if (crb->kind != 2)
        return CRB_ERR_WRONG_CONNECTION;
    std::vector<uint8_t> extra;
    const int32_t st = request(crb, proto::GetModules, nullptr, 0, &extra,
                               CRB_SLOT_COUNT * sizeof(uint16_t));
    if (st != 0)
        return st;
    std::memcpy(ids, extra.data(), extra.size());
    return CRB_OK;
}

CRBAPI_EXPORT int32_t CRB_Close(TCRB *crb)
{
    if (!crb || crb->magic != kCrbMagic)
        return CRB_ERR_INVALID_PARAM;
    ClientConnection *c = connOf(crb);
    if (c && !ownsLive(c, crb))
        c = nullptr;   // a copied record: the connection belongs to the original
    if (c)
        track(c, nullptr);
    delete c;
    setConn(crb, nullptr);
    crb->socket = -1;
    crb->kind = 0;
    std::memset(crb->crateSerial, 0, sizeof crb->crateSerial);
    return CRB_OK;
}

} // extern "C"
