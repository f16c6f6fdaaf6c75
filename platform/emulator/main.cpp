// grv480-emulator: a crate server with emulated GRV480 modules.
#include "replayrecording.h"
#include "scenario.h"
#include "server.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

CrateServer *g_server = nullptr;

void onSignal(int)
{
    if (g_server)
        g_server->requestStop();
}

void usage(FILE *f)
{
    std::fputs(
        "Usage: grv480-emulator [options]\n"
        "Crate server with emulated GRV480 modules.\n\n"
        "  --port N          TCP port (default 11111; 0 picks a free one)\n"
        "  --listen ADDR     IPv4 address to listen on (default 127.0.0.1)\n"
        "  --scenario FILE   crates, modules and bridges (default: the built-in demonstration)\n"
        "  --state-dir DIR   where the modules' flash memory is kept\n"
        "                    (default $XDG_STATE_HOME/grv480-emulator or ~/.local/state/grv480-emulator)\n"
        "  --idle-limit MS   close a connection that holds no module after MS ms without a\n"
        "                    request (default 60000); a message left unfinished gets 5000\n"
        "  --allow-faults    accept the fault control command (grv480-cli fault ...)\n"
        "  --replay FILE     serve one module that plays a recording of the monitor (.h5):\n"
        "                    its samples, runs and lamps at the recorded rate, from the start\n"
        "                    at every start of the module; the monitor's configuration must\n"
        "                    be the recorded one, else setting it fails naming the setting\n"
        "  --once            with --replay: play it once per start of the module, then\n"
        "                    send only heartbeats (default: loop from the start)\n"
        "  --print-configuration  with --replay: print the recorded configuration as a\n"
        "                    \".gm480cfg\" file for the monitor to load, and exit\n"
        "  --check           only read the scenario and report errors\n"
        "  --print-default   print the built-in scenario and exit\n"
        "  --help            this text\n\n"
        "On start it prints \"listening on ADDR:PORT\" on standard output.\n"
        "Exit codes: 2 bad command line, 3 bad scenario, 4 state directory,\n"
        "5 cannot listen, 6 recording that cannot be replayed.\n",
        f);
}

// The one crate and module of a replay: the recorded ones where a scenario
// could name them so.
Scenario replayScenario(const ReplayRecording &rec)
{
    std::string crate = rec.crateSerial();
    const bool crateOk = !crate.empty() && crate.size() <= 15 &&
                         std::all_of(crate.begin(), crate.end(), [](char c) {
                             return std::isalnum(static_cast<unsigned char>(c)) || c == '-' ||
                                    c == '_' || c == '.';
                         });
    if (!crateOk)
        crate = "REPLAY";
    ModuleSpec m;
    m.crate = crate;
    m.slot = rec.slot() >= 1 && rec.slot() <= 16 ? rec.slot() : 1;
    m.typeId = GRV480_MODULE_ID;
    m.serial = rec.moduleSerial().empty() ? std::string("REPLAY") : rec.moduleSerial().substr(0, 15);
    Scenario s;
    s.crates.push_back(crate);
    s.modules.push_back(m);
    return s;
}

bool makeDirs(const std::string &path)
{
    std::string cur;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!cur.empty() && ::mkdir(cur.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
        }
        if (i < path.size())
            cur += path[i];
    }
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string defaultStateDir()
{
    if (const char *x = std::getenv("XDG_STATE_HOME"); x && *x)
        return std::string(x) + "/grv480-emulator";
    if (const char *h = std::getenv("HOME"); h && *h)
        return std::string(h) + "/.local/state/grv480-emulator";
    return "/tmp/grv480-emulator";
}

} // namespace

