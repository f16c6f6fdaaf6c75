#ifndef WINDOWSETUP_H
#define WINDOWSETUP_H

#include "deviceconfig.h"
#include "emulatorprocess.h"

#include <QLocale>
#include <QSettings>

#include <initializer_list>

// Starts the emulator for a window test and stores the settings the window
// starts from: only these channels on, and the measuring time in ms (0 keeps
// the default). False when the emulator cannot be started.
inline bool startWindowTest(EmulatorProcess &emulator, std::initializer_list<int> channels,
                            int measTimeMs = 0)
{
    if (!emulator.start())
        return false;
    qputenv("GRV480_SERVER_PORT", QByteArray::number(emulator.port()));
    QLocale::setDefault(QLocale::c());
    QSettings settings;
    settings.clear();
    DeviceConfig cfg;
    cfg.loadSettings(settings);
    for (int ch : channels)
        cfg.setChannelEnabled(ch, true);
    if (measTimeMs > 0)
        cfg.setMeasTime(measTimeMs);
    cfg.saveSettings(settings);
    return true;
}

#endif // WINDOWSETUP_H
