#include "helpdialog.h"

#include "libraryversions.h"
#include "qttranslationswitch.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>

HelpDialog::HelpDialog(QWidget *parent)
    : QDialog(parent)
    , m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpDialog"));
    m_browser->setOpenExternalLinks(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
    layout->addWidget(buttons);
    resize(fontMetrics().averageCharWidth() * 100, fontMetrics().height() * 40);
    retranslate();
}

QString HelpDialog::pagePath(const QString &language)
{
    const QString code = language.isEmpty() ? QLocale::system().name().left(2) : language.left(2);
    return code == QLatin1String("en") ? QStringLiteral(":/help/usage_en.md")
                                       : QStringLiteral(":/help/usage_ru.md");
}

void HelpDialog::retranslate()
{
    setWindowTitle(tr("Справка GRV480 Monitor"));
    QFile page(pagePath(QtTranslationSwitch::instance()->currentLanguage()));
    if (page.open(QIODevice::ReadOnly))
        m_browser->setMarkdown(QString::fromUtf8(page.readAll()));
}

void HelpDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslate();
}

QString aboutText()
{
    const LibraryVersions v = libraryVersions();
    return HelpDialog::tr(
               "<h3>GRV480 Monitor %1</h3>"
               "<p>Монитор шестнадцатиканального модуля измерения разбаланса мостов GRV480.</p>"
               "<p>Qt %2<br>QCustomPlot %3<br>FFTW %4<br>HDF5 %5</p>")
        .arg(QCoreApplication::applicationVersion().toHtmlEscaped(), v.qt.toHtmlEscaped(),
             v.qcustomplot.toHtmlEscaped(), v.fftw.toHtmlEscaped(), v.hdf5.toHtmlEscaped());
}
