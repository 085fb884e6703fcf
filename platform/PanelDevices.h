#pragma once

#include <QString>

// The panel board's sysfs attributes, board paths for platform::SysfsFile. Both the front-panel
// program and the maintenance tool drive the beeper, the alarm tone and the backlight here.
namespace platform::panel {

extern const QString deviceBacklight; // level 1 to 8
extern const QString deviceGpioExport;
extern const QString deviceGpioDirection; // %1: line number
extern const QString deviceGpioValue; // %1: line number
extern const QString deviceBeep; // gpio128: "0" key beep, "1" remote-error beep
extern const QString deviceAlarmSound; // gpio129: gates the alarm tone
extern const QString devicePwmRequest; // export of the beeper's PWM channel 0
extern const QString devicePwmFreq; // period in ns
extern const QString devicePwmDuty; // duty cycle in ns, never above the period
extern const QString devicePwmRun; // enable

} // namespace platform::panel
