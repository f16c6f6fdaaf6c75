#include "savedstate.h"

#include <QDataStream>
#include <QGuiApplication>
#include <QIODevice>
#include <QRect>
#include <QScreen>

namespace {

const qint32 StateMarker = 0xff;
// No widget of this program is near these; a value beyond them is damage.
const qint32 MaxExtent = 1000000;
const int MaxToolBarLines = 16;
const quint8 DockWidgetStateMarker = 0xfd;
const int MaxDocks = 64;
const quint8 ToolBarStateMarkerEx = 0xfc;

// A count of elements of elementSize bytes each that the stream can hold.
bool readCount(QDataStream &s, quint32 limit, int elementSize, quint32 *count)
{
    s >> *count;
    if (s.status() != QDataStream::Ok || *count > limit)
        return false;
    const qint64 left = s.device()->bytesAvailable();
    return qint64(*count) * elementSize <= left;
}

bool skip(QDataStream &s, qint64 bytes)
{
    return s.skipRawData(int(bytes)) == bytes;
}

bool readExtent(QDataStream &s)
{
    qint32 v = 0;
    s >> v;
    return s.status() == QDataStream::Ok && v >= -1 && v <= MaxExtent;
}

bool readMarker(QDataStream &s, qint32 maxVersion)
{
    qint32 marker = 0, version = -1;
    s >> marker >> version;
    return s.status() == QDataStream::Ok && marker == StateMarker && version >= 0
           && version <= maxVersion;
}

const quint8 SequenceMarker = 0xfc;
const quint8 TabMarker = 0xfa;
const quint8 WidgetMarker = 0xfb;
const int MaxDockNesting = 8;
const qint32 WidgetSizeMax = 16777215; // QWIDGETSIZE_MAX, which dock sizes may carry

bool readDockExtent(QDataStream &s)
{
    qint32 v = 0;
    s >> v;
    return s.status() == QDataStream::Ok && v >= -MaxExtent && v <= WidgetSizeMax;
}

bool readName(QDataStream &s)
{
    quint32 bytes = 0;
    s >> bytes;
    if (bytes == 0xffffffff)
        return s.status() == QDataStream::Ok; // a null string
    return s.status() == QDataStream::Ok && bytes <= 1024 && bytes % 2 == 0 && skip(s, bytes);
}

// One dock area as QMainWindow saves it: a sequence or a tab group of dock
// widgets and nested areas. dockCount bounds the widgets named in it.
bool readDockArea(QDataStream &s, int depth, int dockCount)
{
    quint8 marker = 0;
    s >> marker;
    if (marker == TabMarker) {
        qint32 current = 0;
        s >> current;
    } else if (marker != SequenceMarker) {
        return false;
    }
    quint8 orientation = 0;
    qint32 items = -1;
    s >> orientation >> items;
    if (s.status() != QDataStream::Ok || items < 0 || items > 4 * qMax(1, dockCount))
        return false;
    for (qint32 i = 0; i < items; ++i) {
        quint8 kind = 0;
        s >> kind;
        if (kind == WidgetMarker) {
            quint8 flags = 0;
            // name, flags, then a floating geometry or pos, size and minimum size
            if (!readName(s))
                return false;
            s >> flags;
            for (int k = 0; k < 4; ++k) {
                if (!readDockExtent(s))
                    return false;
            }
        } else if (kind == SequenceMarker) {
            for (int k = 0; k < 4; ++k) {
                if (!readDockExtent(s))
                    return false;
            }
            if (depth >= MaxDockNesting || !readDockArea(s, depth + 1, dockCount))
                return false;
        } else {
            return false;
        }
    }
    return s.status() == QDataStream::Ok;
}

QRect screensUnion()
{
    QRect all;
    for (const QScreen *screen : QGuiApplication::screens())
        all |= screen->availableGeometry();
    return all;
}

} // namespace

