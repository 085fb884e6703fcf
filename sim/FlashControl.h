#pragma once

#include "sim/ConfigFlash.h"

#include <QStringList>

namespace sim {

// The control socket's "flash" command, for the configuration flash (numbers named HEX are
// hexadecimal with or without "0x"):
//
//   flash                       OK <id HEX> <size> <status HEX> <programs> <erases> <reachable>
//   flash id HEX                OK   (JEDEC identification; the size follows it, image blank)
//   flash fill HEX              OK   (every byte of the image)
//   flash busy N                OK   (status readings that show busy after a write)
//   flash stuck now|write|program|off
//                               OK   (busy for good: now, from the next program or erase on,
//                                     or from the next page program on; off: done at once)
//   flash biterror ADDR MASK    OK   (bits of MASK at ADDR never program; MASK 0 clears)
//   flash protect on|off        OK   (all block-protection bits)
//   flash image PATH            OK <size>  (the image, written to PATH through a rename)
class FlashControl
{
public:
    static QStringList handle(ConfigFlash &flash, const QStringList &args);
};

} // namespace sim
