// One client connection of the crate server: the service connection, a
// crate connection or a module connection with its data stream.
#ifndef CLIENTSESSION_H
#define CLIENTSESSION_H

#include "faultboard.h"
#include "moduleemu.h"
#include "protocol.h"
#include "server.h"

#include <deque>
#include <memory>
#include <vector>

class CrateServer;

class ClientSession
{
public:
    ClientSession(CrateServer &server, int fd);
    ~ClientSession();
    void run();

private:
    // false: drop the client
    bool handle(const grv480::proto::Header &h, const std::vector<uint8_t> &payload);
    bool handleHello(const std::vector<uint8_t> &payload);
    void reply(uint16_t type, int32_t status, const void *extra = nullptr, size_t extraLen = 0);
    void queue(std::vector<uint8_t> msg);
    // false: the connection is to end (a link action or a vanished crate)
    bool produce();
    bool perform(const LinkAction &a);
    void queueData(const std::vector<uint32_t> &words);
    void syncFaults();
    bool flush();
    void delay(int ms);
    // Non-empty: the connection breaks a limit and is to be closed, for this reason.
    std::string brokenLimit() const;

    CrateServer &server;
    int fd;
    uint32_t kind = 0;
    std::string crate;
    const ModuleSpec *module = nullptr;
    std::unique_ptr<ModuleEmulator> emu;
    grv480::proto::MessageBuffer in;
    std::deque<std::vector<uint8_t>> out;
    size_t outOffset = 0;     // bytes of out.front() already sent
    size_t outBytes = 0;
    size_t backlogCap = 0;
    int64_t startUs = 0;
    int64_t lastSendMs = 0;
    std::vector<uint32_t> scratch;
    uint64_t faultVersion = ~0ull;
    uint64_t linkSeen = 0;
    int64_t stallUntilMs = 0;
    bool corruptNext = false;
    bool truncateNext = false;
    bool dropNow = false;
    SessionState state;
    int64_t lastInputMs = 0;
};

#endif // CLIENTSESSION_H
