#pragma once

#include <QString>

#include <functional>

// The board preparation the front-panel program makes before its window exists, and the
// start-up checks of the auxiliary programs and board scripts it makes once the remote-control
// services run. Paths are board paths (platform::BoardPath).
class PanelStartup
{
public:
    // Takes the board's own networking and DNS-SD start scripts out of rc5.d (the program
    // manages the LAN), creates the instrument folders and the mount folder, links
    // "/run/media/setups" to the setup folder, copies the factory setup "/usr/bin/default.info"
    // to each of the twenty slots and "auto.info" that does not exist, then starts "ifup lo"
    // and "ifup eth0" detached. Each step may fail without stopping the start: an existing
    // file, folder or link is left as it is.
    static void prepareBoard();

    // Queues -310 "System error" for each auxiliary program that is missing or not executable
    // and each board script that is missing, not executable, not readable or has Windows line
    // ends; the detail names the board path ("Missing /usr/bin/zodns6").
    using ErrorSink = std::function<void(int code, const QString &detail)>;
    static void checkAuxiliaryFiles(const ErrorSink &queue);
};
