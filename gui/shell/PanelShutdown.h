#pragma once

#include <functional>

// The front-panel program's shut-down on a signal (ShutdownSignals): saves the persistent
// state, starts the clock-save and sync programs, unloads the USB gadget modules and gives the
// exit code the board's start scripts act on. The caller then ends the event loop with it.
class PanelShutdown
{
public:
    struct Steps
    {
        // Saves the automatic setup, the preferences and the instrument configuration, in
        // this order.
        std::function<void()> saveState;
        // Raises the controller's AC-fail alarm; run for SIGQUIT only. Left empty when the
        // preferences were reset to their factory defaults during this run.
        std::function<void()> raiseAcFail;
        // Closes the USBTMC gadget's device before its modules are unloaded.
        std::function<void()> closeUsbtmc;
    };

    // Runs the steps for sig and returns its exit code (ShutdownSignals::exitCodeFor). The
    // programs are started detached and not waited for.
    static int run(int sig, const Steps &steps);
};
