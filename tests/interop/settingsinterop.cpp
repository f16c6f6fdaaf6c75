// Writes a settings file as the monitor does, or checks one written by the
// other Qt build: a Qt 5 build and a Qt 6 build must read each other's
// settings (streamed values, byte arrays, the window state) and the settings
// check must take neither for hostile.
//
//   settingsinterop write FILE
//   settingsinterop check FILE

#include "savedstate.h"
#include "settingsfilecheck.h"

#include <QApplication>
#include <QDateTime>
#include <QDockWidget>
#include <QFile>
#include <QMainWindow>
#include <QRect>
#include <QSettings>
#include <QToolBar>

#include <cstdio>

namespace {

struct Window
{
    QMainWindow main;
    QToolBar *toolBar;
    QDockWidget *dock;
    Window()
    {
        toolBar = main.addToolBar(QStringLiteral("tools"));
        toolBar->setObjectName(QStringLiteral("toolBar"));
        dock = new QDockWidget(QStringLiteral("log"), &main);
        dock->setObjectName(QStringLiteral("eventLog"));
        main.addDockWidget(Qt::BottomDockWidgetArea, dock);
    }
};

QList<QPair<QString, QVariant>> values()
{
    const QDateTime when(QDate(2026, 12, 10), QTime(13, 45, 7, 250), Qt::UTC);
    return {
        {QStringLiteral("MainWindow/size"), QSize(1280, 720)},
        {QStringLiteral("MainWindow/pos"), QPoint(-20, 35)},
        {QStringLiteral("MainWindow/geometry"), QRect(10, 20, 300, 400)},
        {QStringLiteral("MainWindow/ChSplitState"),
         QByteArray("\x00\x00\x00\xff\x01\x02\n\r=;,", 11)},
        {QStringLiteral("TimePlot/Cursors"), QVariantList{12.5, -0.25, true, QStringLiteral("t")}},
        {QStringLiteral("TimePlot/XMax"), 1000.125},
        {QStringLiteral("DeviceConfig/Name"), QStringLiteral("Мост 1; \"кН\", µm/m")},
        {QStringLiteral("DeviceConfig/Channels"),
         QStringList{QStringLiteral("1"), QStringLiteral("5")}},
        {QStringLiteral("DeviceConfig/Enabled"), true},
        {QStringLiteral("DeviceConfig/Mask"), 0x0fff},
        {QStringLiteral("Events/Last"), when},
    };
}

int fail(const QString &what)
{
    std::fprintf(stderr, "%s\n", qPrintable(what));
    return 1;
}

int write(const QString &file)
{
    QFile::remove(file);
    Window w;
    w.toolBar->hide();
    QSettings s(file, QSettings::IniFormat);
    for (const auto &v : values())
        s.setValue(v.first, v.second);
    s.setValue(QStringLiteral("MainWindow/state"), w.main.saveState(0));
    s.sync();
    return s.status() == QSettings::NoError ? 0 : fail(QStringLiteral("cannot write ") + file);
}

int check(const QString &file)
{
    // As the program does before it reads its settings.
    const SettingsFileCheck::Outcome mend = SettingsFileCheck::mendFile(file);
    if (!mend.ok)
        return fail(QStringLiteral("cannot be read: ") + mend.error);
    for (const SettingsFileCheck::Entry &e : mend.removed)
        return fail(QStringLiteral("taken for hostile: [%1] %2: %3").arg(e.group, e.key, e.reason));

    QSettings s(file, QSettings::IniFormat);
    int failures = 0;
    for (const auto &v : values()) {
        const QVariant got = s.value(v.first);
        // An INI file keeps no element types: a list comes back as strings with
        // either Qt, and Qt 6 no longer converts when it compares variants.
        const bool list = v.second.userType() == QMetaType::QVariantList;
        const bool same = list ? got.toStringList() == v.second.toStringList() : got == v.second;
        if (!same) {
            const auto text = [list](const QVariant &x) {
                return list ? x.toStringList().join(QLatin1Char(',')) : x.toString();
            };
            fail(
                QStringLiteral("%1: expected %2, read %3").arg(v.first, text(v.second), text(got)));
            ++failures;
        }
    }
    const QByteArray state = s.value(QStringLiteral("MainWindow/state")).toByteArray();
    Window w;
    w.main.show();
    if (!SavedState::isMainWindowStateSane(state, 0, 1, 1) || !w.main.restoreState(state, 0)) {
        fail(QStringLiteral("the window state is refused"));
        ++failures;
    } else if (w.toolBar->isVisible()) {
        fail(QStringLiteral("the window state does not hide the tool bar as written"));
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("write"))
        return write(args.at(2));
    if (args.size() == 3 && args.at(1) == QLatin1String("check"))
        return check(args.at(2));
    std::fputs("usage: settingsinterop write|check FILE\n", stderr);
    return 2;
}
