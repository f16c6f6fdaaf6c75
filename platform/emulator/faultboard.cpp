#include "faultboard.h"

#include <algorithm>

#include "protocol.h"

#include <sstream>

bool applyChanges(ModuleSpec *m, int bridge,
                  const std::vector<std::pair<std::string, std::string>> &set, std::string *error)
{
    for (const auto &kv : set) {
        const bool ok = bridge ? setBridgeKey(&m->bridges[size_t(bridge - 1)], kv.first, kv.second, error)
                               : setModuleLiveKey(m, kv.first, kv.second, error);
        if (!ok)
            return false;
    }
    if (bridge && m->bridges[size_t(bridge - 1)].resistance <= 0)
        m->bridges[size_t(bridge - 1)].resistance = m->rref;
    return true;
}

FaultBoard::FaultBoard(const Scenario &scenario) : scen(scenario) {}

const ModuleSpec *FaultBoard::find(const std::string &crate, int slot) const
{
    const ModuleSpec *m = scen.module(crate, slot);
    return m && m->typeId == GRV480_MODULE_ID ? m : nullptr;
}

ModuleSpec FaultBoard::liveSpec(const ModuleSpec *m)
{
    std::lock_guard<std::mutex> lock(mutex);
    ModuleSpec live = *m;
    const auto it = changes.find(m);
    if (it != changes.end()) {
        std::string ignored;
        for (const auto &ch : it->second.set)
            applyChanges(&live, ch.first, ch.second, &ignored);   // checked when given
    }
    return live;
}

uint64_t FaultBoard::linkSequence()
{
    std::lock_guard<std::mutex> lock(mutex);
    return seq;
}

std::vector<LinkAction> FaultBoard::takeLinkActions(const ModuleSpec *m, uint64_t *seen)
{
    std::vector<LinkAction> out;
    std::lock_guard<std::mutex> lock(mutex);
    for (const Queued &q : queued) {
        if (q.seq > *seen && q.module == m)
            out.push_back(q.action);
    }
    *seen = seq;
    return out;
}

bool FaultBoard::hiddenLocked(const std::string &crate, int64_t now)
{
    const auto it = hidden.find(crate);
    if (it == hidden.end())
        return false;
    if (it->second != 0 && now >= it->second) {
        hidden.erase(it);
        ++ver;
        return false;
    }
    return true;
}

bool FaultBoard::crateHidden(const std::string &crate)
{
    std::lock_guard<std::mutex> lock(mutex);
    return hiddenLocked(crate, grv480::proto::nowMs());
}

void FaultBoard::hideCrate(const std::string &crate, int durationMs)
{
    std::lock_guard<std::mutex> lock(mutex);
    hidden[crate] = durationMs > 0 ? grv480::proto::nowMs() + durationMs : 0;
    ++ver;
}

