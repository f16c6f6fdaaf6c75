#include "hdf5attributes.h"

namespace Hdf5 {

bool stringAttribute(hid_t owner, const char *name, const QString &value)
{
    const QByteArray u = value.toUtf8();
    Id type(H5Tcopy(H5T_C_S1), H5Tclose);
    if (!type.valid() || H5Tset_size(type, H5T_VARIABLE) < 0 ||
        H5Tset_cset(type, H5T_CSET_UTF8) < 0)
        return false;
    Id space(H5Screate(H5S_SCALAR), H5Sclose);
    Id attr(H5Acreate2(owner, name, type, space, H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    const char *text = u.constData();
    return attr.valid() && H5Awrite(attr, type, &text) >= 0;
}

bool intAttribute(hid_t owner, const char *name, qint64 value, hid_t fileType)
{
    Id space(H5Screate(H5S_SCALAR), H5Sclose);
    Id attr(H5Acreate2(owner, name, fileType, space, H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    return attr.valid() && H5Awrite(attr, H5T_NATIVE_INT64, &value) >= 0;
}

bool doubleAttribute(hid_t owner, const char *name, double value)
{
    Id space(H5Screate(H5S_SCALAR), H5Sclose);
    Id attr(H5Acreate2(owner, name, H5T_IEEE_F64LE, space, H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    return attr.valid() && H5Awrite(attr, H5T_NATIVE_DOUBLE, &value) >= 0;
}

} // namespace Hdf5
