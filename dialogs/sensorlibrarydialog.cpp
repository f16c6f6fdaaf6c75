#include "sensorlibrarydialog.h"

#include "sensoreditdialog.h"
#include "sensorfiles.h"
#include "sensorlibrary.h"

#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const char ExchangeSuffix[] = ".json";

} // namespace

SensorLibraryDialog::SensorLibraryDialog(SensorLibrary *library, const QString &filePath,
                                         QWidget *parent)
    : QDialog(parent)
    , lib(library)
    , path(filePath)
{
    auto *layout = new QHBoxLayout(this);
    list = new QTableWidget(0, 6);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->setVisible(false);
    list->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(list, 1);
    auto *buttons = new QVBoxLayout;
    addBtn = new QPushButton;
    editBtn = new QPushButton;
    copyBtn = new QPushButton;
    removeBtn = new QPushButton;
    importBtn = new QPushButton;
    exportBtn = new QPushButton;
    closeBtn = new QPushButton;
    for (QPushButton *b : {addBtn, editBtn, copyBtn, removeBtn, importBtn, exportBtn})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(closeBtn);
    layout->addLayout(buttons);
    resize(820, 360);

    connect(addBtn, &QPushButton::clicked, this, [this] { editSensor(-1, false); });
    connect(editBtn, &QPushButton::clicked, this, [this] { editSensor(currentRow(), false); });
    connect(list, &QTableWidget::cellDoubleClicked, this, [this](int r) { editSensor(r, false); });
    connect(copyBtn, &QPushButton::clicked, this, [this] { editSensor(currentRow(), true); });
    connect(removeBtn, &QPushButton::clicked, this, &SensorLibraryDialog::removeSensor);
    connect(importBtn, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getOpenFileName(this, tr("Импорт датчиков"), QString(),
                                                       tr("Датчики (*.json)"));
        if (!f.isEmpty())
            importFile(f);
    });
    connect(exportBtn, &QPushButton::clicked, this, [this] {
        QFileDialog dlg(this, tr("Экспорт датчиков"), QString(), tr("Датчики (*.json)"));
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setDefaultSuffix(QString::fromLatin1(ExchangeSuffix + 1));
        if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
            exportFile(dlg.selectedFiles().constFirst());
    });
    connect(closeBtn, &QPushButton::clicked, this, &QDialog::accept);
    retranslate();
    refresh(0);
}

int SensorLibraryDialog::currentRow() const
{
    return list->currentRow();
}

void SensorLibraryDialog::refresh(int select)
{
    const QDate today = QDate::currentDate();
    list->setRowCount(lib->count());
    for (int r = 0; r < lib->count(); ++r) {
        const Sensor &s = lib->sensors().at(r);
        const bool due = s.calibrationDue(today);
        const QString texts[] = {s.name,
                                 s.type,
                                 s.serial,
                                 s.unit,
                                 Scaling::kindName(s.scaling.kind()),
                                 s.nextCalibrationDate.isValid()
                                     ? s.nextCalibrationDate.toString(Qt::ISODate) +
                                           (due ? tr(" (просрочена)") : QString())
                                     : QString()};
        for (int c = 0; c < 6; ++c) {
            auto *item = new QTableWidgetItem(texts[c]);
            if (due)
                item->setBackground(QColor(255, 200, 120));
            list->setItem(r, c, item);
        }
    }
    list->resizeColumnsToContents();
    if (select >= 0 && select < lib->count())
        list->selectRow(select);
    const bool any = currentRow() >= 0;
    editBtn->setEnabled(any);
    copyBtn->setEnabled(any);
    removeBtn->setEnabled(any);
    exportBtn->setEnabled(lib->count() > 0);
}

void SensorLibraryDialog::store()
{
    QString error;
    if (!lib->save(path, &error))
        QMessageBox::critical(this, tr("Датчики"),
                              tr("Библиотека датчиков не записана в «%1»: %2\nИзменения "
                                 "сохранятся при следующей удачной записи.")
                                  .arg(QDir::toNativeSeparators(path), error));
    emit libraryChanged();
}

bool SensorLibraryDialog::addSensor(const Sensor &s)
{
    const QString why = lib->add(s);
    if (!why.isEmpty()) {
        QMessageBox::warning(this, tr("Датчики"), why);
        return false;
    }
    store();
    refresh(lib->count() - 1);
    return true;
}

void SensorLibraryDialog::editSensor(int row, bool copy)
{
    Sensor s;
    if (row >= 0 && row < lib->count()) {
        s = lib->sensors().at(row);
        if (copy)
            s.name = lib->freeName(s.name);
    } else if (row >= 0) {
        return;
    }
    SensorEditDialog dlg(s, this);
    // A refused name keeps the editor open with everything typed.
    while (dlg.exec() == QDialog::Accepted) {
        const bool adding = row < 0 || copy;
        const QString why = adding ? lib->add(dlg.sensor()) : lib->replace(row, dlg.sensor());
        if (why.isEmpty()) {
            store();
            refresh(adding ? lib->count() - 1 : row);
            return;
        }
        QMessageBox::warning(this, tr("Датчики"), why);
    }
}

void SensorLibraryDialog::removeSensor()
{
    const int row = currentRow();
    if (row < 0 || row >= lib->count())
        return;
    if (QMessageBox::question(this, tr("Датчики"),
                              tr("Удалить датчик «%1»?").arg(lib->sensors().at(row).name)) !=
        QMessageBox::Yes)
        return;
    lib->remove(row);
    store();
    refresh(qMin(row, lib->count() - 1));
}

bool SensorLibraryDialog::importFile(const QString &fileName)
{
    QByteArray text;
    QString error;
    if (!SensorFiles::read(fileName, SensorLibrary::MaxFileSize, &text, &error)) {
        QMessageBox::critical(this, tr("Импорт датчиков"), tr("Файл не прочитан: %1").arg(error));
        return false;
    }
    QStringList problems;
    const QVector<Sensor> sensors = SensorLibrary::parse(text, &problems);
    const int added = lib->importFrom(sensors);
    if (added > 0)
        store();
    refresh(lib->count() - 1);
    QString message = tr("Добавлено датчиков: %1 из %2.").arg(added).arg(sensors.size());
    if (!problems.isEmpty()) {
        message += QLatin1Char('\n') + tr("Не прочитано:") + QLatin1Char('\n') +
                   problems.mid(0, 10).join(QLatin1Char('\n'));
        QMessageBox::warning(this, tr("Импорт датчиков"), message);
        return false;
    }
    QMessageBox::information(this, tr("Импорт датчиков"), message);
    return true;
}

bool SensorLibraryDialog::exportFile(const QString &fileName)
{
    QString error;
    if (!SensorFiles::write(fileName, lib->toText(), &error)) {
        QMessageBox::critical(this, tr("Экспорт датчиков"), tr("Файл не записан: %1").arg(error));
        return false;
    }
    return true;
}

void SensorLibraryDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange) {
        retranslate();
        refresh(currentRow());
    }
}

void SensorLibraryDialog::retranslate()
{
    setWindowTitle(tr("Датчики"));
    list->setHorizontalHeaderLabels({tr("Имя"), tr("Тип"), tr("Серийный номер"), tr("Единица"),
                                     tr("Градуировка"), tr("Следующая градуировка")});
    addBtn->setText(tr("Добавить..."));
    editBtn->setText(tr("Изменить..."));
    copyBtn->setText(tr("Копировать..."));
    removeBtn->setText(tr("Удалить"));
    importBtn->setText(tr("Импорт..."));
    exportBtn->setText(tr("Экспорт..."));
    closeBtn->setText(tr("Закрыть"));
}
