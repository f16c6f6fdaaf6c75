#include "channelsensordialog.h"

#include "numberedit.h"
#include "sensorlibrary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int DefaultBlocks = 5;
constexpr int MaxBlocks = 1000;

QString fixed(double v, int decimals)
{
    return std::isfinite(v) ? QLocale().toString(v, 'f', decimals) : QString();
}

} // namespace

ChannelSensorDialog::ChannelSensorDialog(int channel, const ChannelSensor &current,
                                         SensorLibrary *library, const QString &libraryPath,
                                         QWidget *parent)
    : QDialog(parent)
    , ch(channel)
    , work(current)
    , lib(library)
    , libPath(libraryPath)
    , lastDc(qQNaN())
{
    auto *layout = new QVBoxLayout(this);

    sensorGroup = new QGroupBox;
    auto *sensorLayout = new QVBoxLayout(sensorGroup);
    sensorCombo = new QComboBox;
    sensorCombo->addItem(QString());
    for (const Sensor &s : lib->sensors())
        sensorCombo->addItem(s.name, s.name);
    if (!work.sensorName.isEmpty() && sensorCombo->findData(work.sensorName) < 0)
        sensorCombo->addItem(work.sensorName, work.sensorName); // from another machine
    sensorCombo->setCurrentIndex(std::max(0, sensorCombo->findData(work.sensorName)));
    sensorInfo = new QLabel;
    sensorInfo->setWordWrap(true);
    sensorLayout->addWidget(sensorCombo);
    sensorLayout->addWidget(sensorInfo);
    layout->addWidget(sensorGroup);

    calGroup = new QGroupBox;
    auto *calLayout = new QVBoxLayout(calGroup);
    auto *blocksRow = new QHBoxLayout;
    blocksLabel = new QLabel;
    blocks = new QSpinBox;
    blocks->setRange(1, MaxBlocks);
    blocks->setValue(DefaultBlocks);
    blocksRow->addWidget(blocksLabel);
    blocksRow->addWidget(blocks);
    blocksRow->addStretch();
    calLayout->addLayout(blocksRow);
    pointGrid = new QGridLayout;
    calLayout->addLayout(pointGrid);
    addPointRow();
    addPointRow();
    auto *calButtons = new QHBoxLayout;
    morePoints = new QPushButton;
    calibrate = new QPushButton;
    calButtons->addWidget(morePoints);
    calButtons->addStretch();
    calButtons->addWidget(calibrate);
    calLayout->addLayout(calButtons);
    calStatus = new QLabel;
    calStatus->setWordWrap(true);
    calLayout->addWidget(calStatus);
    layout->addWidget(calGroup);

    zeroGroup = new QGroupBox;
    auto *zeroLayout = new QHBoxLayout(zeroGroup);
    zeroInfo = new QLabel;
    zeroBtn = new QPushButton;
    zeroResetBtn = new QPushButton;
    zeroLayout->addWidget(zeroInfo, 1);
    zeroLayout->addWidget(zeroBtn);
    zeroLayout->addWidget(zeroResetBtn);
    layout->addWidget(zeroGroup);

    limitGroup = new QGroupBox;
    auto *limitLayout = new QGridLayout(limitGroup);
    const int order[] = {ChannelLimits::AlarmHigh, ChannelLimits::WarnHigh, ChannelLimits::WarnLow,
                         ChannelLimits::AlarmLow};
    for (int i = 0; i < 4; ++i) {
        const int w = order[i];
        limitChecks[w] = new QCheckBox;
        limitEdits[w] = new NumberEdit;
        limitChecks[w]->setChecked(work.limits.on[w]);
        limitEdits[w]->setValue(work.limits.on[w] ? work.limits.value[w] : 0.0);
        limitEdits[w]->setEnabled(work.limits.on[w]);
        connect(limitChecks[w], &QCheckBox::toggled, limitEdits[w], &QWidget::setEnabled);
        // Refused where typed: a limit that would break the order of the others.
        limitEdits[w]->setCheck([this, w](double v) {
            ChannelLimits l = limitsFromFields();
            l.on[w] = true;
            l.value[w] = v;
            return l.problem();
        });
        limitLayout->addWidget(limitChecks[w], i, 0);
        limitLayout->addWidget(limitEdits[w], i, 1);
    }
    hystLabel = new QLabel;
    hyst = new NumberEdit;
    hyst->setValue(work.limits.hysteresis);
    hyst->setCheck([](double v) {
        return v < 0 ? ChannelSensorDialog::tr("Гистерезис не может быть отрицательным")
                     : QString();
    });
    holdLabel = new QLabel;
    hold = new QSpinBox;
    hold->setRange(1, ChannelLimits::MaxHoldBlocks);
    hold->setValue(work.limits.holdBlocks);
    limitLayout->addWidget(hystLabel, 4, 0);
    limitLayout->addWidget(hyst, 4, 1);
    limitLayout->addWidget(holdLabel, 5, 0);
    limitLayout->addWidget(hold, 5, 1);
    layout->addWidget(limitGroup);

    auto *buttons = new QHBoxLayout;
    apply = new QPushButton;
    closeBtn = new QPushButton;
    buttons->addStretch();
    buttons->addWidget(apply);
    buttons->addWidget(closeBtn);
    layout->addLayout(buttons);

    connect(sensorCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ChannelSensorDialog::sensorChosen);
    connect(morePoints, &QPushButton::clicked, this, [this] {
        addPointRow();
        retranslate();
        showState();
    });
    connect(calibrate, &QPushButton::clicked, this, &ChannelSensorDialog::saveCalibration);
    connect(zeroBtn, &QPushButton::clicked, this, &ChannelSensorDialog::setZero);
    connect(zeroResetBtn, &QPushButton::clicked, this, &ChannelSensorDialog::resetZero);
    connect(apply, &QPushButton::clicked, this, &ChannelSensorDialog::applyChanges);
    connect(closeBtn, &QPushButton::clicked, this, &QDialog::reject);

    retranslate();
    showState();
}

