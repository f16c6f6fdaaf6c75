#ifndef HELPDIALOG_H
#define HELPDIALOG_H

#include <QDialog>

class QTextBrowser;

// The usage page, compiled into the program in Russian and English; the
// page of the interface's language is shown, and a language change swaps it.
class HelpDialog : public QDialog
{
    Q_OBJECT

public:
    explicit HelpDialog(QWidget *parent = nullptr);

    // ":/help/usage_en.md" for an English interface, the Russian page otherwise.
    static QString pagePath(const QString &language);
    QTextBrowser *browser() const { return m_browser; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();

    QTextBrowser *m_browser;
};

// "О программе": the program's version and those of the libraries it uses.
QString aboutText();

#endif // HELPDIALOG_H
