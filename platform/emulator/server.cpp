#include "server.h"

#include "clientsession.h"

#include <arpa/inet.h>
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

CrateServer::CrateServer(const Scenario &scenario, const std::string &stateDir, bool faults)
    : scen(scenario), flashStore(stateDir), allowFaults(faults)
{
    if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        wakePipe[0] = wakePipe[1] = -1;
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
        if (activeClients.load() >= kMaxClients) {
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
