#include "protocol.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace grv480 {
namespace proto {

std::vector<uint8_t> makeMessage(uint16_t type, const void *payload, size_t length)
{
    std::vector<uint8_t> m(sizeof(Header) + length);
    Header h{kMagic, type, 0, uint32_t(length)};
    std::memcpy(m.data(), &h, sizeof h);
    if (length)
        std::memcpy(m.data() + sizeof h, payload, length);
    return m;
}

void MessageBuffer::append(const uint8_t *data, size_t n)
{
    if (start > 0 && start == buf.size()) {
        buf.clear();
        start = 0;
    } else if (start > 65536 && start * 2 > buf.size()) {
        buf.erase(buf.begin(), buf.begin() + long(start));
        start = 0;
    }
    buf.insert(buf.end(), data, data + n);
}

int MessageBuffer::next(Header *h, std::vector<uint8_t> *payload, uint32_t maxPayload)
{
    if (pending() < sizeof(Header))
        return 0;
    Header hd;
    std::memcpy(&hd, buf.data() + start, sizeof hd);
    if (hd.magic != kMagic || hd.length > maxPayload)
        return -1;
    if (pending() < sizeof(Header) + hd.length)
        return 0;
    *h = hd;
    const uint8_t *p = buf.data() + start + sizeof(Header);
    payload->assign(p, p + hd.length);
    start += sizeof(Header) + hd.length;
    return 1;
}

int64_t nowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int stallLimitMs()
{
    const char *v = std::getenv("GRV480_STALL_LIMIT_MS");
    if (v && *v) {
        char *end = nullptr;
        const long ms = std::strtol(v, &end, 10);
        if (*end == 0 && ms >= 100 && ms <= 600000)
            return int(ms);
    }
    return 3000;
}

ClientConnection::~ClientConnection()
{
    close();
}

void ClientConnection::close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    rx.clear();
    staleReplies = 0;
}

ClientConnection::Result ClientConnection::connectTo(uint32_t addrHostOrder, uint16_t port,
                                                     int timeoutMs)
{
    close();
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return Refused;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(addrHostOrder);
    int rc = ::connect(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa);
    if (rc < 0 && errno != EINPROGRESS) {
        close();
        return Refused;
    }
    if (rc < 0) {
        pollfd p{fd, POLLOUT, 0};
        int pr;
        do {
            pr = ::poll(&p, 1, timeoutMs);
        } while (pr < 0 && errno == EINTR);
        if (pr == 0) {
            close();
            return TimedOut;
        }
        int soerr = 0;
        socklen_t len = sizeof soerr;
        if (pr < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &soerr, &len) < 0 || soerr != 0) {
            close();
            return Refused;
        }
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    lastRx = nowMs();
    return Ok;
}

void ClientConnection::setReceiveBuffer(int bytes)
{
    if (fd >= 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

ClientConnection::Result ClientConnection::send(uint16_t type, const void *payload, size_t length,
                                                int timeoutMs)
{
    if (fd < 0)
        return Lost;
    const std::vector<uint8_t> m = makeMessage(type, payload, length);
    const int64_t deadline = nowMs() + timeoutMs;
    size_t done = 0;
    while (done < m.size()) {
        const ssize_t n = ::send(fd, m.data() + done, m.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const int64_t left = deadline - nowMs();
            if (left <= 0)
                return TimedOut;
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, int(left));
            continue;
        }
        return Lost;
    }
    return Ok;
}

ClientConnection::Result ClientConnection::readMessage(Header *h, std::vector<uint8_t> *payload,
                                                       int timeoutMs)
{
    if (fd < 0)
        return Lost;
    const int64_t deadline = nowMs() + timeoutMs;
    uint8_t chunk[65536];
    for (;;) {
        const int r = rx.next(h, payload, kMaxServerPayload);
        if (r < 0)
            return BadData;
        if (r > 0)
            return Ok;
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            rx.append(chunk, size_t(n));
            lastRx = nowMs();
            continue;
        }
        if (n == 0)
            return Lost;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return Lost;
        const int64_t left = deadline - nowMs();
        if (left <= 0)
            return TimedOut;
        pollfd p{fd, POLLIN, 0};
        const int pr = ::poll(&p, 1, int(left));
        if (pr < 0 && errno != EINTR)
            return Lost;
    }
}

ClientConnection::Result ClientConnection::request(uint16_t type, const void *payload,
                                                   size_t length, std::vector<uint8_t> *reply,
                                                   int timeoutMs, bool *sawOverflow)
{
    Result r = send(type, payload, length, timeoutMs);
    if (r != Ok)
        return r;
    // The stall limit runs from the request, or from the last byte after it: an
    // idle connection has received nothing for as long as it was idle, and that
    // is not a stall.
    const int64_t sentAt = nowMs();
    const int64_t hardDeadline = sentAt + 4 * int64_t(timeoutMs);
    auto quietSince = [&]() { return std::max(sentAt, lastRx); };
    Header h;
    for (;;) {
        const int64_t now = nowMs();
        const int64_t left = std::min<int64_t>(quietSince() + timeoutMs, hardDeadline) - now;
        if (left <= 0) {
            ++staleReplies;
            return TimedOut;
        }
        r = readMessage(&h, reply, int(left));
        if (r == TimedOut)
            continue;   // the loop head decides whether the stall limit has passed
        if (r != Ok)
            return r;
        if (h.type & kReplyFlag) {
            // Replies come in the order of the requests: the first ones after a
            // timed-out request belong to it and are dropped, so that no later
            // request reads an earlier request's answer.
            if (staleReplies > 0) {
                --staleReplies;
                continue;
            }
            if (h.type != (type | kReplyFlag) || reply->size() < sizeof(int32_t))
                return BadData;
            return Ok;
        }
        if (h.type == Overflow && sawOverflow)
            *sawOverflow = true;
        if (h.type != Data && h.type != Heartbeat && h.type != Overflow)
            return BadData;
    }
}

} // namespace proto
} // namespace grv480
