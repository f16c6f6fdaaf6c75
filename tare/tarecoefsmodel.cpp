#include "tarecoefsmodel.h"

#include "tableviewsettings.h"
#include "tarecoefdelegate.h"

#include <QLocale>
#include <QSettings>

#include <cmath>

// --- columns ------------------------------------------------------------------

Qt::ItemFlags TareCoefsModelParamChName::flags(TareChParam *item) const
{
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (isEnabled(item) && !isReadOnly(item))
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant TareCoefsModelParamChName::cellValue(TareChParam *item, int role) const
{
    if (role == Qt::DisplayRole)
        return tr("Канал %1").arg(item->ch + 1);
    return QVariant();
}

Qt::ItemFlags TareCoefsModelCoefParam::flags(TareChParam *item) const
{
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable;
    if (isEnabled(item) && !isReadOnly(item))
        f |= Qt::ItemIsEditable;
    return f;
}

QAbstractItemDelegate *TareCoefsModelCoefParam::delegate(QTableView *view) const
{
    return new TareCoefDelegate(view);
}

QVariant TareCoefsModelCoefParam::cellValue(TareChParam *item, int role) const
{
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return value(item->tare) * factor();
    case Qt::CheckStateRole:
        return valid(item->tare) ? Qt::Checked : Qt::Unchecked;
    case TareCoefsModel::AllowedRangeRole:
        return allowedRange();
    default:
        return QVariant();
    }
}

bool TareCoefsModelCoefParam::setCellValue(TareChParam *item, const QVariant &v, int role)
{
    if (role == Qt::EditRole) {
        bool ok = false;
        const double stored = v.toDouble(&ok) / factor();
        // A text that is no number, infinity or NaN never reaches the record.
        if (!ok || !std::isfinite(stored) || !acceptsValue(stored))
            return false;
        value(item->tare) = stored;
        return true;
    }
    if (role == Qt::CheckStateRole) {
        const bool on = v.toInt() == Qt::Checked;
        // a value the module cannot use is never marked for it to apply
        if (on && !acceptsValue(value(item->tare)))
            return false;
        valid(item->tare) = on ? 1 : 0;
        return true;
    }
    return false;
}

bool TareCoefsModelParamDacValue::acceptsValue(double stored) const
{
    return std::fabs(stored) <= TareCoefsModel::MaxOffsetV;
}

bool TareCoefsModelParamOffset::acceptsValue(double stored) const
{
    return std::fabs(stored) <= TareCoefsModel::MaxOffsetV;
}

bool TareCoefsModelParamScale::acceptsValue(double stored) const
{
    return stored > 0.0 && stored <= TareCoefsModel::MaxScale;
}

// Written as the editor takes numbers: without group separators.
static QString plainNumber(double v)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(v, 'g', 15);
}

static QString offsetRange()
{
    const double maxMv = TareCoefsModel::MaxOffsetV * 1000.0;
    return TareCoefsModelParamOffset::tr("от %1 до %2 мВ")
        .arg(plainNumber(-maxMv), plainNumber(maxMv));
}

QString TareCoefsModelParamDacValue::allowedRange() const
{
    return offsetRange();
}

QString TareCoefsModelParamOffset::allowedRange() const
{
    return offsetRange();
}

QString TareCoefsModelParamScale::allowedRange() const
{
    return tr("больше 0 и не больше %1").arg(plainNumber(TareCoefsModel::MaxScale));
}

// --- model --------------------------------------------------------------------

TareCoefsModel::TareCoefsModel(TGRV480 *handle)
    : QAbstractTableModel(nullptr)
{
    params.append(new TareCoefsModelParamChName);
    params.append(new TareCoefsModelParamDacValue);
    params.append(new TareCoefsModelParamOffset);
    params.append(new TareCoefsModelParamScale);
    for (int i = 0; i < GRV480_CHANNEL_COUNT; ++i) {
        auto *item = new TareChParam;
        item->ch = i;
        item->tare = &handle->tare[i];
        items.append(item);
        itemAdded(items.size() - 1, item);
    }
}

TareCoefsModel::~TareCoefsModel()
{
    for (int row = items.size() - 1; row >= 0; --row) {
        itemRemoved(row, items.at(row));
        delete items.takeAt(row);
    }
}

int TareCoefsModel::rowCount(const QModelIndex &) const
{
    return items.size();
}

int TareCoefsModel::columnCount(const QModelIndex &) const
{
    return params.size();
}

QVariant TareCoefsModel::data(const QModelIndex &index, int role) const
{
    return TableParamsModelHelper::data(index, role);
}

bool TareCoefsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!TableParamsModelHelper::setData(this, index, value, role))
        return false;
    // No tare column asks for a refresh of its own, but Qt's model contract
    // wants every successful store announced (a second view would go stale).
    const Param *p = params.at(index.column());
    if (!p->updatesRow() && !p->updatesCell())
        cellChanged(index.row(), index.column());
    return true;
}

QVariant TareCoefsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return TableParamsModelHelper::headerData(section, orientation, role);
}

Qt::ItemFlags TareCoefsModel::flags(const QModelIndex &index) const
{
    return TableParamsModelHelper::flags(index);
}

void TareCoefsModel::refreshAll()
{
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {});
}

void TareCoefsModel::initView(QTableView *view, const QString &name, QSettings *settings)
{
    view->setModel(this);
    initColumns(view);
    TableViewSettings::instance()->initTableView(view, name, settings,
                                                 TableViewSettings::InitNoAction);
}

bool TareCoefsModel::coefInRange(double v, bool scale, bool valid)
{
    if (!std::isfinite(v))
        return false;
    if (!scale)
        return std::fabs(v) <= MaxOffsetV;
    // an unset scale reads as 0 from an empty flash; only a valid one must be above zero
    return (valid ? v > 0.0 : v >= 0.0) && v <= MaxScale;
}

bool TareCoefsModel::recordsInRange(const TGRV480 *handle, int *badChannel, QString *badCoef)
{
    for (int ch = 0; ch < GRV480_CHANNEL_COUNT; ++ch) {
        const TGRV480TareInfo &t = handle->tare[ch];
        const char *bad = nullptr;
        if (!coefInRange(t.dacOffset, false, t.dacOffsetValid))
            bad = QT_TR_NOOP("смещение ЦАП");
        else if (!coefInRange(t.offsetCoef, false, t.offsetValid))
            bad = QT_TR_NOOP("коэф. смещения");
        else if (!coefInRange(t.scaleCoef, true, t.scaleValid))
            bad = QT_TR_NOOP("коэф. шкалы");
        if (bad) {
            if (badChannel)
                *badChannel = ch;
            if (badCoef)
                *badCoef = tr(bad);
            return false;
        }
    }
    return true;
}

void TareCoefsModel::rowChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, columnCount() - 1), {});
}

void TareCoefsModel::cellChanged(int row, int column)
{
    emit dataChanged(index(row, column), index(row, column), {});
}
