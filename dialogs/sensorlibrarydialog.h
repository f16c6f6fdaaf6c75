#ifndef SENSORLIBRARYDIALOG_H
#define SENSORLIBRARYDIALOG_H

#include <QDialog>
#include <QString>

class QPushButton;
class QTableWidget;
class SensorLibrary;
struct Sensor;

// "Датчики...": lists the sensors of the library and adds, edits, copies,
// removes, imports and exports them. Every change is written to the
// library's file at once; a write that fails is said, and the change stays
// in the program until the next successful write.
class SensorLibraryDialog : public QDialog
{
    Q_OBJECT

public:
    SensorLibraryDialog(SensorLibrary *library, const QString &path, QWidget *parent = nullptr);

    QTableWidget *table() const { return list; }
    // The file operations without their file dialogs.
    bool importFile(const QString &fileName);
    bool exportFile(const QString &fileName);
    // The editor's work without the editor.
    bool addSensor(const Sensor &s);

signals:
    void libraryChanged();

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();
    void refresh(int select = -1);
    void store();
    void editSensor(int row, bool copy);
    void removeSensor();
    int currentRow() const;

    SensorLibrary *lib;
    QString path;
    QTableWidget *list;
    QPushButton *addBtn;
    QPushButton *editBtn;
    QPushButton *copyBtn;
    QPushButton *removeBtn;
    QPushButton *importBtn;
    QPushButton *exportBtn;
    QPushButton *closeBtn;
};

#endif // SENSORLIBRARYDIALOG_H
