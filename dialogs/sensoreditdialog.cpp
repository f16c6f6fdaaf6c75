#include "sensoreditdialog.h"

#include "numberedit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

SensorEditDialog::SensorEditDialog(const Sensor &s, QWidget *parent)
    : QDialog(parent)
{
    auto *layout = new QVBoxLayout(this);
    form = new QFormLayout;
    layout->addLayout(form);
    name = new QLineEdit(s.name);
    type = new QLineEdit(s.type);
    serial = new QLineEdit(s.serial);
    unit = new QLineEdit(s.unit);
    for (QLineEdit *e : {name, type, serial, unit})
        e->setMaxLength(Sensor::MaxTextLength);
    kind = new QComboBox;
    for (Scaling::Kind k : {Scaling::Linear, Scaling::TwoPoint, Scaling::Table})
        kind->addItem(QString(), int(k));
    form->addRow(QString(), name);
    form->addRow(QString(), type);
    form->addRow(QString(), serial);
    form->addRow(QString(), unit);
    form->addRow(QString(), kind);

    pages = new QStackedWidget;
    auto *linearPage = new QWidget;
    auto *linearForm = new QFormLayout(linearPage);
    factor = new NumberEdit;
    factor->setCheck([](double v) {
        return v == 0 ? SensorEditDialog::tr("Коэффициент не может быть равен нулю") : QString();
    });
    offset = new NumberEdit;
    linearForm->addRow(QString(), factor);
    linearForm->addRow(QString(), offset);
    pages->addWidget(linearPage);

    auto *twoPage = new QWidget;
    auto *twoForm = new QFormLayout(twoPage);
    for (int p = 0; p < 2; ++p) {
        auto *row = new QHBoxLayout;
        two[p][0] = new NumberEdit;
        two[p][1] = new NumberEdit;
        row->addWidget(two[p][0]);
        row->addWidget(two[p][1]);
        twoLabels[p] = new QLabel;
        twoForm->addRow(twoLabels[p], row);
    }
    pages->addWidget(twoPage);

    auto *tablePage = new QWidget;
    auto *tableLayout = new QVBoxLayout(tablePage);
    table = new QTableWidget(0, 2);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->setVisible(false);
    tableLayout->addWidget(table);
    auto *tableButtons = new QHBoxLayout;
    addRow = new QPushButton;
    removeRow = new QPushButton;
    tableButtons->addWidget(addRow);
    tableButtons->addWidget(removeRow);
    tableButtons->addStretch();
    tableLayout->addLayout(tableButtons);
    pages->addWidget(tablePage);
    layout->addWidget(pages);

    auto *dates = new QFormLayout;
    calibratedKnown = new QCheckBox;
    calibrated =
        new QDateEdit(s.calibrationDate.isValid() ? s.calibrationDate : QDate::currentDate());
    nextKnown = new QCheckBox;
    next = new QDateEdit(s.nextCalibrationDate.isValid() ? s.nextCalibrationDate
                                                         : QDate::currentDate().addYears(1));
    for (QDateEdit *d : {calibrated, next}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    calibratedKnown->setChecked(s.calibrationDate.isValid());
    nextKnown->setChecked(s.nextCalibrationDate.isValid());
    calibrated->setEnabled(calibratedKnown->isChecked());
    next->setEnabled(nextKnown->isChecked());
    connect(calibratedKnown, &QCheckBox::toggled, calibrated, &QWidget::setEnabled);
    connect(nextKnown, &QCheckBox::toggled, next, &QWidget::setEnabled);
    auto *calRow = new QHBoxLayout;
    calRow->addWidget(calibratedKnown);
    calRow->addWidget(calibrated);
    auto *nextRow = new QHBoxLayout;
    nextRow->addWidget(nextKnown);
    nextRow->addWidget(next);
    dates->addRow(calRow);
    dates->addRow(nextRow);
    layout->addLayout(dates);

    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &SensorEditDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    // The fields from the sensor; a kind the sensor lacks starts from its line.
    const Scaling &sc = s.scaling;
    const Scaling::Kind k = sc.kind() == Scaling::None ? Scaling::Linear : sc.kind();
    kind->setCurrentIndex(kind->findData(int(k)));
    pages->setCurrentIndex(kind->currentIndex());
    connect(kind, QOverload<int>::of(&QComboBox::currentIndexChanged), pages,
            &QStackedWidget::setCurrentIndex);
    factor->setValue(sc.kind() == Scaling::None ? 1.0 : sc.factor());
    offset->setValue(sc.kind() == Scaling::None ? 0.0 : sc.offset());
    const QVector<Scaling::Point> pts =
        sc.kind() == Scaling::Linear || sc.kind() == Scaling::None
            ? QVector<Scaling::Point>{{0, offset->value()}, {1, factor->value() + offset->value()}}
            : sc.points();
    for (int p = 0; p < 2; ++p) {
        const Scaling::Point pt = pts.value(p < pts.size() ? p : pts.size() - 1);
        two[p][0]->setValue(pt.mv);
        two[p][1]->setValue(pt.value);
    }
    for (const Scaling::Point &p : pts)
        addTableRow(p.mv, p.value);
    connect(table, &QTableWidget::itemChanged, this, &SensorEditDialog::tableItemChanged);
    connect(addRow, &QPushButton::clicked, this, [this] {
        const int n = table->rowCount();
        double mv = 0, v = 0;
        if (n > 0) {
            mv = table->item(n - 1, 0)->data(Qt::UserRole).toDouble() + 1;
            v = table->item(n - 1, 1)->data(Qt::UserRole).toDouble();
        }
        addTableRow(mv, v);
    });
    connect(removeRow, &QPushButton::clicked, this, [this] {
        if (table->rowCount() > 0)
            table->removeRow(table->currentRow() >= 0 ? table->currentRow()
                                                      : table->rowCount() - 1);
    });
    retranslate();
}

void SensorEditDialog::addTableRow(double mv, double value)
{
    fillingTable = true;
    const int r = table->rowCount();
    table->setRowCount(r + 1);
    const double v[2] = {mv, value};
    for (int c = 0; c < 2; ++c) {
        auto *item = new QTableWidgetItem(QLocale().toString(v[c], 'g', 12));
        item->setData(Qt::UserRole, v[c]);
        table->setItem(r, c, item);
    }
    fillingTable = false;
}

void SensorEditDialog::tableItemChanged(QTableWidgetItem *item)
{
    if (fillingTable)
        return;
    NumberEdit judge;
    double v;
    const QString why = judge.judge(item->text(), &v);
    fillingTable = true;
    if (why.isEmpty()) {
        item->setData(Qt::UserRole, v);
    } else {
        // The previous number stays.
        item->setText(QLocale().toString(item->data(Qt::UserRole).toDouble(), 'g', 12));
    }
    fillingTable = false;
    if (!why.isEmpty())
        QMessageBox::warning(this, tr("Неверное значение"), why);
}

Sensor SensorEditDialog::sensor() const
{
    Sensor s;
    s.name = name->text().trimmed();
    s.type = type->text().trimmed();
    s.serial = serial->text().trimmed();
    s.unit = unit->text().trimmed();
    switch (Scaling::Kind(kind->currentData().toInt())) {
    case Scaling::TwoPoint:
        s.scaling = Scaling::twoPoint({two[0][0]->value(), two[0][1]->value()},
                                      {two[1][0]->value(), two[1][1]->value()});
        break;
    case Scaling::Table: {
        QVector<Scaling::Point> pts;
        for (int r = 0; r < table->rowCount(); ++r)
            pts.append({table->item(r, 0)->data(Qt::UserRole).toDouble(),
                        table->item(r, 1)->data(Qt::UserRole).toDouble()});
        s.scaling = Scaling::table(pts);
        break;
    }
    default:
        s.scaling = Scaling::linear(factor->value(), offset->value());
        break;
    }
    if (calibratedKnown->isChecked())
        s.calibrationDate = calibrated->date();
    if (nextKnown->isChecked())
        s.nextCalibrationDate = next->date();
    return s;
}

void SensorEditDialog::accept()
{
    const QString why = sensor().problem();
    if (!why.isEmpty()) {
        QMessageBox::warning(this, tr("Датчик"), why);
        return;
    }
    QDialog::accept();
}

void SensorEditDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslate();
}

