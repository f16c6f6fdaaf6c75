#ifndef CONDLEDINDICATOR_H
#define CONDLEDINDICATOR_H

#include <QWidget>

class QLedIndicator;

// A centred 22-pixel lamp reduced to six states:
// 0 green, 1 red, 2 off, 3 grey, 4 blue, 5 yellow (any other value is off as well).
class CondLedIndicator : public QWidget
{
    Q_OBJECT

public:
    enum State { Green = 0, Red = 1, Off = 2, Grey = 3, Blue = 4, Yellow = 5 };

    explicit CondLedIndicator(QWidget *parent = nullptr);

    void setState(int state);
    int state() const { return m_state; }

    // What the lamp shows, as a translatable source text (QT_TRANSLATE_NOOP);
    // translated each time the tool tip opens, so it follows the language.
    // Without one, the widget's own tool tip names it.
    void setMeaning(const char *context, const char *sourceText);
    // "<what it shows>: <state in words>", as the tool tip shows it.
    QString toolTipText() const;
    static QString stateText(int state);
    QLedIndicator *led() const { return m_led; }

    bool eventFilter(QObject *watched, QEvent *event) override;

protected:
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QLedIndicator *m_led;
    int m_state = Off;
    const char *m_context = nullptr;
    const char *m_meaning = nullptr;
};

#endif // CONDLEDINDICATOR_H
