#pragma once

#include <QString>

namespace platform {

// Text attributes of the kernel's sysfs: GPIO lines (/sys/class/gpio), PWM channels
// (/sys/class/pwm) and the backlight (/sys/class/backlight). Paths are board paths.
//
// write() opens the file write-only (never creating it), writes the text exactly as given (no
// line end is added) and closes it; the kernel acts on the text when it arrives and refuses a
// bad value by failing the write, so every step's failure is returned as a negative errno.
// read() returns the file's text without its trailing line end.
//
// Under a board root the attributes are plain files seeded by the simulated board, and write()
// gives them the kernel's behaviour (SysfsStandIn): an export creates the line's or channel's
// folder (a second export fails with -EBUSY), "out" on a direction drives the value to 0,
// a value written to an input fails with -EPERM, a PWM duty cycle above its period and a
// brightness above max_brightness fail with -EINVAL.
// Callers serialise their own writes to one line; the helpers hold no lock.
class SysfsFile
{
public:
    // Returns 0 or a negative errno (-ENOENT for a missing attribute). When opened is given it
    // tells whether the attribute opened, so a caller can tell a missing attribute from one
    // that refused the text (an export of a line exported before fails with -EBUSY).
    static int write(const QString &boardPath, const QString &text, bool *opened = nullptr);
    // Returns 0 or a negative errno; *text is left as it was on failure.
    static int read(const QString &boardPath, QString *text);
    static bool exists(const QString &boardPath);
};

} // namespace platform
