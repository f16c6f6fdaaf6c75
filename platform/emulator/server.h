// The crate server: accepts clients and serves each on a thread of its own.
#ifndef SERVER_H
#define SERVER_H

#include "faultboard.h"
#include "flashstore.h"
#include "scenario.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <mutex>
#include <set>
#include <string>

class ReplayRecording;

// What the accept loop may know of a client's connection: how long it has
// been quiet and whether it holds a module; set by the session's own thread.
struct SessionState
{
    std::atomic<int64_t> lastMessageMs{0};
    std::atomic<bool> holdsModule{false};
    std::atomic<bool> evict{false};
};

// Limits a connection lives by; the defaults suit people and tests alike.
struct ClientLimits
{
    int idleMs = 60000;          // no request on a connection that holds no module
    int partialMessageMs = 5000; // a message begun but not finished
    size_t maxQueuedBytes = 16u * 1024 * 1024; // replies and data not yet read
};

class CrateServer
{
public:
    CrateServer(const Scenario &scenario, const std::string &stateDir, bool allowFaults = false,
                const ClientLimits &limits = ClientLimits());
    // Closes the listening socket and the wake-up pipe; the clients' threads
    // must be done by then (run() has returned and the sessions have ended).
    ~CrateServer();
    CrateServer(const CrateServer &) = delete;
    CrateServer &operator=(const CrateServer &) = delete;

    // Binds and listens; false with a message in *error.
    bool listenOn(const std::string &address, uint16_t port, std::string *error);
    uint16_t port() const { return boundPort; }
    // Serves until requestStop() (signal-safe) is called.
    void run();
    void requestStop();

    const Scenario &scenario() const { return scen; }
    FlashStore &flash() { return flashStore; }
    FaultBoard &faults() { return board; }
    bool faultsAllowed() const { return allowFaults; }
    // One client per module: false when another client holds it.
    bool claimModule(const ModuleSpec *m);
    void releaseModule(const ModuleSpec *m);
    const ClientLimits &limits() const { return clientLimits; }
    // --replay: the one module plays this recording (nullptr: the scenario's physics).
    void setReplay(const ReplayRecording *recording, bool loop)
    {
        replayRecording = recording;
        replayLoop = loop;
    }
    const ReplayRecording *replay() const { return replayRecording; }
    bool replayLoops() const { return replayLoop; }
    void addSession(SessionState *s);
    void removeSession(SessionState *s);

private:
    void serveClient(int fd);
    bool evictIdlest();

    Scenario scen;
    FlashStore flashStore;
    FaultBoard board{scen};
    bool allowFaults = false;
    int listenFd = -1;
    int wakePipe[2] = {-1, -1};
    uint16_t boundPort = 0;
    std::atomic<int> activeClients{0};
    std::mutex modulesMutex;
    std::set<const ModuleSpec *> claimed;
    ClientLimits clientLimits;
    const ReplayRecording *replayRecording = nullptr;
    bool replayLoop = true;
    std::mutex sessionsMutex;
    std::list<SessionState *> sessions;
};

#endif // SERVER_H
