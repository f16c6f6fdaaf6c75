#ifndef TARECOEFDELEGATE_H
#define TARECOEFDELEGATE_H

#include <QStyledItemDelegate>

// Editor of a tare coefficient cell: a line edit holding the value at full
// precision. Qt's default editor for doubles is a spin box with two decimals,
// which would round a scale coefficient such as 0.99876 to 1.00 as soon as
// the operator opened and closed it. An unchanged text is not stored again;
// a text that is not a number, or a number the model refuses, is reported
// with the reason and the allowed values, at the cell and by entryRefused.
class TareCoefDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit TareCoefDelegate(QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;

    // The number in text, its fraction set off by the default locale's decimal
    // separator, a comma or a point alike (a Russian interface on a system
    // with an English locale still gets "1,5" typed). Group separators are not
    // taken. False for anything else (empty, letters, "inf", "nan").
    static bool parseNumber(const QString &text, double *value);
    static QString editText(double value);

signals:
    // A typed text that did not reach the model; reason names the cell, the
    // text and the values the cell takes.
    void entryRefused(const QModelIndex &index, const QString &reason) const;

private:
    void refuse(QWidget *editor, const QModelIndex &index, const QString &reason) const;
};

#endif // TARECOEFDELEGATE_H
