#ifndef HDF5ATTRIBUTES_H
#define HDF5ATTRIBUTES_H

#include <QString>

#include <hdf5.h>

// What the HDF5 writers share: an identifier closed with its own close
// function when it goes, and scalar attributes of the types every reader
// takes for what they are (text as variable-length UTF-8, which h5py returns
// as str; a fixed-length string comes back as bytes).
namespace Hdf5 {

class Id
{
public:
    Id(hid_t id, herr_t (*close)(hid_t))
        : id(id)
        , closeFn(close)
    {
    }
    ~Id() { close(); }
    Id(const Id &) = delete;
    Id &operator=(const Id &) = delete;
    bool valid() const { return id >= 0; }
    operator hid_t() const { return id; }
    bool close()
    {
        const bool ok = id < 0 || closeFn(id) >= 0;
        id = -1;
        return ok;
    }

private:
    hid_t id;
    herr_t (*closeFn)(hid_t);
};

bool stringAttribute(hid_t owner, const char *name, const QString &value);
// fileType: how the file stores it (64-bit unless said otherwise).
bool intAttribute(hid_t owner, const char *name, qint64 value, hid_t fileType = H5T_STD_I64LE);
bool doubleAttribute(hid_t owner, const char *name, double value);

} // namespace Hdf5

#endif // HDF5ATTRIBUTES_H
