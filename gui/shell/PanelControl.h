#pragma once

#include <atomic>

// The front panel's simple hardware through the kernel's sysfs attributes (platform::SysfsFile):
// the panel board's GPIO lines, the LOAD LED (gpio133), the beeper line (gpio128) for the key
// and remote-error beeps, the alarm tone (PWM channel 0 of pwmchip1 gated by gpio129) and the
// LCD backlight. Static only. Every operation opens its attribute, writes the text and closes
// it; a missing attribute is skipped without a report, the panel works without a beeper.
//
// Threads: the key beep, LED and backlight run in the GUI thread, the remote-error beep in
// whichever thread queues an error, the alarm tone in the status object's thread; the flags
// are atomic for that reason. Each operation has its own file handle.
class PanelControl
{
public:
    PanelControl() = delete;

    // Copied from the instrument configuration at start, changed by the beeper commands.
    static std::atomic<bool> s_alarmBeepEnabled;
    static std::atomic<bool> s_scpiBeepEnabled;
    static std::atomic<bool> s_keyBeepEnabled;
    // The last backlight level written (1 to 8), -1 before the first.
    static std::atomic<int> s_brightness;
    // The alarm tone is on: key and remote-error beeps stay silent.
    static std::atomic<bool> s_onAlarmSounding;

    // Exports the panel's lines and sets their directions, requests the beeper PWM at 4 kHz
    // and 50 % duty, and switches the backlight to level 8. Once, from the main window.
    static void initialize();
    static void lightLoadLED(bool on);
    // A disabled tone is not started, but a sounding one can always be stopped.
    static void alarmBeep(bool on);
    static void scpiBeep();
    static void keyBeep();
    // Levels 1 to 8; others and the level last written are ignored.
    static void setBacklightBrightness(int level);
};
