// The modules' flash memory for their tare records: one file per module
// serial number in the state directory, replaced atomically on every write.
#ifndef FLASHSTORE_H
#define FLASHSTORE_H

#include "grv480api.h"

#include <mutex>
#include <string>

class FlashStore
{
public:
    explicit FlashStore(std::string dir);

    // 0, GRV480_ERR_FLASH_EMPTY (never written) or GRV480_ERR_FLASH_READ (damaged).
    int read(const std::string &serial, TGRV480TareInfo records[GRV480_CHANNEL_COUNT]);
    // Replaces the records of the channels in mask, keeps the others.
    int write(const std::string &serial, uint32_t mask,
              const TGRV480TareInfo records[GRV480_CHANNEL_COUNT]);
    std::string path(const std::string &serial) const;

private:
    int readLocked(const std::string &serial, TGRV480TareInfo records[GRV480_CHANNEL_COUNT]);

    std::string dir;
    std::mutex mutex;
};

uint32_t crc32(const void *data, size_t n);

#endif // FLASHSTORE_H