namespace SavedState {

bool isSplitterStateSane(const QByteArray &state, int widgetCount)
{
    QDataStream s(state);
    if (!readMarker(s, 1))
        return false;
    quint32 n = 0;
    if (!readCount(s, quint32(widgetCount), 4, &n))
        return false;
    for (quint32 i = 0; i < n; ++i) {
        if (!readExtent(s))
            return false;
    }
    return s.status() == QDataStream::Ok;
}

bool isHeaderStateSane(const QByteArray &state, int sectionCount)
{
    QDataStream s(state);
    if (!readMarker(s, 0))
        return false;
    qint32 orientation = 0, order = 0, sortSection = 0;
    bool sortShown = false;
    s >> orientation >> order >> sortSection >> sortShown;
    const quint32 sections = quint32(qMax(0, sectionCount));
    quint32 n = 0;
    // visual and logical index maps: empty while the order was never changed
    for (int map = 0; map < 2; ++map) {
        if (!readCount(s, sections, 4, &n) || !skip(s, qint64(n) * 4))
            return false;
    }
    // hidden sections as bits, then the sizes they had as (int, int) pairs
    if (!readCount(s, sections, 0, &n) || !skip(s, (qint64(n) + 7) / 8))
        return false;
    if (!readCount(s, sections, 8, &n) || !skip(s, qint64(n) * 8))
        return false;
    qint32 length = -1, count = -1;
    s >> length >> count;
    if (s.status() != QDataStream::Ok || length < 0 || count != sectionCount)
        return false;
    if (!skip(s, 5 + 6 * 4))  // five flags, six counts and sizes
        return false;
    if (!readCount(s, sections, 12, &n))
        return false;
    for (quint32 i = 0; i < n; ++i) {
        qint32 size = -1, spans = -1, mode = -1;
        s >> size >> spans >> mode;
        if (size < 0 || size > MaxExtent || spans < 0 || spans > sectionCount)
            return false;
    }
    return s.status() == QDataStream::Ok;
}

bool isMainWindowStateSane(const QByteArray &state, int version, int toolBarCount, int dockCount)
{
    QDataStream s(state);
    qint32 marker = 0, storedVersion = -1;
    s >> marker >> storedVersion;
    if (s.status() != QDataStream::Ok || marker != StateMarker || storedVersion != version)
        return false;
    while (!s.atEnd()) {
        quint8 section = 0;
        s >> section;
        if (section == DockWidgetStateMarker) {
            qint32 areas = -1;
            s >> areas;
            if (areas < 0 || areas > 4 || (areas > 0 && dockCount <= 0))
                return false;
            for (qint32 a = 0; a < areas; ++a) {
                qint32 area = -1;
                s >> area;
                if (area < 0 || area > 3 || !readExtent(s) || !readExtent(s) ||
                    !readDockArea(s, 0, dockCount))
                    return false;
            }
            // the central size and the four corners
            if (!skip(s, 2 * 4 + 4 * 4))
                return false;
        } else if (section == ToolBarStateMarkerEx) {
            qint32 lines = -1;
            s >> lines;
            if (lines < 0 || lines > MaxToolBarLines)
                return false;
            for (qint32 l = 0; l < lines; ++l) {
                qint32 area = -1, items = -1;
                s >> area >> items;
                if (area < 0 || area > 3 || items < 0 || items > toolBarCount)
                    return false;
                for (qint32 i = 0; i < items; ++i) {
                    quint32 nameBytes = 0;
                    if (!readCount(s, 1024, 1, &nameBytes) || !skip(s, nameBytes))
                        return false;
                    // shown flag, position, preferred size, packed geometry
                    if (!skip(s, 1 + 4 + 4 + 8))
                        return false;
                }
            }
        } else {
            return false;  // floating dock tabs, the old tool-bar format, or damage
        }
        if (s.status() != QDataStream::Ok)
            return false;
    }
    return true;
}

bool keepsWayIn(const QByteArray &state, bool menuBarShown)
{
    if (menuBarShown)
        return true;
    QDataStream s(state);
    qint32 marker = 0, version = -1;
    s >> marker >> version;
    bool listed = false;
    while (s.status() == QDataStream::Ok && !s.atEnd()) {
        quint8 section = 0;
        s >> section;
        if (section == DockWidgetStateMarker) {
            // Walked as the sanity check walks it; the dock widgets do not
            // matter here, only what follows them.
            qint32 areas = -1;
            s >> areas;
            for (qint32 a = 0; a < areas && s.status() == QDataStream::Ok; ++a) {
                qint32 area = -1;
                s >> area;
                if (!readExtent(s) || !readExtent(s) || !readDockArea(s, 0, MaxDocks))
                    return false;
            }
            if (!skip(s, 2 * 4 + 4 * 4))
                return false;
        } else if (section == ToolBarStateMarkerEx) {
            qint32 lines = -1;
            s >> lines;
            for (qint32 l = 0; l < lines && s.status() == QDataStream::Ok; ++l) {
                qint32 area = -1, items = -1;
                s >> area >> items;
                for (qint32 i = 0; i < items && s.status() == QDataStream::Ok; ++i) {
                    QString name;
                    quint8 shownOrientation = 0;
                    s >> name >> shownOrientation;
                    if (!skip(s, 4 + 4 + 8))
                        return false;
                    listed = true;
                    if (shownOrientation & 1)
                        return true;
                }
            }
        } else {
            return false;
        }
    }
    return s.status() == QDataStream::Ok && !listed;
}

QSize windowSize(const QVariant &stored, const QSize &defaultSize)
{
    const QSize size = stored.toSize();
    const QRect screens = screensUnion();
    if (!size.isValid() || size.isEmpty())
        return defaultSize;
    if (!screens.isEmpty() && (size.width() > screens.width() || size.height() > screens.height()))
        return defaultSize;
    return size;
}

QPoint windowPos(const QVariant &stored, const QSize &size, const QPoint &defaultPos)
{
    if (!stored.canConvert<QPoint>())
        return defaultPos;
    const QPoint pos = stored.toPoint();
    // Enough of the window's top edge to take hold of it with the mouse.
    const QRect grip(pos, QSize(qMax(1, size.width()), 40));
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect visible = screen->availableGeometry().intersected(grip);
        if (visible.width() >= 60 && visible.height() >= 20)
            return pos;
    }
    return QGuiApplication::screens().isEmpty() ? pos : defaultPos;
}

} // namespace SavedState
