#ifndef QTCOMPAT_H
#define QTCOMPAT_H

// The few places where Qt 5 and Qt 6 differ in a way the code meets, so that
// one tree builds with either. Everything else uses what both offer.

#include <QtGlobal>
#include <QSettings>

namespace QtCompat {

// Qt 6 reads and writes INI files as UTF-8 and has no codec to set; Qt 5
// needs to be told, or non-ASCII values come back as Latin-1.
inline void setIniUtf8(QSettings &settings)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    settings.setIniCodec("UTF-8");
#else
    Q_UNUSED(settings);
#endif
}

} // namespace QtCompat

#endif // QTCOMPAT_H
