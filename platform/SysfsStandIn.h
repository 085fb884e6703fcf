#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// The kernel's side of the sysfs attributes under a board root, where they are plain files.
// Only SysfsFile uses it. Rules, by board path (N a decimal number):
//
//   /sys/class/gpio/export, unexport           N: create / remove gpioN with direction "in",
//                                              value 0; exporting twice -EBUSY, an unknown
//                                              line on unexport -EINVAL
//   /sys/class/gpio/gpioN/direction            "in", "out" (value 0), "low" (out, 0),
//                                              "high" (out, 1); else -EINVAL
//   /sys/class/gpio/gpioN/value                integer, stored as 0 or 1; an input -EPERM
//   /sys/class/pwm/pwmchipN/export, unexport   channel below npwm (-ENODEV), else as GPIO
//   /sys/class/pwm/pwmchipN/pwmM/period        ns, not below duty_cycle
//   /sys/class/pwm/pwmchipN/pwmM/duty_cycle    ns, not above period
//   /sys/class/pwm/pwmchipN/pwmM/enable        0 or 1
//   /sys/class/backlight/X/brightness          0 to max_brightness
//   any other path                             the text replaces the file's contents
//
// Attribute files are replaced by rename, so a reader in another process (the simulated board)
// sees the old or the new text, never a torn one. Values read back end in a line feed, as the
// kernel's do. The attribute written must exist (-ENOENT), as in sysfs.
class SysfsStandIn
{
public:
    // path is the mapped file path of boardPath. Returns 0 or a negative errno; *opened tells
    // whether the attribute opened.
    static int write(
        const QString &boardPath, const QString &path, const QByteArray &text, bool *opened);
};

} // namespace platform
