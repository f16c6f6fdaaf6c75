#ifndef TARECOEFDELEGATE_H
#define TARECOEFDELEGATE_H

#include <QStyledItemDelegate>

// Editor of a tare coefficient cell: a line edit holding the value at full
// precision. Qt's default editor for doubles is a spin box with two decimals,
// which would round a scale coefficient such as 0.99876 to 1.00 as soon as
// the operator opened and closed it. A text that is not a number is not
// passed on; an unchanged text is not stored again; the model judges the rest.
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

    // The number in text, in the default locale or with a decimal point;
    // false for anything else (empty, letters, "inf", "nan").
    static bool parseNumber(const QString &text, double *value);
    static QString editText(double value);
};

#endif // TARECOEFDELEGATE_H
