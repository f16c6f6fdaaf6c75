#ifndef TARECOEFSMODEL_H
#define TARECOEFSMODEL_H

/*
 * TareCoefsModel: the 16 × 4 table of a module's tare coefficients. Each row
 * points straight at the channel's tare record inside the module handle, so
 * the table shows what the module API last read or computed, and an edit goes
 * into the handle at once (ready for GRV480_WriteTareInfo). Nothing is
 * cached: after an API call that changes the records, refreshAll().
 *
 * Offsets are shown and edited in millivolts, the scale coefficient as it is;
 * the check box of a cell is the coefficient's validity flag.
 *
 * A typed value is stored only when it is a finite number the module can use
 * (|offset| <= MaxOffsetV, 0 < scale <= MaxScale); anything else is refused
 * and the record keeps its old value.
 */

#include "grv480api.h"
#include "tableparamsmodel.h"

#include <QAbstractTableModel>
#include <QCoreApplication>

class QSettings;

struct TareChParam
{
    qint32 ch = 0;                   // zero-based channel index
    TGRV480TareInfo *tare = nullptr; // the channel's record in the handle, not owned
};

using TareParam = TableParamsModelHelper<TareChParam>::Param;

class TareCoefsModelParamChName : public TareParam
{
    Q_DECLARE_TR_FUNCTIONS(TareCoefsModel)
public:
    QString title() const override { return tr("Канал"); }
    Qt::ItemFlags flags(TareChParam *item) const override;
    QVariant defaultValue() const override { return 0; }
    int width() const override { return 120; }
    bool isReadOnly(TareChParam *) const override { return true; }
    bool keepsBackground(TareChParam *) const override { return true; }
    QVariant cellValue(TareChParam *item, int role) const override;
    bool setCellValue(TareChParam *, const QVariant &, int) override { return false; }
};

// Common part of the three coefficient columns: a double shown scaled by
// factor() and a validity flag as the check state.
class TareCoefsModelCoefParam : public TareParam
{
public:
    Qt::ItemFlags flags(TareChParam *item) const override;
    QVariant defaultValue() const override { return 0; }
    QAbstractItemDelegate *delegate(QTableView *view) const override;
    int width() const override { return 150; }
    QVariant cellValue(TareChParam *item, int role) const override;
    bool setCellValue(TareChParam *item, const QVariant &value, int role) override;

protected:
    virtual double factor() const { return 1.0; }
    virtual bool acceptsValue(double stored) const = 0; // in the record's unit
    virtual QString allowedRange() const = 0;           // as the cell shows the value
    virtual double &value(TGRV480TareInfo *tare) const = 0;
    virtual uint8_t &valid(TGRV480TareInfo *tare) const = 0;
};

class TareCoefsModelParamDacValue : public TareCoefsModelCoefParam
{
    Q_DECLARE_TR_FUNCTIONS(TareCoefsModel)
public:
    QString title() const override { return tr("Смещение ЦАП (мВ)"); }

protected:
    double factor() const override { return 1000.0; }
    bool acceptsValue(double stored) const override;
    QString allowedRange() const override;
    double &value(TGRV480TareInfo *tare) const override { return tare->dacOffset; }
    uint8_t &valid(TGRV480TareInfo *tare) const override { return tare->dacOffsetValid; }
};

class TareCoefsModelParamOffset : public TareCoefsModelCoefParam
{
    Q_DECLARE_TR_FUNCTIONS(TareCoefsModel)
public:
    QString title() const override { return tr("Коэф. смещения (мВ)"); }

protected:
    double factor() const override { return 1000.0; }
    bool acceptsValue(double stored) const override;
    QString allowedRange() const override;
    double &value(TGRV480TareInfo *tare) const override { return tare->offsetCoef; }
    uint8_t &valid(TGRV480TareInfo *tare) const override { return tare->offsetValid; }
};

class TareCoefsModelParamScale : public TareCoefsModelCoefParam
{
    Q_DECLARE_TR_FUNCTIONS(TareCoefsModel)
public:
    QString title() const override { return tr("Коэф. шкалы"); }

protected:
    bool acceptsValue(double stored) const override;
    QString allowedRange() const override;
    double &value(TGRV480TareInfo *tare) const override { return tare->scaleCoef; }
    uint8_t &valid(TGRV480TareInfo *tare) const override { return tare->scaleValid; }
};

class TareCoefsModel : public QAbstractTableModel,
                       public TableParamsModelHelper<TareChParam>,
                       public TableParamsModelIface
{
    Q_OBJECT

public:
    // Volts: the module's 2.5 V reference bounds every offset it can subtract.
    static constexpr double MaxOffsetV = 2.5;
    // A scale coefficient corrects a gain error of a few per cent; beyond ten
    // (or at zero or below) the entry is a typing error, not a correction.
    static constexpr double MaxScale = 10.0;
    // The values a coefficient cell takes, as text ("от -2500 до 2500 мВ");
    // empty for the channel column.
    static constexpr int AllowedRangeRole = Qt::UserRole + 1;

    explicit TareCoefsModel(TGRV480 *handle);
    ~TareCoefsModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void refreshAll();
    // Sets the model, the column delegates and widths, and restores the header
    // of the view from the settings (already in the caller's group) under name.
    void initView(QTableView *view, const QString &name, QSettings *settings);

    // Whether the module may hold v, whatever its flag: a finite offset within
    // ±MaxOffsetV, a scale up to MaxScale, above zero when valid (0 is unset).
    static bool coefInRange(double v, bool scale, bool valid);
    // True when every coefficient of the handle's 16 records is in range;
    // otherwise the first offending channel (zero-based) and coefficient.
    static bool recordsInRange(const TGRV480 *handle, int *badChannel = nullptr,
                               QString *badCoef = nullptr);

    void rowChanged(int row) override;
    void cellChanged(int row, int column) override;
};

#endif // TARECOEFSMODEL_H
