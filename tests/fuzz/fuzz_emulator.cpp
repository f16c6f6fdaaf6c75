// The emulator's handling of a client's byte stream: framing, hello, every
// request type and the fault-control commands, on a fresh server per input
// (no state carried from one input to the next). The session reads from one
// end of a socket pair until the input ends.
#include "clientsession.h"
#include "scenario.h"
#include "server.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Modules that answer at once, so that a request costs no waiting.
const char FuzzScenario[] = R"(
[crate]
serial = FZ-1
[crate]
serial = FZ-2
[module]
crate = FZ-1
slot = 1
type = GRV480
setadc_ms = 0
init_meas_ms = 0
start_ms = 0
flash_read_ms = 0
flash_write_ms = 0
settle_ms = 0
serial = FZ480-01
[bridge 1]
sine_mv = 5
sine_hz = 50
[bridge 2]
fault = open
[module]
crate = FZ-1
slot = 2
type = 0x1234
[module]
crate = FZ-2
slot = 16
type = GRV480
setadc_ms = 0
init_meas_ms = 0
start_ms = 0
flash_read_ms = 0
flash_write_ms = 0
serial = FZ480-02
rref_fault = open
)";

Scenario scenario;
std::string stateDir;

int openDescriptors()
{
    int n = 0;
    if (DIR *d = ::opendir("/proc/self/fd")) {
        while (::readdir(d))
            ++n;
        ::closedir(d);
    }
    return n;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    std::string error;
    if (!parseScenario(FuzzScenario, "fuzz", &scenario, &error)) {
        std::fprintf(stderr, "fuzz scenario: %s\n", error.c_str());
        std::abort();
    }
    // in memory where there is a tmpfs: flash writes sync to disk
    char shm[] = "/dev/shm/grv480-fuzz-emulator-XXXXXX";
    char tmp[] = "/tmp/grv480-fuzz-emulator-XXXXXX";
    const char *dir = mkdtemp(shm);
    if (!dir)
        dir = mkdtemp(tmp);
    if (!dir)
        std::abort();
    stateDir = dir;
    std::atexit([] {
        for (const char *serial : {"FZ480-01", "FZ480-02"})
            std::remove((stateDir + "/" + serial + ".tare").c_str());
        ::rmdir(stateDir.c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // bounded so that the whole input fits the socket's buffer
    if (size > 64 * 1024)
        return 0;
    // Open descriptors before and after: a server or session that leaves one
    // open exhausts the process over many clients or servers.
    const int openBefore = openDescriptors();
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        std::abort();
    const int bufBytes = 256 * 1024;
    setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &bufBytes, sizeof bufBytes);
    setsockopt(fds[0], SOL_SOCKET, SO_RCVBUF, &bufBytes, sizeof bufBytes);
    size_t sent = 0;
    while (sent < size) {
        const ssize_t n = ::send(fds[1], data + sent, size - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += size_t(n);
    }
    ::shutdown(fds[1], SHUT_WR);
    {
        ClientLimits limits;
        limits.maxQueuedBytes = 1024 * 1024;
        CrateServer server(scenario, stateDir, true, limits);
        ClientSession session(server, fds[0]); // closes fds[0]
        session.run();
    }
    ::close(fds[1]);
    if (openDescriptors() != openBefore)
        __builtin_trap();
    return 0;
}
