// grv480-cli fault: switches conditions of a running emulator on and off
// through its own port (it must have been started with --allow-faults).
#include "faultcommand.h"

#include "protocol.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using grv480::proto::ClientConnection;
namespace proto = grv480::proto;

namespace {

void faultUsage(FILE *f)
{
    std::fputs(
        "Usage:\n"
        "  grv480-cli fault --list\n"
        "  grv480-cli fault --crate SERIAL --slot N [--channel K] KEY=VALUE...\n"
        "  grv480-cli fault --crate SERIAL --slot N [--channel K] --clear\n"
        "  grv480-cli fault --crate SERIAL --slot N --link stall|drop|corrupt|truncate|overflow [--ms MS]\n"
        "  grv480-cli fault --crate SERIAL --vanish [--ms MS] | --appear\n"
        "  grv480-cli fault --clear-all\n"
        "  (each with [--host ADDR] [--port N])\n\n"
        "KEY=VALUE: a channel's keys of the scenario's [bridge] section (fault=open|short|none,\n"
        "over_range=yes, resistance=OHM, offset_mv, sine_mv, sine_hz, ucm_offset_v, mains_uv, ...);\n"
        "without --channel the module's isrc_fault=yes|no. --clear restores the scenario's values.\n",
        f);
}

} // namespace

int faultCommand(int argc, char **argv)
{
    uint32_t address = 0x7F000001u;
    long port = 11111;
    std::string crate, slot, channel, link, ms, verb;
    std::vector<std::string> sets;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string *dst) {
            if (i + 1 >= argc)
                return false;
            *dst = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            faultUsage(stdout);
            return 0;
        } else if (a == "--list" || a == "--clear" || a == "--clear-all" || a == "--vanish"
                   || a == "--appear") {
            if (!verb.empty()) {
                faultUsage(stderr);
                return 2;
            }
            verb = a.substr(2);
        } else if (a == "--crate" && value(&crate)) {
        } else if (a == "--slot" && value(&slot)) {
        } else if (a == "--channel" && value(&channel)) {
        } else if (a == "--link" && value(&link)) {
        } else if (a == "--ms" && value(&ms)) {
        } else if (a == "--host" && value(&v)) {
            in_addr ia;
            if (inet_pton(AF_INET, v.c_str(), &ia) != 1) {
                faultUsage(stderr);
                return 2;
            }
            address = ntohl(ia.s_addr);
        } else if (a == "--port" && value(&v)) {
            char *end = nullptr;
            port = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end || port < 1 || port > 65535) {
                faultUsage(stderr);
                return 2;
            }
        } else if (a.find('=') != std::string::npos && a[0] != '-') {
            sets.push_back(a);
        } else {
            faultUsage(stderr);
            return 2;
        }
    }
    // the emulator checks every value; here only the shape of the command
    std::string text;
    const bool module = !crate.empty() && !slot.empty();
    if (verb == "list" && crate.empty()) {
        text = "list";
    } else if (verb == "clear-all" && crate.empty()) {
        text = "clear all";
    } else if ((verb == "vanish" || verb == "appear") && !crate.empty() && slot.empty()) {
        text = verb + " " + crate + (verb == "vanish" && !ms.empty() ? " " + ms : "");
    } else if (verb == "clear" && module && link.empty() && sets.empty()) {
        text = "clear " + crate + " " + slot + (channel.empty() ? "" : " " + channel);
    } else if (verb.empty() && module && !link.empty() && sets.empty() && channel.empty()) {
        text = "link " + crate + " " + slot + " " + link + (ms.empty() ? "" : " " + ms);
    } else if (verb.empty() && module && link.empty() && !sets.empty()) {
        text = "set " + crate + " " + slot + " " + (channel.empty() ? "0" : channel);
        for (const std::string &s : sets)
            text += " " + s;
    } else {
        faultUsage(stderr);
        return 2;
    }

    ClientConnection conn;
    if (conn.connectTo(address, uint16_t(port), 3000) != ClientConnection::Ok) {
        std::fprintf(stderr, "grv480-cli: no crate server on port %ld\n", port);
        return 1;
    }
    proto::HelloRequest hello;
    std::memset(&hello, 0, sizeof hello);
    hello.version = proto::kVersion;
    hello.kind = proto::KindService;
    std::vector<uint8_t> reply;
    if (conn.request(proto::Hello, &hello, sizeof hello, &reply, 3000) != ClientConnection::Ok
        || conn.request(proto::Control, text.data(), text.size(), &reply, 3000)
                   != ClientConnection::Ok) {
        std::fprintf(stderr, "grv480-cli: the crate server does not answer the control command\n");
        return 1;
    }
    int32_t status;
    std::memcpy(&status, reply.data(), sizeof status);
    const std::string answer(reply.begin() + sizeof status, reply.end());
    std::fputs(answer.c_str(), status == 0 ? stdout : stderr);
    return status == 0 ? 0 : 1;
}
