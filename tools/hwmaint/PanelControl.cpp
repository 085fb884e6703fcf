#include "tools/hwmaint/PanelControl.h"

#include "platform/PanelDevices.h"
#include "platform/SysfsFile.h"

#include <QString>
#include <QThread>

#include <cerrno>

using platform::SysfsFile;
using namespace platform::panel;

namespace {
const QString deviceDangerOn = QStringLiteral("/sys/class/gpio/gpio132/value");
const QString deviceDangerTestOn = QStringLiteral("/sys/class/gpio/gpio29/value");
const QString flashEnable = QStringLiteral("/sys/class/gpio/gpio114/value");
const QString usbSwitchOE = QStringLiteral("/sys/class/gpio/gpio112/value");
const QString usbSwitchS = QStringLiteral("/sys/class/gpio/gpio111/value");

// A line exported before keeps its direction: it may be the front-panel program's input.
void exportLine(int line, const char *direction)
{
    if (SysfsFile::write(deviceGpioExport, QString::number(line)) == 0)
        SysfsFile::write(deviceGpioDirection.arg(line), QLatin1String(direction));
}

int firstError(int a, int b)
{
    return a != 0 ? a : b;
}
} // namespace

bool PanelControl::s_alarmBeepEnabled = true;
bool PanelControl::s_scpiBeepEnabled = true;
bool PanelControl::s_keyBeepEnabled = true;
bool PanelControl::s_onAlarmSounding = false;
int PanelControl::s_brightness = -1;

bool PanelControl::isIinitialized()
{
    return SysfsFile::exists(usbSwitchS);
}

void PanelControl::initialize()
{
    for (int line :
        { 18, 29, 49, 50, 51, 54, 55, 56, 60, 62, 63, 65, 111, 112, 113, 114, 115, 116, 117 })
        exportLine(line, "out");
    SysfsFile::write(deviceGpioValue.arg(18), QStringLiteral("1"));
    exportLine(128, "out");
    exportLine(129, "out");
    exportLine(130, "in");
    exportLine(132, "out");
    // The beeper runs at 4 kHz, 50 % duty, gated by the beep and alarm lines.
    SysfsFile::write(devicePwmRequest, QStringLiteral("0"));
    SysfsFile::write(deviceAlarmSound, QStringLiteral("0"));
    SysfsFile::write(devicePwmFreq, QStringLiteral("250000"));
    SysfsFile::write(devicePwmDuty, QStringLiteral("125000"));
    SysfsFile::write(devicePwmRun, QStringLiteral("1"));
    setBacklightBrightness(8);
}

int PanelControl::usbSwitch(bool toIoc)
{
    int rc = 0;
    if (SysfsFile::exists(usbSwitchOE) && SysfsFile::exists(usbSwitchS)) {
        rc = SysfsFile::write(usbSwitchOE, QStringLiteral("1"));
        QThread::msleep(10);
        rc = firstError(
            rc, SysfsFile::write(usbSwitchS, toIoc ? QStringLiteral("1") : QStringLiteral("0")));
    } else {
        rc = -ENOENT;
    }
    QThread::msleep(100);
    return firstError(rc, SysfsFile::write(usbSwitchOE, QStringLiteral("0")));
}

int PanelControl::spiFlashEnable(bool on)
{
    if (!SysfsFile::exists(flashEnable))
        return -ENOENT;
    QThread::msleep(10);
    return SysfsFile::write(flashEnable, on ? QStringLiteral("1") : QStringLiteral("0"));
}

void PanelControl::dangerLED(bool on)
{
    const QString level = on ? QStringLiteral("1") : QStringLiteral("0");
    SysfsFile::write(deviceDangerOn, level);
    SysfsFile::write(deviceDangerTestOn, level);
}

void PanelControl::alarmBeep(bool on)
{
    if (!s_alarmBeepEnabled)
        return;
    s_onAlarmSounding = on;
    // Period and duty in an order that never puts the duty above the period.
    if (on) {
        SysfsFile::write(devicePwmFreq, QStringLiteral("1000000000"));
        SysfsFile::write(devicePwmDuty, QStringLiteral("65000000"));
        SysfsFile::write(deviceAlarmSound, QStringLiteral("1"));
    } else {
        SysfsFile::write(deviceAlarmSound, QStringLiteral("0"));
        SysfsFile::write(devicePwmDuty, QStringLiteral("125000"));
        SysfsFile::write(devicePwmFreq, QStringLiteral("250000"));
    }
}

void PanelControl::keyBeep()
{
    if (s_keyBeepEnabled && !s_onAlarmSounding)
        SysfsFile::write(deviceBeep, QStringLiteral("0"));
}

void PanelControl::scpiBeep()
{
    if (s_scpiBeepEnabled && !s_onAlarmSounding)
        SysfsFile::write(deviceBeep, QStringLiteral("1"));
}

void PanelControl::setBacklightBrightness(int level)
{
    if (level == s_brightness || level < 1 || level > 8)
        return;
    if (SysfsFile::write(deviceBacklight, QString::number(level)) == 0)
        s_brightness = level;
}
