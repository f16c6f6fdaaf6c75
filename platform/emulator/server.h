// The crate server: accepts clients and serves each on a thread of its own.
#ifndef SERVER_H
#define SERVER_H

#include "faultboard.h"
#include "flashstore.h"
#include "scenario.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>

class CrateServer
{
public:
    CrateServer(const Scenario &scenario, const std::string &stateDir, bool allowFaults = false);

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

private:
    void serveClient(int fd);

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
};

#endif // SERVER_H
