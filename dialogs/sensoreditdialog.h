#ifndef SENSOREDITDIALOG_H
#define SENSOREDITDIALOG_H

#include "sensor.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QDialogButtonBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTableWidget;
class QTableWidgetItem;
class NumberEdit;

// Editor of one sensor of the library. OK takes the sensor only when it has
// no problem; otherwise a message says what is wrong and the dialog stays.
class SensorEditDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SensorEditDialog(const Sensor &sensor, QWidget *parent = nullptr);

    Sensor sensor() const;
    void accept() override;

    // For tests: the fields.
    QLineEdit *nameEdit() const { return name; }
    QLineEdit *unitEdit() const { return unit; }
    QComboBox *kindBox() const { return kind; }
    NumberEdit *factorEdit() const { return factor; }
    NumberEdit *offsetEdit() const { return offset; }
    NumberEdit *pointEdit(int point, bool value) const { return two[point][value ? 1 : 0]; }
    QTableWidget *tableWidget() const { return table; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();
    void addTableRow(double mv, double value);
    void tableItemChanged(QTableWidgetItem *item);

    QFormLayout *form;
    QLineEdit *name;
    QLineEdit *type;
    QLineEdit *serial;
    QLineEdit *unit;
    QComboBox *kind;
    QStackedWidget *pages;
    NumberEdit *factor;
    NumberEdit *offset;
    NumberEdit *two[2][2];
    QLabel *twoLabels[2];
    QTableWidget *table;
    QPushButton *addRow;
    QPushButton *removeRow;
    QCheckBox *calibratedKnown;
    QDateEdit *calibrated;
    QCheckBox *nextKnown;
    QDateEdit *next;
    QDialogButtonBox *buttons;
    bool fillingTable = false;
};

#endif // SENSOREDITDIALOG_H
