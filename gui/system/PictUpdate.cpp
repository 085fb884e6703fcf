#include "gui/system/PictUpdate.h"

#include <csignal>

void PictUpdate::startUpdater(bool full)
{
    ::raise(full ? SIGUSR2 : SIGUSR1);
}
