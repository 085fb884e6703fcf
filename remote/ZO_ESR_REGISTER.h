#pragma once

#include "remote/ZO_REGISTER_TMPL.h"

namespace zo4882 {

class ZO_STB_REGISTER;

// The standard event status register; its enabled events set status byte bit 0x20.
class ZO_ESR_REGISTER : public ZO_REGISTER_TMPL<unsigned char>
{
public:
    // Standard event status bits.
    enum : unsigned char {
        OperationComplete = 0x01,
        RequestControl = 0x02,
        QueryError = 0x04,
        DeviceError = 0x08,
        ExecutionError = 0x10,
        CommandError = 0x20,
        UserRequest = 0x40,
        PowerOn = 0x80,
        ErrorClasses = 0x3C, // cleared with the error queue
    };

    explicit ZO_ESR_REGISTER(ZO_STB_REGISTER *parent);

    unsigned char setCondition(unsigned char bits, int set) override;
    // *ESR?: read and clear; clears status byte bit 0x20.
    unsigned char getEvent() override;

private:
    ZO_STB_REGISTER *const m_parent;
};

} // namespace zo4882
