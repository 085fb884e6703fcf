#pragma once

// The maintenance tool's panel hardware: GPIO lines, the beeper PWM and the backlight, through
// the kernel's sysfs attributes (platform::SysfsFile). Static only; called from the tool's main
// thread. The sysfs state outlives the process: the front-panel program finds the lines as the
// tool left them.
//
// Lines: 111 USB select (1 the controller's ISP port, 0 the front socket), 112 the USB switch's
// output enable, 114 access to the FPGA configuration flash, 128 beep, 129 alarm tone gate,
// 130 an input, 132 and 29 the danger LED and its test line, 18 held at 1.
class PanelControl
{
public:
    PanelControl() = delete;

    static bool s_alarmBeepEnabled;
    static bool s_scpiBeepEnabled;
    static bool s_keyBeepEnabled;
    static bool s_onAlarmSounding;
    static int s_brightness; // the last backlight level written, -1 before the first

    // True when the USB select line (gpio111) is exported: the set-up has run since boot.
    static bool isIinitialized();
    // Exports the panel's lines, making each line it has just exported an output (or the input
    // 130); a line exported before (by the front-panel program) keeps its direction. Then the
    // beeper PWM at 4 kHz, 50 % duty, and full backlight. Best effort: a line that fails is
    // skipped.
    static void initialize();
    // Routes the USB host: output enable 1, after 10 ms the select line, after 100 ms output
    // enable 0. Returns 0 or the first failure's negative errno (-ENOENT: lines not exported);
    // without both lines the select line is left alone.
    static int usbSwitch(bool toIoc);
    // Switches the configuration flash's access line (after 10 ms). Returns 0 or -errno.
    static int spiFlashEnable(bool on);
    static void dangerLED(bool on);
    static void alarmBeep(bool on);
    static void keyBeep();
    static void scpiBeep();
    // Levels 1 to 8; the level last written is not written again.
    static void setBacklightBrightness(int level);
};