int FaultBoard::command(const std::string &text, std::string *reply)
{
    std::istringstream in(text);
    std::vector<std::string> w;
    for (std::string t; in >> t;)
        w.push_back(t);
    auto bad = [&](const std::string &why) {
        *reply = why;
        return 2;
    };
    auto number = [](const std::string &s, long lo, long hi, long *out) {
        char *end = nullptr;
        const long v = std::strtol(s.c_str(), &end, 10);
        if (s.empty() || *end || v < lo || v > hi)
            return false;
        *out = v;
        return true;
    };
    if (w.empty())
        return bad("empty command");
    const std::string &verb = w[0];
    if (verb == "list") {
        std::lock_guard<std::mutex> lock(mutex);
        std::ostringstream os;
        const int64_t now = grv480::proto::nowMs();
        for (const std::string &c : scen.crates) {
            if (hiddenLocked(c, now))
                os << "crate " << c << ": vanished"
                   << (hidden[c] ? " for " + std::to_string(hidden[c] - now) + " ms more" : "") << "\n";
        }
        for (const auto &mc : changes) {
            for (const auto &ch : mc.second.set) {
                os << mc.first->crate << " slot " << mc.first->slot << " "
                   << (ch.first ? "channel " + std::to_string(ch.first) : std::string("module")) << ":";
                for (const auto &kv : ch.second)
                    os << " " << kv.first << "=" << kv.second;
                os << "\n";
            }
        }
        *reply = os.str().empty() ? "no faults active\n" : os.str();
        // The answer must fit one reply whatever was set; the rest is counted.
        constexpr size_t kMaxListBytes = 512 * 1024;
        if (reply->size() > kMaxListBytes) {
            const size_t cut = reply->rfind('\n', kMaxListBytes) + 1;
            const long rest = std::count(reply->begin() + long(cut), reply->end(), '\n');
            reply->resize(cut);
            *reply += "... and " + std::to_string(rest) + " more lines\n";
        }
        return 0;
    }
    if (verb == "vanish" || verb == "appear") {
        if (w.size() < 2 || w.size() > 3)
            return bad("usage: vanish CRATE [MS] | appear CRATE");
        bool known = false;
        for (const std::string &c : scen.crates)
            known = known || c == w[1];
        if (!known)
            return bad("no crate " + w[1] + " in the scenario");
        long ms = 0;
        if (w.size() == 3 && (verb != "vanish" || !number(w[2], 1, 86400000, &ms)))
            return bad("a duration is 1..86400000 ms");
        if (verb == "vanish") {
            hideCrate(w[1], int(ms));
        } else {
            std::lock_guard<std::mutex> lock(mutex);
            hidden.erase(w[1]);
            ++ver;
        }
        *reply = "crate " + w[1] + (verb == "vanish" ? " vanished\n" : " listed again\n");
        return 0;
    }
    if (verb == "clear" && w.size() == 2 && w[1] == "all") {
        std::lock_guard<std::mutex> lock(mutex);
        changes.clear();
        hidden.clear();
        ++ver;
        *reply = "every fault cleared\n";
        return 0;
    }
    // set CRATE SLOT CH key=value... | clear CRATE SLOT [CH] | link CRATE SLOT ACTION [MS]
    if (w.size() < 3)
        return bad("usage: set CRATE SLOT CHANNEL KEY=VALUE... | clear CRATE SLOT [CHANNEL] | "
                   "link CRATE SLOT ACTION [MS] | vanish CRATE [MS] | appear CRATE | list");
    long slot = 0;
    if (!number(w[2], 1, 16, &slot))
        return bad("slot must be 1..16");
    const ModuleSpec *m = find(w[1], int(slot));
    if (!m)
        return bad("no GRV480 in " + w[1] + " slot " + w[2]);
    if (verb == "link") {
        EventSpec::Link link;
        if (w.size() < 4 || w.size() > 5 || !parseLinkAction(w[3], &link))
            return bad("link actions: stall MS, drop, corrupt, truncate, overflow, vanish [MS]");
        long ms = 0;
        if (w.size() == 5 && !number(w[4], 1, 86400000, &ms))
            return bad("a duration is 1..86400000 ms");
        if (link == EventSpec::Stall && ms == 0)
            return bad("a stall needs its duration in ms");
        if (link == EventSpec::Vanish) {
            hideCrate(m->crate, int(ms));   // its module connections go with it
        } else {
            std::lock_guard<std::mutex> lock(mutex);
            queued.push_back({++seq, m, {link, int(ms)}});
            // only connections open now act on it; keep the queue short
            if (queued.size() > 256)
                queued.erase(queued.begin(), queued.begin() + 128);
        }
        *reply = std::string(linkActionName(link)) + " on " + m->crate + " slot " + w[2] + "\n";
        return 0;
    }
    long ch = -1;
    if (w.size() >= 4 && !number(w[3], 0, 16, &ch))
        return bad("channel must be 1..16, or 0 for the module");
    if (verb == "clear") {
        if (w.size() > 4)
            return bad("usage: clear CRATE SLOT [CHANNEL]");
        std::lock_guard<std::mutex> lock(mutex);
        if (ch < 0)
            changes.erase(m);
        else
            changes[m].set.erase(int(ch));
        ++ver;
        *reply = "cleared\n";
        return 0;
    }
    if (verb != "set" || w.size() < 5)
        return bad("usage: set CRATE SLOT CHANNEL KEY=VALUE...");
    std::vector<std::pair<std::string, std::string>> set;
    for (size_t i = 4; i < w.size(); ++i) {
        const size_t e = w[i].find('=');
        if (e == std::string::npos || e == 0)
            return bad("expected KEY=VALUE, got '" + w[i] + "'");
        set.emplace_back(w[i].substr(0, e), w[i].substr(e + 1));
    }
    ModuleSpec probe = *m;
    std::string why;
    if (!applyChanges(&probe, int(ch), set, &why))
        return bad(why);
    std::lock_guard<std::mutex> lock(mutex);
    // One entry per key of a target: a later set replaces the earlier value,
    // so the board stays as small as the keys there are, however often it is set.
    auto &list = changes[m].set[int(ch)];
    for (const auto &kv : set) {
        auto it = std::find_if(list.begin(), list.end(),
                               [&kv](const std::pair<std::string, std::string> &e) {
                                   return e.first == kv.first;
                               });
        if (it != list.end())
            list.erase(it);
        list.push_back(kv);
    }
    ++ver;
    *reply = "set\n";
    return 0;
}
