#pragma once

#include "sim/BootController.h"

#include <QStringList>

namespace sim {

// The control socket's "boot" command, for the maintenance side of the board:
//
//   boot                       OK <flash|isp|reset> <disk sdX|-> <bad frames> <firmware bytes>
//                                 <firmware sha256|->
//   boot corrupt N             OK   (the next N frames arrive corrupted)
//   boot diskdelay MS|never    OK   (when the ISP disk appears; never: it does not)
//   boot log [clear]           <µs> frame ... / <µs> event ... (BootController) / END
class BootControl
{
public:
    static QStringList handle(BootController &boot, const QStringList &args);
};

} // namespace sim
