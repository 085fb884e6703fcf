#pragma once

#include "remote/ZO_REGISTER_TMPL.h"

namespace zo4882 {

class ZO_STAT_REGISTER;
class ZO_STAT_INST_REGISTER;

// Instrument-summary register 1 to 3 of a group. Its condition is mirrored into the group
// register (a group bit stays set while any of the three holds it); its enabled events set bit
// (1 << number) of the group's instrument register.
class ZO_STAT_INST_ISUM_REGISTER : public ZO_REGISTER_TMPL<short>
{
public:
    static constexpr int Count = 4; // entries per group; 1 to 3 in use

    // siblings: the group's array of Count entries, this one at index number.
    ZO_STAT_INST_ISUM_REGISTER(ZO_STAT_REGISTER *group,
        ZO_STAT_INST_REGISTER *instrument,
        ZO_STAT_INST_ISUM_REGISTER *siblings,
        int number);

    short setCondition(short bits, int set) override;
    int number() const { return int(summary() >> 24); }

private:
    ZO_STAT_REGISTER *const m_group;
    ZO_STAT_INST_REGISTER *const m_instrument;
    ZO_STAT_INST_ISUM_REGISTER *const m_siblings;
};

} // namespace zo4882