void SensorEditDialog::retranslate()
{
    setWindowTitle(tr("Датчик"));
    const QString labels[] = {tr("Имя"), tr("Тип"), tr("Серийный номер"), tr("Единица"),
                              tr("Градуировка")};
    for (int i = 0; i < 5; ++i) {
        if (auto *label =
                qobject_cast<QLabel *>(form->itemAt(i, QFormLayout::LabelRole)
                                           ? form->itemAt(i, QFormLayout::LabelRole)->widget()
                                           : nullptr))
            label->setText(labels[i]);
    }
    for (int i = 0; i < kind->count(); ++i)
        kind->setItemText(i, Scaling::kindName(Scaling::Kind(kind->itemData(i).toInt())));
    auto *linearForm = qobject_cast<QFormLayout *>(pages->widget(0)->layout());
    if (auto *l = qobject_cast<QLabel *>(linearForm->labelForField(factor)))
        l->setText(tr("Коэффициент, ед./мВ"));
    if (auto *l = qobject_cast<QLabel *>(linearForm->labelForField(offset)))
        l->setText(tr("Смещение, ед."));
    for (int p = 0; p < 2; ++p) {
        twoLabels[p]->setText(tr("Точка %1: мВ, значение").arg(p + 1));
        two[p][0]->setPlaceholderText(tr("мВ"));
        two[p][1]->setPlaceholderText(tr("значение"));
    }
    table->setHorizontalHeaderLabels({tr("мВ"), tr("Значение")});
    addRow->setText(tr("Добавить точку"));
    removeRow->setText(tr("Удалить точку"));
    calibratedKnown->setText(tr("Дата градуировки"));
    nextKnown->setText(tr("Следующая градуировка"));
}
