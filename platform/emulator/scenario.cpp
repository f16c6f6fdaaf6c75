#include "scenario.h"

#include "grv480api.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "defaultscenario.h"

namespace {

std::string trim(const std::string &s)
{
    const size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return std::string();
    const size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

bool toDouble(const std::string &v, double *out)
{
    if (v.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    const double d = std::strtod(v.c_str(), &end);
    if (errno || *end || !std::isfinite(d))
        return false;
    *out = d;
    return true;
}

bool toInt(const std::string &v, long long lo, long long hi, long long *out)
{
    if (v.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    const long long n = std::strtoll(v.c_str(), &end, 0);
    if (errno || *end || n < lo || n > hi)
        return false;
    *out = n;
    return true;
}

bool validSerial(const std::string &s)
{
    if (s.empty() || s.size() > 15)
        return false;
    for (unsigned char c : s) {
        if (!(std::isalnum(c) || c == '-' || c == '_' || c == '.'))
            return false;
    }
    return true;
}

} // namespace

const ModuleSpec *Scenario::module(const std::string &crate, int slot) const
{
    for (const ModuleSpec &m : modules) {
        if (m.crate == crate && m.slot == slot)
            return &m;
    }
    return nullptr;
}

const char *builtinScenarioText()
{
    return kDefaultScenarioText;
}

bool loadScenarioFile(const std::string &path, Scenario *s, std::string *error)
{
    constexpr off_t kMaxBytes = 4 * 1024 * 1024;
    // Without waiting for a FIFO's writer; what is not a regular file, or is
    // larger than any scenario, is refused before a byte of it is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *error = path + ": cannot open the scenario file: " + std::strerror(errno);
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = path + ": the scenario is not a regular file";
        ::close(fd);
        return false;
    }
    if (st.st_size > kMaxBytes) {
        *error = path + ": the scenario file is too large";
        ::close(fd);
        return false;
    }
    std::string text;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = path + ": cannot read the scenario file: " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        text.append(buf, size_t(n));
        // it may grow while it is read
        if (text.size() > size_t(kMaxBytes)) {
            *error = path + ": the scenario file is too large";
            ::close(fd);
            return false;
        }
    }
    ::close(fd);
    return parseScenario(text, path, s, error);
}

bool parseScenario(const std::string &text, const std::string &name, Scenario *out,
                   std::string *error)
{
    Scenario s;
    enum Section { None, Crate, Module, Bridge, Event } section = None;
    ModuleSpec *mod = nullptr;
    BridgeSpec *bridge = nullptr;
    // events are checked and attached to their module once everything is read
    struct PendingEvent
    {
        EventSpec ev;
        std::string crate;
        int slot = 0;
        int line = 0;
    };
    std::vector<PendingEvent> pendingEvents;
    EventSpec *event = nullptr;
    std::string evCrate;
    int evSlot = 0;
    auto closeEvent = [&]() {
        if (event) {
            pendingEvents.back().crate = evCrate;
            pendingEvents.back().slot = evSlot;
        }
        event = nullptr;
    };
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    auto fail = [&](const std::string &why) {
        *error = lineNo ? name + ":" + std::to_string(lineNo) + ": " + why : name + ": " + why;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        const size_t hash = line.find(" #");
        if (hash != std::string::npos)
            line.erase(hash);
        line = trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (line.back() != ']')
                return fail("a section header must end with ']'");
            std::istringstream hs(line.substr(1, line.size() - 2));
            std::string kind, arg, extra;
            hs >> kind >> arg >> extra;
            if (!extra.empty())
                return fail("unexpected text in the section header");
            closeEvent();
            if (kind == "crate" && arg.empty()) {
                section = Crate;
                s.crates.emplace_back();
            } else if (kind == "module" && arg.empty()) {
                section = Module;
                s.modules.emplace_back();
                mod = &s.modules.back();
            } else if (kind == "bridge") {
                long long n = 0;
                if (!mod || mod->typeId != GRV480_MODULE_ID)
                    return fail("a [bridge N] section must follow a GRV480 [module] (set type first)");
                if (!toInt(arg, 1, 16, &n))
                    return fail("bridge number must be 1..16");
                section = Bridge;
                bridge = &mod->bridges[size_t(n - 1)];
            } else if (kind == "event" && arg.empty()) {
                section = Event;
                pendingEvents.emplace_back();
                pendingEvents.back().line = lineNo;
                event = &pendingEvents.back().ev;
                evCrate.clear();
                evSlot = 0;
                mod = nullptr;
            } else {
                return fail("unknown section [" + kind + (arg.empty() ? "" : " " + arg) + "]");
            }
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            return fail("expected 'key = value'");
        const std::string key = trim(line.substr(0, eq));
        const std::string val = trim(line.substr(eq + 1));
        double d = 0;
        long long n = 0;
        auto num = [&](double lo, double hi, double *dst) {
            if (!toDouble(val, &d) || d < lo || d > hi)
                return fail("'" + key + "' must be a number from " + std::to_string(lo) + " to "
                            + std::to_string(hi));
            *dst = d;
            return true;
        };
        auto flag = [&](bool *dst) {
            if (val == "yes" || val == "true" || val == "1")
                *dst = true;
            else if (val == "no" || val == "false" || val == "0")
                *dst = false;
            else
                return fail("'" + key + "' must be yes or no");
            return true;
        };
        switch (section) {
        case None:
            return fail("a key outside any section");
        case Crate:
            if (key != "serial")
                return fail("unknown key '" + key + "' in [crate]");
            if (!validSerial(val))
                return fail("a serial number has 1..15 letters, digits, '-', '_' or '.'");
            s.crates.back() = val;
            break;
        case Module:
            if (key == "crate") {
                mod->crate = val;
            } else if (key == "slot") {
                if (!toInt(val, 1, 16, &n))
                    return fail("slot must be 1..16");
                mod->slot = int(n);
            } else if (key == "type") {
                if (val == "GRV480" || val == "grv480")
                    mod->typeId = GRV480_MODULE_ID;
                else if (toInt(val, 1, 0xFFFF, &n))
                    mod->typeId = uint16_t(n);
                else
                    return fail("type must be GRV480 or a module id 1..0xFFFF");
            } else if (key == "serial") {
                if (!validSerial(val))
                    return fail("a serial number has 1..15 letters, digits, '-', '_' or '.'");
                mod->serial = val;
            } else if (key == "fpga") {
                if (!toInt(val, 0, 0xFFFF, &n))
                    return fail("fpga must be 0..65535");
                mod->fpgaVersion = uint16_t(n);
            } else if (key == "rref") {
                if (!num(1, 100000, &mod->rref)) return false;
            } else if (key == "load_power_limit") {
                if (!num(0, 100, &mod->loadPowerLimitW)) return false;
            } else if (key == "cable_length") {
                if (!num(0, 10000, &mod->cableLengthM)) return false;
            } else if (key == "cable_capacitance") {
                if (!num(0, 1e6, &mod->cableCapPfPerM)) return false;
            } else if (key == "cable_resistance") {
                if (!num(0, 100, &mod->cableResOhmPerM)) return false;
            } else if (key == "zero_offset_uv") {
                if (!num(-10000, 10000, &mod->zeroOffsetUv)) return false;
            } else if (key == "abs_zero_offset_mv") {
                if (!num(-1000, 1000, &mod->absZeroOffsetMv)) return false;
            } else if (key == "rref_fault") {
                if (val == "open") mod->rrefOpen = true;
                else if (val == "short") mod->rrefShort = true;
                else if (val != "none") return fail("rref_fault must be none, open or short");
            } else if (key == "uneg_open") {
                if (!flag(&mod->unegOpen)) return false;
            } else if (key == "seed") {
                if (!toInt(val, 0, (1LL << 62), &n))
                    return fail("seed must be a non-negative integer");
                mod->seed = uint64_t(n);
            } else if (key == "setadc_ms" || key == "init_meas_ms" || key == "start_ms"
                       || key == "flash_read_ms" || key == "flash_write_ms") {
                if (!toInt(val, 0, 10000, &n))
                    return fail("'" + key + "' must be 0..10000 ms");
                int *dst = key == "setadc_ms"      ? &mod->setAdcMs
                           : key == "init_meas_ms" ? &mod->initMeasMs
                           : key == "start_ms"     ? &mod->startMs
                           : key == "flash_read_ms" ? &mod->flashReadMs
                                                    : &mod->flashWriteMs;
                *dst = int(n);
            } else if (key == "settle_ms") {
                if (!num(0, 10000, &mod->settleMs)) return false;
            } else if (key == "isrc_fault") {
                if (!flag(&mod->isrcFault)) return false;
            } else {
                return fail("unknown key '" + key + "' in [module]");
            }
            break;
        case Bridge: {
            std::string why;
            if (!setBridgeKey(bridge, key, val, &why))
                return fail(why);
            break;
        }
        case Event: {
            std::string why;
            if (key == "crate") {
                evCrate = val;
            } else if (key == "slot") {
                if (!toInt(val, 1, 16, &n))
                    return fail("slot must be 1..16");
                evSlot = int(n);
            } else if (key == "at") {
                if (!num(0, 1e6, &event->atS)) return false;
            } else if (key == "repeat") {
                if (!num(0, 1e6, &event->repeatS)) return false;
                if (event->repeatS > 0 && event->repeatS < 0.01)
                    return fail("repeat must be 0 or at least 0.01 s");
            } else if (key == "duration") {
                if (!num(0, 1e6, &event->durationS)) return false;
            } else if (key == "bridge") {
                if (!toInt(val, 1, 16, &n))
                    return fail("bridge must be 1..16");
                event->bridge = int(n);
            } else if (key == "link") {
                if (!parseLinkAction(val, &event->link))
                    return fail("link must be stall, drop, corrupt, truncate, overflow or vanish");
            } else if (key == "set") {
                std::istringstream is(val);
                std::string item;
                while (std::getline(is, item, ';')) {
                    const size_t e = item.find('=');
                    if (e == std::string::npos)
                        return fail("set is a ';'-separated list of key=value");
                    event->set.emplace_back(trim(item.substr(0, e)), trim(item.substr(e + 1)));
                }
            } else {
                return fail("unknown key '" + key + "' in [event]");
            }
            break;
        }
        }
    }
    closeEvent();
    lineNo = 0;
    if (s.crates.empty())
        return fail("the scenario has no [crate]");
    if (s.crates.size() > 16)
        return fail("at most 16 crates");
    for (size_t i = 0; i < s.crates.size(); ++i) {
        if (s.crates[i].empty())
            return fail("a [crate] without serial");
        for (size_t j = 0; j < i; ++j)
            if (s.crates[j] == s.crates[i])
                return fail("crate " + s.crates[i] + " is listed twice");
    }
    for (size_t i = 0; i < s.modules.size(); ++i) {
        ModuleSpec &m = s.modules[i];
        bool known = false;
        for (const std::string &c : s.crates)
            known = known || c == m.crate;
        if (!known)
            return fail("a [module] names crate '" + m.crate + "', which is not listed");
        if (m.slot < 1)
            return fail("a [module] of crate " + m.crate + " has no slot");
        if (m.typeId == 0)
            return fail("the module in " + m.crate + " slot " + std::to_string(m.slot) + " has no type");
        for (size_t j = 0; j < i; ++j)
            if (s.modules[j].crate == m.crate && s.modules[j].slot == m.slot)
                return fail("two modules in " + m.crate + " slot " + std::to_string(m.slot));
        if (m.typeId == GRV480_MODULE_ID) {
            if (m.serial.empty())
                m.serial = m.crate + "-" + std::to_string(m.slot);
            for (size_t j = 0; j < i; ++j)
                if (s.modules[j].typeId == GRV480_MODULE_ID && s.modules[j].serial == m.serial)
                    return fail("two GRV480 modules with serial " + m.serial);
            for (size_t b = 0; b < m.bridges.size(); ++b) {
                if (m.bridges[b].resistance <= 0)
                    m.bridges[b].resistance = m.rref;
                if (m.bridges[b].seed == 0)
                    m.bridges[b].seed = m.seed * 1000003u + b + 1;
            }
        }
    }
    for (PendingEvent &p : pendingEvents) {
        lineNo = p.line;
        ModuleSpec *m = nullptr;
        for (ModuleSpec &cand : s.modules)
            if (cand.crate == p.crate && cand.slot == p.slot)
                m = &cand;
        if (!m || m->typeId != GRV480_MODULE_ID)
            return fail("an [event] must name the crate and slot of a GRV480");
        if ((p.ev.link != EventSpec::NoLink) == !p.ev.set.empty())
            return fail("an [event] has either link or set");
        if (p.ev.link == EventSpec::NoLink) {
            // try the change on a copy, so that a bad key is reported here
            BridgeSpec b = p.ev.bridge ? m->bridges[size_t(p.ev.bridge - 1)] : BridgeSpec();
            ModuleSpec mm = *m;
            std::string why;
            for (const auto &kv : p.ev.set) {
                const bool ok = p.ev.bridge ? setBridgeKey(&b, kv.first, kv.second, &why)
                                            : setModuleLiveKey(&mm, kv.first, kv.second, &why);
                if (!ok)
                    return fail(why);
            }
        } else if (p.ev.bridge) {
            return fail("a link event names no bridge");
        }
        m->events.push_back(p.ev);
    }
    *out = std::move(s);
    return true;
}

bool parseLinkAction(const std::string &val, EventSpec::Link *link)
{
    static const char *const names[] = {"stall", "drop", "corrupt", "truncate", "overflow", "vanish"};
    for (int i = 0; i < 6; ++i) {
        if (val == names[i]) {
            *link = EventSpec::Link(i + 1);
            return true;
        }
    }
    return false;
}

const char *linkActionName(EventSpec::Link link)
{
    static const char *const names[] = {"none", "stall", "drop", "corrupt", "truncate", "overflow", "vanish"};
    return names[int(link)];
}

bool setModuleLiveKey(ModuleSpec *m, const std::string &key, const std::string &val,
                      std::string *error)
{
    if (key != "isrc_fault") {
        *error = "unknown module condition '" + key + "' (isrc_fault)";
        return false;
    }
    if (val == "yes" || val == "true" || val == "1")
        m->isrcFault = true;
    else if (val == "no" || val == "false" || val == "0")
        m->isrcFault = false;
    else {
        *error = "isrc_fault must be yes or no";
        return false;
    }
    return true;
}

bool setBridgeKey(BridgeSpec *bridge, const std::string &key, const std::string &val,
                  std::string *error)
{
    double d = 0;
    long long n = 0;
    auto fail = [&](const std::string &why) {
        *error = why;
        return false;
    };
    auto num = [&](double lo, double hi, double *dst) {
        if (!toDouble(val, &d) || d < lo || d > hi)
            return fail("'" + key + "' must be a number from " + std::to_string(lo) + " to "
                        + std::to_string(hi));
        *dst = d;
        return true;
    };
    if (key == "resistance") {
        if (!num(0, 100000, &bridge->resistance)) return false;
    } else if (key == "offset_mv") {
        if (!num(-5000, 5000, &bridge->offsetMv)) return false;
    } else if (key == "sine_mv") {
        if (!num(0, 5000, &bridge->sineMv)) return false;
    } else if (key == "sine_hz") {
        if (!num(0, 125000, &bridge->sineHz)) return false;
    } else if (key == "phase_deg") {
        if (!num(-360, 360, &bridge->phaseDeg)) return false;
    } else if (key == "noise_uv") {
        if (!num(0, 1e6, &bridge->noiseUv)) return false;
    } else if (key == "ucm_offset_v") {
        if (!num(-100, 100, &bridge->ucmOffsetV)) return false;
    } else if (key == "gain_error") {
        if (!num(-0.5, 0.5, &bridge->gainError)) return false;
    } else if (key == "drift_uv") {
        if (!num(0, 1e6, &bridge->driftUv)) return false;
    } else if (key == "drift_period_s") {
        if (!num(1, 1e6, &bridge->driftPeriodS)) return false;
    } else if (key == "mains_uv") {
        if (!num(0, 1e6, &bridge->mainsUv)) return false;
    } else if (key == "mains_hz") {
        if (!num(1, 1000, &bridge->mainsHz)) return false;
    } else if (key == "over_range") {
        if (val == "yes" || val == "true" || val == "1") bridge->overRange = true;
        else if (val == "no" || val == "false" || val == "0") bridge->overRange = false;
        else return fail("over_range must be yes or no");
    } else if (key == "harmonics_mv") {
        bridge->harmonicsMv.clear();
        std::istringstream hs(val);
        std::string item;
        while (std::getline(hs, item, ',')) {
            if (!toDouble(trim(item), &d) || d < 0 || d > 5000)
                return fail("harmonics_mv is a comma-separated list of amplitudes 0..5000");
            bridge->harmonicsMv.push_back(d);
        }
        if (bridge->harmonicsMv.size() > 8)
            return fail("at most 8 harmonics");
    } else if (key == "fault") {
        if (val == "none") bridge->fault = BridgeSpec::NoFault;
        else if (val == "open") bridge->fault = BridgeSpec::Open;
        else if (val == "short") bridge->fault = BridgeSpec::Short;
        else return fail("fault must be none, open or short");
    } else if (key == "seed") {
        if (!toInt(val, 0, (1LL << 62), &n))
            return fail("seed must be a non-negative integer");
        bridge->seed = uint64_t(n);
    } else {
        return fail("unknown key '" + key + "' in [bridge]");
    }
    return true;
}
