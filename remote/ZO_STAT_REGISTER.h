#pragma once

#include "remote/ZO_REGISTER_TMPL.h"

namespace zo4882 {

class ZO_STB_REGISTER;

// STATus:OPERation or STATus:QUEStionable; its enabled events set its summary bit (0x80 or
// 0x08) in the status byte. The engine changes conditions from its own threads.
class ZO_STAT_REGISTER : public ZO_REGISTER_TMPL<short>
{
public:
    ZO_STAT_REGISTER(ZO_STB_REGISTER *parent, unsigned char summaryBit);

    short setCondition(short bits, int set) override;
    // Read and clear; clears the summary bit in the status byte.
    short getEvent() override;

private:
    ZO_STB_REGISTER *const m_parent;
};

} // namespace zo4882