int main(int argc, char **argv)
{
    std::string address = "127.0.0.1";
    long port = 11111;
    std::string scenarioFile;
    std::string stateDir;
    bool checkOnly = false;
    bool allowFaults = false;
    std::string replayFile;
    bool once = false;
    bool printConfiguration = false;
    ClientLimits limits;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char *name) -> const char * {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "grv480-emulator: %s needs a value\n", name);
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if (a == "--port") {
            const char *v = value("--port");
            char *end = nullptr;
            port = std::strtol(v, &end, 10);
            if (*v == 0 || *end || port < 0 || port > 65535) {
                std::fprintf(stderr, "grv480-emulator: bad port '%s'\n", v);
                return 2;
            }
        } else if (a == "--listen") {
            address = value("--listen");
        } else if (a == "--scenario") {
            scenarioFile = value("--scenario");
        } else if (a == "--state-dir") {
            stateDir = value("--state-dir");
        } else if (a == "--idle-limit") {
            const char *v = value("--idle-limit");
            char *end = nullptr;
            const long ms = std::strtol(v, &end, 10);
            if (*v == 0 || *end || ms < 100 || ms > 86400000) {
                std::fprintf(stderr, "grv480-emulator: bad idle limit '%s'\n", v);
                return 2;
            }
            limits.idleMs = int(ms);
            limits.partialMessageMs = std::min(limits.partialMessageMs, int(ms));
        } else if (a == "--allow-faults") {
            allowFaults = true;
        } else if (a == "--replay") {
            replayFile = value("--replay");
        } else if (a == "--once") {
            once = true;
        } else if (a == "--print-configuration") {
            printConfiguration = true;
        } else if (a == "--check") {
            checkOnly = true;
        } else if (a == "--print-default") {
            std::fputs(builtinScenarioText(), stdout);
            return 0;
        } else {
            std::fprintf(stderr, "grv480-emulator: unknown option '%s'\n", a.c_str());
            usage(stderr);
            return 2;
        }
    }

    if (!replayFile.empty() && !scenarioFile.empty()) {
        std::fprintf(stderr, "grv480-emulator: --replay and --scenario exclude each other\n");
        return 2;
    }
    if ((once || printConfiguration) && replayFile.empty()) {
        std::fprintf(stderr, "grv480-emulator: %s needs --replay\n",
                     once ? "--once" : "--print-configuration");
        return 2;
    }
    Scenario scenario;
    std::string error;
    ReplayRecording recording;
    if (!replayFile.empty()) {
        if (!recording.open(replayFile, &error)) {
            std::fprintf(stderr, "grv480-emulator: cannot replay %s\n", error.c_str());
            return 6;
        }
        if (printConfiguration) {
            std::fputs(recording.configurationText().c_str(), stdout);
            return 0;
        }
        for (const std::string &note : recording.notes())
            std::fprintf(stderr, "grv480-emulator: replay: %s\n", note.c_str());
        scenario = replayScenario(recording);
    }
    const bool ok = !replayFile.empty() ||
                    (scenarioFile.empty()
                        ? parseScenario(builtinScenarioText(), "built-in scenario", &scenario, &error)
                        : loadScenarioFile(scenarioFile, &scenario, &error));
    if (!ok) {
        std::fprintf(stderr, "grv480-emulator: %s\n", error.c_str());
        return 3;
    }
    if (checkOnly) {
        std::printf("%zu crates, %zu modules: scenario is valid\n", scenario.crates.size(),
                    scenario.modules.size());
        return 0;
    }
    if (stateDir.empty())
        stateDir = defaultStateDir();
    if (!makeDirs(stateDir)) {
        std::fprintf(stderr, "grv480-emulator: cannot create the state directory %s: %s\n",
                     stateDir.c_str(), std::strerror(errno));
        return 4;
    }

    std::signal(SIGPIPE, SIG_IGN);
    CrateServer server(scenario, stateDir, allowFaults, limits);
    if (!replayFile.empty())
        server.setReplay(&recording, !once);
    if (!server.listenOn(address, uint16_t(port), &error)) {
        std::fprintf(stderr, "grv480-emulator: %s\n", error.c_str());
        return 5;
    }
    g_server = &server;
    struct sigaction sa{};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    std::printf("listening on %s:%u\n", address.c_str(), unsigned(server.port()));
    std::fflush(stdout);
    server.run();
    // Client threads may still be running; the flash files are always
    // complete on disk, so leave without unwinding them.
    std::fflush(stdout);
    std::_Exit(0);
}
