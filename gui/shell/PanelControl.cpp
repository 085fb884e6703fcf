#include "gui/shell/PanelControl.h"

#include "platform/PanelDevices.h"
#include "platform/SysfsFile.h"

#include <QString>

using platform::SysfsFile;
using namespace platform::panel;

namespace {
const QString deviceLoadOn = QStringLiteral("/sys/class/gpio/gpio133/value");
const QString deviceGpio128 = QStringLiteral("/sys/class/gpio/gpio128/direction");
const QString deviceGpio129 = QStringLiteral("/sys/class/gpio/gpio129/direction");
const QString deviceGpio130 = QStringLiteral("/sys/class/gpio/gpio130/direction");
const QString deviceGpio133 = QStringLiteral("/sys/class/gpio/gpio133/direction");

// The panel board's output lines.
const int outputLines[] = {
    18, 29, 49, 50, 51, 54, 55, 56, 60, 62, 63, 65, 110, 111, 112, 113, 114, 115, 116, 117
};

bool writeDevice(const QString &boardPath, const QString &text)
{
    bool opened = false;
    SysfsFile::write(boardPath, text, &opened);
    return opened;
}

// A line exported before (the export fails with EBUSY) still gets its direction; a board
// without the export attribute gets none.
void exportLine(int line, const QString &directionFile, const QString &direction)
{
    if (writeDevice(deviceGpioExport, QString::number(line)))
        writeDevice(directionFile, direction);
}
} // namespace

std::atomic<bool> PanelControl::s_alarmBeepEnabled { true };
std::atomic<bool> PanelControl::s_scpiBeepEnabled { true };
std::atomic<bool> PanelControl::s_keyBeepEnabled { true };
std::atomic<int> PanelControl::s_brightness { -1 };
std::atomic<bool> PanelControl::s_onAlarmSounding { false };

void PanelControl::initialize()
{
    const QString out = QStringLiteral("out");
    for (int line : outputLines)
        exportLine(line, deviceGpioDirection.arg(line), out);
    writeDevice(deviceGpioValue.arg(18), QStringLiteral("1"));
    exportLine(128, deviceGpio128, out);
    exportLine(129, deviceGpio129, out);
    exportLine(130, deviceGpio130, QStringLiteral("in"));
    exportLine(133, deviceGpio133, out);
    writeDevice(devicePwmRequest, QStringLiteral("0"));
    writeDevice(deviceAlarmSound, QStringLiteral("0"));
    // The beeper's carrier: 4 kHz at 50 % duty, gated by the beep and alarm lines.
    writeDevice(devicePwmFreq, QStringLiteral("250000"));
    writeDevice(devicePwmDuty, QStringLiteral("125000"));
    writeDevice(devicePwmRun, QStringLiteral("1"));
    setBacklightBrightness(8);
}

void PanelControl::lightLoadLED(bool on)
{
    writeDevice(deviceLoadOn, on ? QStringLiteral("1") : QStringLiteral("0"));
}

void PanelControl::alarmBeep(bool on)
{
    if (!s_alarmBeepEnabled && !s_onAlarmSounding)
        return;
    s_onAlarmSounding = on;
    // The kernel refuses a duty cycle above the period: the period grows first and shrinks last.
    if (on) {
        writeDevice(devicePwmFreq, QStringLiteral("1000000000"));
        writeDevice(devicePwmDuty, QStringLiteral("65000000"));
        writeDevice(deviceAlarmSound, QStringLiteral("1"));
    } else {
        writeDevice(deviceAlarmSound, QStringLiteral("0"));
        writeDevice(devicePwmDuty, QStringLiteral("125000"));
        writeDevice(devicePwmFreq, QStringLiteral("250000"));
    }
}

void PanelControl::scpiBeep()
{
    if (s_scpiBeepEnabled && !s_onAlarmSounding)
        writeDevice(deviceBeep, QStringLiteral("1"));
}

// The beeper board tells the two beeps apart by the level written: "0" is the key beep.
void PanelControl::keyBeep()
{
    if (s_keyBeepEnabled && !s_onAlarmSounding)
        writeDevice(deviceBeep, QStringLiteral("0"));
}

void PanelControl::setBacklightBrightness(int level)
{
    if (level == s_brightness || level < 1 || level > 8)
        return;
    if (writeDevice(deviceBacklight, QString::number(level)))
        s_brightness = level;
}
