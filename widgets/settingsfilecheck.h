#ifndef SETTINGSFILECHECK_H
#define SETTINGSFILECHECK_H

#include <QByteArray>
#include <QList>
#include <QString>

// A check of settings files before QSettings parses them.
//
// QSettings decodes "@Variant(...)" and "@DateTime(...)" values with
// QDataStream, whose container readers reserve the stored element count
// before reading a single element; and it decodes every value of a section
// as soon as one key of that section is read. One crafted value thus aborts
// the program (std::bad_alloc) at every start, or exhausts memory, or
// overflows the stack with nesting. These functions find such values in the
// raw text, splitting and unescaping it as QSettings does, and walk each
// encoding bounded by the bytes it holds: a count larger than what follows, a
// type this program never stores, nesting deeper than MaxDepth or a value that
// ends early make the entry hostile.
namespace SettingsFileCheck {

const int MaxDepth = 8;

struct Entry
{
    QString group; // as written between the brackets, empty for [General]
    QString key;   // as written before "="
    QString reason;
    int begin = 0; // the entry's bytes in the file: [begin, end)
    int end = 0;
};

// Hostile entries of an INI text, in file order.
QList<Entry> hostileEntries(const QByteArray &ini);

// One streamed QVariant as QSettings reads it: Qt 4.0 stream version for
// "@Variant(", Qt 5.6 for "@DateTime(". Empty when sane, else the reason.
QString checkStreamedVariant(const QByteArray &bytes, bool qt4Stream);

// The text without the given entries.
QByteArray withoutEntries(const QByteArray &ini, const QList<Entry> &entries);

// The text with every character of a value that is not ASCII written as an
// escape, as Qt 5 writes INI files: Qt 6 writes those characters as UTF-8,
// which Qt 5 would read as Latin-1. Keys and groups are escaped by both.
QByteArray withQt5Escapes(const QByteArray &ini);

// Larger settings files are none of this program's.
const qint64 MaxFileBytes = 4 * 1024 * 1024;

struct Outcome
{
    bool ok = true; // false: the file could not be mended; mended holds what to read instead
    QList<Entry> removed;
    QString copyName;  // the file as it was, when anything was removed
    QString error;     // why it could not be mended
    QByteArray mended; // the text less the hostile entries (empty for a file that is no file)
};

// Keeps a copy of the file beside it (name with date and time), then replaces
// the file, atomically, with its text less the hostile entries, and warns
// about each. A file without hostile entries is not touched (a Qt 5 build
// rewrites, without a copy, a file that holds values in Qt 6's UTF-8). A path that is
// not a regular file (FIFO, device, folder) or is oversized is not read at
// all and cannot be mended either.
Outcome mendFile(const QString &fileName);

// The file a default QSettings of this program opens, found without opening it
// (QSettings reads the file as it is constructed, and would wait on a FIFO).
QString userSettingsFileName();

// The same for that file. When it cannot be mended, every default QSettings of
// the program reads and writes a private copy of the mended text from then on,
// so the hostile value is never decoded; the file itself stays as it is.
Outcome mendUserSettings();

} // namespace SettingsFileCheck

#endif // SETTINGSFILECHECK_H
