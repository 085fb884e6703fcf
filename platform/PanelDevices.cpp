#include "platform/PanelDevices.h"

namespace platform::panel {

const QString deviceBacklight = QStringLiteral("/sys/class/backlight/backlight/brightness");
const QString deviceGpioExport = QStringLiteral("/sys/class/gpio/export");
const QString deviceGpioDirection = QStringLiteral("/sys/class/gpio/gpio%1/direction");
const QString deviceGpioValue = QStringLiteral("/sys/class/gpio/gpio%1/value");
const QString deviceBeep = QStringLiteral("/sys/class/gpio/gpio128/value");
const QString deviceAlarmSound = QStringLiteral("/sys/class/gpio/gpio129/value");
const QString devicePwmRequest = QStringLiteral("/sys/class/pwm/pwmchip1/export");
const QString devicePwmFreq = QStringLiteral("/sys/class/pwm/pwmchip1/pwm0/period");
const QString devicePwmDuty = QStringLiteral("/sys/class/pwm/pwmchip1/pwm0/duty_cycle");
const QString devicePwmRun = QStringLiteral("/sys/class/pwm/pwmchip1/pwm0/enable");

} // namespace platform::panel