void ChannelSensorDialog::addPointRow()
{
    const int i = points.size();
    PointRow row;
    row.button = new QPushButton;
    row.readingLabel = new QLabel;
    row.readingLabel->setMinimumWidth(200);
    row.value = new NumberEdit;
    row.value->setAllowEmpty(true);
    pointGrid->addWidget(row.button, i, 0);
    pointGrid->addWidget(row.readingLabel, i, 1);
    pointGrid->addWidget(row.value, i, 2);
    connect(row.button, &QPushButton::clicked, this, [this, i] { startPoint(i); });
    points.append(row);
}

void ChannelSensorDialog::startPoint(int i)
{
    if (i < 0 || i >= points.size())
        return;
    measuring = i;
    points[i].reading.start(blocks->value());
    showState();
}

void ChannelSensorDialog::blockShown(double dcMv)
{
    lastDc = dcMv;
    if (measuring >= 0 && measuring < points.size()) {
        if (points[measuring].reading.add(dcMv))
            measuring = -1;
    }
    showState();
}

bool ChannelSensorDialog::saveCalibration()
{
    QVector<Scaling::Point> pts;
    for (const PointRow &p : qAsConst(points)) {
        if (p.reading.isDone() && p.value->hasValue())
            pts.append({p.reading.mean(), p.value->value()});
    }
    QString why;
    Scaling scaling;
    if (work.sensorName.isEmpty()) {
        why = tr("Каналу не назначен датчик");
    } else if (pts.size() < 2) {
        why = tr("Нужны хотя бы две точки: нажмите «Точка 1» и «Точка 2» и введите значения");
    } else {
        std::sort(pts.begin(), pts.end(),
                  [](const Scaling::Point &a, const Scaling::Point &b) { return a.mv < b.mv; });
        scaling = pts.size() == 2 ? Scaling::twoPoint(pts.at(0), pts.at(1)) : Scaling::table(pts);
        why = scaling.problem();
    }
    if (!why.isEmpty()) {
        QMessageBox::warning(this, tr("Градуировка"), why);
        return false;
    }

    // Into the library's sensor, so that every channel that gets it later has it.
    Sensor s;
    const int index = lib->indexOf(work.sensorName);
    if (index >= 0) {
        s = lib->sensors().at(index);
    } else {
        s.name = work.sensorName;
        s.unit = work.unit;
    }
    s.scaling = scaling;
    s.calibrationDate = QDate::currentDate();
    why = index >= 0 ? lib->replace(index, s) : lib->add(s);
    QString error;
    if (why.isEmpty() && !lib->save(libPath, &error))
        QMessageBox::critical(this, tr("Градуировка"),
                              tr("Библиотека датчиков не записана в «%1»: %2")
                                  .arg(QDir::toNativeSeparators(libPath), error));
    work.scaling = scaling;
    // A zero taken with the old scaling means nothing with the new one.
    work.zeroSet = false;
    work.zero = 0;
    calStatus->setText(tr("Градуировка записана: %1").arg(scaling.toText()));
    emit libraryChanged();
    emit applied(ch, work);
    showState();
    return true;
}

ChannelLimits ChannelSensorDialog::limitsFromFields() const
{
    ChannelLimits l;
    for (int w = 0; w < ChannelLimits::Count; ++w) {
        l.on[w] = limitChecks[w]->isChecked();
        l.value[w] = limitEdits[w]->hasValue() ? limitEdits[w]->value() : 0.0;
    }
    l.hysteresis = hyst->hasValue() ? hyst->value() : 0.0;
    l.holdBlocks = hold->value();
    return l;
}

