#include "tarecoefdelegate.h"

#include <QLineEdit>
#include <QLocale>

#include <cmath>

static const char InitialTextProperty[] = "tareInitialText";

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
    const QString t = text.trimmed();
    bool ok = false;
    double v = QLocale().toDouble(t, &ok);
    if (!ok)
        v = QLocale::c().toDouble(t, &ok);
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
    if (edit->text() == edit->property(InitialTextProperty).toString())
        return;
    double v = 0;
    if (parseNumber(edit->text(), &v))
        model->setData(index, v, Qt::EditRole);
}
