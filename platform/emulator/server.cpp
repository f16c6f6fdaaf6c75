#include "server.h"

#include "clientsession.h"

#include <arpa/inet.h>
#include <malloc.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr int kMaxClients = 64;
}

CrateServer::CrateServer(const Scenario &scenario, const std::string &stateDir, bool faults,
                         const ClientLimits &limits)
    : scen(scenario), flashStore(stateDir), allowFaults(faults), clientLimits(limits)
{
    if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        wakePipe[0] = wakePipe[1] = -1;
}

CrateServer::~CrateServer()
{
    for (int fd : {listenFd, wakePipe[0], wakePipe[1]}) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool CrateServer::listenOn(const std::string &address, uint16_t port, std::string *error)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) {
        *error = "not an IPv4 address: " + address;
        return false;
    }
    listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(listenFd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0
        || ::listen(listenFd, 32) != 0) {
        *error = "cannot listen on " + address + ":" + std::to_string(port) + ": "
                 + std::strerror(errno);
        ::close(listenFd);
        listenFd = -1;
        return false;
    }
    socklen_t len = sizeof sa;
    ::getsockname(listenFd, reinterpret_cast<sockaddr *>(&sa), &len);
    boundPort = ntohs(sa.sin_port);
    return true;
}

void CrateServer::requestStop()
{
    if (wakePipe[1] >= 0) {
        const char c = 1;
        [[maybe_unused]] ssize_t n = ::write(wakePipe[1], &c, 1);
    }
}

void CrateServer::run()
{
    for (;;) {
        pollfd p[2] = {{listenFd, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
        const int r = ::poll(p, wakePipe[0] >= 0 ? 2 : 1, -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (p[1].revents)
            return;
        if (!(p[0].revents & POLLIN))
            continue;
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            continue;
        // Full: the connection quiet the longest that holds no module makes
        // room, so that idle or hostile clients cannot lock everyone out.
        if (activeClients.load() >= kMaxClients && !evictIdlest()) {
            ::close(fd);
            continue;
        }
        ++activeClients;
        std::thread([this, fd] { serveClient(fd); }).detach();
    }
}

void CrateServer::serveClient(int fd)
{
    {
        ClientSession session(*this, fd);
        session.run();
    }
    --activeClients;
    // A flood of replies grows this thread's heap; give it back to the system.
    ::malloc_trim(0);
}

void CrateServer::addSession(SessionState *s)
{
    std::lock_guard<std::mutex> lock(sessionsMutex);
    sessions.push_back(s);
}

void CrateServer::removeSession(SessionState *s)
{
    std::lock_guard<std::mutex> lock(sessionsMutex);
    sessions.remove(s);
}

bool CrateServer::evictIdlest()
{
    constexpr int64_t kMinQuietMs = 1000;  // a client in the middle of its work is left alone
    std::lock_guard<std::mutex> lock(sessionsMutex);
    SessionState *idlest = nullptr;
    for (SessionState *s : sessions) {
        if (s->holdsModule || s->evict)
            continue;
        if (!idlest || s->lastMessageMs < idlest->lastMessageMs)
            idlest = s;
    }
    if (!idlest)
        return false;
    if (grv480::proto::nowMs() - idlest->lastMessageMs < kMinQuietMs) {
        // Every one of them is busy: the longest connected that holds no module
        // goes, so that a crowd that keeps asking cannot lock a newcomer out.
        // It may come back; a client that holds a module is never cut off.
        idlest = nullptr;
        for (SessionState *s : sessions) {
            if (!s->holdsModule && !s->evict) {
                idlest = s;
                break;
            }
        }
        if (!idlest)
            return false;
    }
    idlest->evict = true;
    return true;
}

bool CrateServer::claimModule(const ModuleSpec *m)
{
    std::lock_guard<std::mutex> lock(modulesMutex);
    return claimed.insert(m).second;
}

void CrateServer::releaseModule(const ModuleSpec *m)
{
    std::lock_guard<std::mutex> lock(modulesMutex);
    claimed.erase(m);
}
