#include "flashstore.h"

#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char kFileMagic[8] = {'G', '4', '8', '0', 'T', 'A', 'R', 'E'};
constexpr uint32_t kFileVersion = 1;

struct FileImage
{
    char magic[8];
    uint32_t version;
    uint32_t count;
    TGRV480TareInfo records[GRV480_CHANNEL_COUNT];
    uint32_t crc;
};

bool writeAll(int fd, const void *data, size_t n)
{
    const char *p = static_cast<const char *>(data);
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= size_t(w);
    }
    return true;
}

} // namespace

uint32_t crc32(const void *data, size_t n)
{
    const uint8_t *p = static_cast<const uint8_t *>(data);
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

FlashStore::FlashStore(std::string d) : dir(std::move(d)) {}

std::string FlashStore::path(const std::string &serial) const
{
    std::string safe;
    for (unsigned char c : serial)
        safe += (std::isalnum(c) || c == '-' || c == '_' || c == '.') ? char(c) : '_';
    return dir + "/" + safe + ".tare";
}

int FlashStore::read(const std::string &serial, TGRV480TareInfo records[GRV480_CHANNEL_COUNT])
{
    std::lock_guard<std::mutex> lock(mutex);
    return readLocked(serial, records);
}

int FlashStore::readLocked(const std::string &serial, TGRV480TareInfo records[GRV480_CHANNEL_COUNT])
{
    const int fd = ::open(path(serial).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? GRV480_ERR_FLASH_EMPTY : GRV480_ERR_FLASH_READ;
    FileImage img;
    size_t got = 0;
    char *p = reinterpret_cast<char *>(&img);
    for (;;) {
        const ssize_t r = ::read(fd, p + got, sizeof img - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        got += size_t(r);
        if (got == sizeof img) {
            char extra;
            if (::read(fd, &extra, 1) != 0)
                got = 0;   // longer than an image: not ours
            break;
        }
    }
    ::close(fd);
    if (got != sizeof img || std::memcmp(img.magic, kFileMagic, 8) != 0
        || img.version != kFileVersion || img.count != GRV480_CHANNEL_COUNT
        || img.crc != crc32(&img, offsetof(FileImage, crc)))
        return GRV480_ERR_FLASH_READ;
    std::memcpy(records, img.records, sizeof img.records);
    return 0;
}

int FlashStore::write(const std::string &serial, uint32_t mask,
                      const TGRV480TareInfo records[GRV480_CHANNEL_COUNT])
{
    std::lock_guard<std::mutex> lock(mutex);
    FileImage img;
    std::memset(&img, 0, sizeof img);
    if (readLocked(serial, img.records) != 0)
        std::memset(img.records, 0, sizeof img.records);   // empty or damaged: start afresh
    for (int i = 0; i < GRV480_CHANNEL_COUNT; ++i) {
        if (mask & (1u << i))
            img.records[i] = records[i];
    }
    std::memcpy(img.magic, kFileMagic, 8);
    img.version = kFileVersion;
    img.count = GRV480_CHANNEL_COUNT;
    img.crc = crc32(&img, offsetof(FileImage, crc));

    // A kill at any point leaves either the old file or the new one: write a
    // temporary, make it durable, then rename it over the old.
    const std::string final = path(serial);
    const std::string tmp = final + ".tmp" + std::to_string(::getpid());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return GRV480_ERR_FLASH_WRITE;
    const bool ok = writeAll(fd, &img, sizeof img) && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || ::rename(tmp.c_str(), final.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return GRV480_ERR_FLASH_WRITE;
    }
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return 0;
}
