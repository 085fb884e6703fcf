#pragma once

#include "remote/ZO_REGISTER_TMPL.h"

namespace zo4882 {

class ZO_STAT_REGISTER;

// The instrument register under STATus:OPERation or STATus:QUEStionable; its enabled events set
// bit 0x200 of its group register.
class ZO_STAT_INST_REGISTER : public ZO_REGISTER_TMPL<short>
{
public:
    static constexpr short SummaryBit = 0x200;

    explicit ZO_STAT_INST_REGISTER(ZO_STAT_REGISTER *group);

    short setCondition(short bits, int set) override;
    // Read and clear; clears bit 0x200 of the group register.
    short getEvent() override;

private:
    ZO_STAT_REGISTER *const m_group;
};

} // namespace zo4882
