#pragma once

#include <QByteArray>

namespace sim {

// The FPGA configuration flash behind spidev1.1. For now it answers every transfer with as
// many zero bytes as it received; the serial NOR flash commands come with the maintenance tool.
class ConfigFlash
{
public:
    QByteArray exchange(const QByteArray &message) { return QByteArray(message.size(), '\0'); }
};

} // namespace sim
