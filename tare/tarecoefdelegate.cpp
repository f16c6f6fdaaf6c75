#include "tarecoefdelegate.h"

#include "tarecoefsmodel.h"

#include <QLineEdit>
#include <QLocale>
#include <QToolTip>

#include <cmath>

static const char InitialTextProperty[] = "tareInitialText";
constexpr int RefusalTipMs = 10000;

TareCoefDelegate::TareCoefDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

QWidget *TareCoefDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                        const QModelIndex &) const
{
    auto *edit = new QLineEdit(parent);
    edit->setFrame(false);
    return edit;
}

QString TareCoefDelegate::editText(double value)
{
    // 15 significant digits: exact for every value typed by hand, and no
    // binary noise such as 2.5000000000000004 in the editor.
    QString text = QLocale().toString(value, 'g', 15);
    text.remove(QLocale().groupSeparator());
    return text;
}

bool TareCoefDelegate::parseNumber(const QString &text, double *value)
{
    const QLocale locale;
    QString t = text.trimmed();
    t.replace(QString(locale.decimalPoint()), QStringLiteral("."));
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    t.replace(QString(locale.negativeSign()), QStringLiteral("-"));
    t.replace(QString(locale.positiveSign()), QStringLiteral("+"));
    t.replace(QString(locale.exponential()), QStringLiteral("e"));
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = c.toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

void TareCoefDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *edit = qobject_cast<QLineEdit *>(editor);
    if (!edit)
        return QStyledItemDelegate::setEditorData(editor, index);
    const QString text = editText(index.data(Qt::EditRole).toDouble());
    edit->setText(text);
    edit->setProperty(InitialTextProperty, text);
}

void TareCoefDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                    const QModelIndex &index) const
{
    auto *edit = qobject_cast<QLineEdit *>(editor);
    if (!edit)
        return QStyledItemDelegate::setModelData(editor, model, index);
    // Storing the shown text back would replace the exact value by its rounding.
    const QString typed = edit->text();
    if (typed == edit->property(InitialTextProperty).toString())
        return;
    const QString cell =
        QStringLiteral("%1, %2").arg(index.siblingAtColumn(0).data().toString(),
                         model->headerData(index.column(), Qt::Horizontal).toString());
    const QString allowed = index.data(TareCoefsModel::AllowedRangeRole).toString();
    double v = 0;
    if (!parseNumber(typed, &v)) {
        refuse(editor, index,
               tr("%1: «%2» не является числом; допустимо %3, дробная часть отделяется "
                  "запятой или точкой.")
                   .arg(cell, typed.trimmed(), allowed));
    } else if (!model->setData(index, v, Qt::EditRole)) {
        refuse(editor, index,
               tr("%1: значение %2 не принято; допустимо %3.").arg(cell, editText(v), allowed));
    }
}

void TareCoefDelegate::refuse(QWidget *editor, const QModelIndex &index,
                              const QString &reason) const
{
    // The tip stands where the operator typed; the signal lets the dialog keep
    // the reason in view after the tip has gone.
    if (QWidget *viewport = editor->parentWidget()) {
        const QRect cellRect = editor->geometry();
        QToolTip::showText(viewport->mapToGlobal(cellRect.bottomLeft()), reason, viewport, cellRect,
                           RefusalTipMs);
    }
    emit entryRefused(index, reason);
}
