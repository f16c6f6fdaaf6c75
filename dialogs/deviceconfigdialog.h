#ifndef DEVICECONFIGDIALOG_H
#define DEVICECONFIGDIALOG_H

#include "grv480api.h"

#include <QDialog>
#include <QSharedPointer>
#include <QString>

class QAbstractButton;
class DeviceConfig;
class SensorLibrary;

namespace Ui {
class DeviceConfigDialog;
}

// The modal dialog in which the operator edits a module configuration.
//
// It works on a copy of the configuration passed in: every control writes
// into the copy at once, and the copy's signals refresh the derived fields
// (filter, resulting switching time, frame parameters, which it computes by
// writing the copy into the handle). After an accepted exec() the owner takes
// config(). The acquisition must be stopped while the dialog is open: it uses
// the handle.
class DeviceConfigDialog : public QDialog
{
    Q_OBJECT

public:
    DeviceConfigDialog(QWidget *parent, TGRV480 *hmodule, const DeviceConfig *config);
    ~DeviceConfigDialog() override;

    QSharedPointer<DeviceConfig> config() const { return cfg; }

    // The file operations behind saveToFile() and loadFromFile(), with their
    // message boxes. A name without an extension gets ".gm480cfg". Saving
    // replaces the file as a whole or leaves it as it was; loading takes the
    // whole file or changes nothing.
    bool saveConfigFile(const QString &fileName);
    bool loadConfigFile(const QString &fileName);
    static QString withConfigSuffix(const QString &fileName);

    enum ConfigFileResult { ConfigFileRead, ConfigFileUnreadable, ConfigFileNotConfig };
    // loadConfigFile() without the dialog: the file read whole into *out, or
    // *out untouched. The file itself is never changed.
    // *reason: why the file is unreadable or refused, when it is.
    static ConfigFileResult readConfigFile(const QString &fileName, DeviceConfig *out,
                                           QString *reason = nullptr);
    // saveConfigFile() without the dialog and its boxes; *reason says why it failed.
    static bool writeConfigFile(const DeviceConfig &config, const QString &fileName,
                                QString *reason = nullptr);
    QString lastConfigFileName() const { return lastConfigFile; }

    // The sensors the channel rows offer, and "Датчики..." to edit them;
    // without a library the rows have no sensor column.
    void setSensorLibrary(SensorLibrary *library, const QString &path);

public slots:
    void accept() override;
    void showConfig();
    void showFilterParams();
    void showFrameParams();
    void showSwMode();
    void setFilterManualEn();
    void setFilterManualParams();
    void setISrcValue();
    void setTareEn();
    void setCh16ForUref();
    void setBgMeasOffs();
    void setBgMeasUref();
    void setBgMeasUrefOffs();
    void setBgMeasVadj();
    void setBgMeasUneg();
    void setBgMeasUx();
    void setBgMeasUcm();
    void setBgMeasCheckOpenUneg();
    void setBgMeasCheckOpenUref();
    void setBgMeasCheckOpenUx();
    void setBgMeasCheckShortUref();
    void setBgMeasCheckShortUx();
    void setSignleChMode();
    void setBgMeasGroup();
    void showTareDialog();
    void showTablesDialog();
    void saveToFile();
    void loadFromFile();

protected:
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showBgMeas();
    void updateTitle();
    QString fileFilter() const;
    static QByteArray configText(const DeviceConfig &config);

    Ui::DeviceConfigDialog *ui;
    TGRV480 *hmodule;
    QSharedPointer<DeviceConfig> cfg;
    bool updating = false;
    QString lastConfigFile;
    SensorLibrary *sensorLibrary = nullptr;
    QString sensorLibraryPath;
    QAbstractButton *sensorsButton = nullptr;
    // Frame tables are not computed halfway through a mode switch, when the
    // channels do not fit the new mode yet.
    bool deferFrameParams = false;
    // The frame-table error last reported, so that a run of changes that all
    // fail the same way brings up one box, not one per change.
    INT shownFrameError = 0;

    friend class TestDeviceConfigDialog;
};

#endif // DEVICECONFIGDIALOG_H
