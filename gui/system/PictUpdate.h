#pragma once

// The update page's hand-over to the update tool: the program ends through its signal
// shut-down with the exit code the board's start scripts read as "run the updater".
class PictUpdate
{
public:
    // Raises SIGUSR2 (exit code 3) when full is true, SIGUSR1 (exit code 2) otherwise.
    static void startUpdater(bool full);
};
