#ifndef FILEREADER_H
#define FILEREADER_H

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QSettings;
class QTemporaryDir;

// One way to read a file: opened without blocking, refused unless it is a
// regular file, its size bounded before and while it is read, read once into
// memory. What the caller checks is what it parses: the name is not opened
// again, so a file swapped meanwhile changes nothing.
struct FileReadResult
{
    bool ok = false;
    QByteArray data;
    QString error; // the reason, in the program's language
};

FileReadResult readRegularFile(const QString &path, qint64 maxBytes);

// A test seam: runs with the path after its bytes are read, before they are
// returned (a test swaps the file there). Empty: none.
void setFileReadHook(const std::function<void(const QString &)> &hook);

// A QSettings over a private copy of given INI bytes, for parsing checked
// bytes with QSettings, which reads only by name. The copy lives in a private
// temporary folder as long as this object; writes go to the copy.
class SettingsCopy
{
public:
    explicit SettingsCopy(const QByteArray &ini);
    ~SettingsCopy();
    SettingsCopy(const SettingsCopy &) = delete;
    SettingsCopy &operator=(const SettingsCopy &) = delete;

    bool isValid() const { return m_settings != nullptr; }
    QSettings *settings() const { return m_settings.get(); }
    QString fileName() const { return m_fileName; }
    QString errorString() const { return m_error; }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QSettings> m_settings;
    QString m_fileName;
    QString m_error;
};

#endif // FILEREADER_H
