#pragma once

#include <QString>

// The board preparation the front-panel program makes before its window exists (the checks of
// the auxiliary programs come later: zostd::checkStartupFiles). Paths are board paths.
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
};