bool ChannelSensorDialog::applyChanges()
{
    const ChannelLimits l = limitsFromFields();
    const QString why = l.problem();
    if (!why.isEmpty()) {
        QMessageBox::warning(this, tr("Пределы"), why);
        return false;
    }
    work.limits = l;
    emit applied(ch, work);
    showState();
    return true;
}

void ChannelSensorDialog::setZero()
{
    if (!work.hasSensor() || !std::isfinite(lastDc))
        return;
    work.zero = work.scaling.apply(lastDc);
    work.zeroSet = true;
    emit applied(ch, work);
    showState();
}

void ChannelSensorDialog::resetZero()
{
    work.zeroSet = false;
    work.zero = 0;
    emit applied(ch, work);
    showState();
}

void ChannelSensorDialog::sensorChosen()
{
    const QString name = sensorCombo->currentData().toString();
    const QString oldUnit = work.valueUnit();
    if (name.isEmpty()) {
        work.sensorName.clear();
        work.unit.clear();
        work.scaling = Scaling();
        work.nextCalibrationDate = QDate();
    } else if (const Sensor *s = lib->find(name)) {
        work.sensorName = s->name;
        work.unit = s->unit;
        work.scaling = s->scaling;
        work.nextCalibrationDate = s->nextCalibrationDate;
    }
    work.zeroSet = false;
    work.zero = 0;
    // Limits in another unit would mean something else.
    if (work.valueUnit() != oldUnit) {
        work.limits = ChannelLimits();
        for (int w = 0; w < ChannelLimits::Count; ++w)
            limitChecks[w]->setChecked(false);
    }
    showState();
}

void ChannelSensorDialog::showState()
{
    const bool sensor = work.hasSensor();
    if (sensor)
        sensorInfo->setText(
            tr("Единица: %1; градуировка: %2 (%3)")
                .arg(work.unit, Scaling::kindName(work.scaling.kind()), work.scaling.toText()));
    else
        sensorInfo->setText(tr("Без датчика: значения в мВ"));
    calGroup->setEnabled(!work.sensorName.isEmpty());
    for (int i = 0; i < points.size(); ++i) {
        const PointAverager &r = points.at(i).reading;
        QString text;
        if (r.isRunning())
            text = tr("усреднение: %1 из %2 блоков").arg(r.taken()).arg(r.wanted());
        else if (r.isDone())
            text = tr("%1 ± %2 мВ").arg(fixed(r.mean(), 6), fixed(r.spread(), 6));
        points.at(i).readingLabel->setText(text);
        points.at(i).button->setEnabled(measuring < 0 || measuring == i);
    }
    const double value = work.value(lastDc);
    if (work.zeroSet)
        zeroInfo->setText(tr("Ноль: %1 %2").arg(fixed(work.zero, 6), work.unit));
    else
        zeroInfo->setText(tr("Ноль не задан"));
    zeroBtn->setEnabled(sensor && std::isfinite(value));
    zeroResetBtn->setEnabled(work.zeroSet);
    limitGroup->setTitle(tr("Пределы, %1").arg(work.valueUnit()));
}

void ChannelSensorDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange) {
        retranslate();
        showState();
    }
}

void ChannelSensorDialog::retranslate()
{
    setWindowTitle(tr("Датчик и пределы канала %1").arg(ch + 1));
    sensorGroup->setTitle(tr("Датчик"));
    sensorCombo->setItemText(0, tr("— нет —"));
    calGroup->setTitle(tr("Градуировка по показаниям"));
    blocksLabel->setText(tr("Усреднять по блокам:"));
    for (int i = 0; i < points.size(); ++i) {
        points.at(i).button->setText(tr("Точка %1").arg(i + 1));
        points.at(i).value->setPlaceholderText(tr("значение в единицах датчика"));
    }
    morePoints->setText(tr("Ещё точка"));
    calibrate->setText(tr("Записать градуировку"));
    zeroGroup->setTitle(tr("Программный ноль"));
    zeroBtn->setText(tr("Обнулить"));
    zeroResetBtn->setText(tr("Сбросить ноль"));
    limitChecks[ChannelLimits::AlarmHigh]->setText(tr("Авария, верхний"));
    limitChecks[ChannelLimits::WarnHigh]->setText(tr("Предупреждение, верхний"));
    limitChecks[ChannelLimits::WarnLow]->setText(tr("Предупреждение, нижний"));
    limitChecks[ChannelLimits::AlarmLow]->setText(tr("Авария, нижний"));
    hystLabel->setText(tr("Гистерезис"));
    holdLabel->setText(tr("Блоков до срабатывания"));
    apply->setText(tr("Применить"));
    closeBtn->setText(tr("Закрыть"));
}
