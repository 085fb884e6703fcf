#include "remote/ZO_STAT_INST_ISUM_REGISTER.h"

#include "remote/ZO_STAT_INST_REGISTER.h"
#include "remote/ZO_STAT_REGISTER.h"

namespace zo4882 {

ZO_STAT_INST_ISUM_REGISTER::ZO_STAT_INST_ISUM_REGISTER(ZO_STAT_REGISTER *group,
    ZO_STAT_INST_REGISTER *instrument,
    ZO_STAT_INST_ISUM_REGISTER *siblings,
    int number)
    : ZO_REGISTER_TMPL<short>((quint32(number) << 24) | (1u << number), short(0xFFFF))
    , m_group(group)
    , m_instrument(instrument)
    , m_siblings(siblings)
{ }

short ZO_STAT_INST_ISUM_REGISTER::setCondition(short bits, int set)
{
    const short raised = applyCondition(bits, set);
    if (set) {
        m_group->setCondition(bits, 1);
    } else {
        // Read after our own change: of two registers cleared at once, the later one sees
        // the other's change, so a group bit never outlives all three holders.
        short held = 0;
        for (int i = 1; i < Count; ++i) {
            if (&m_siblings[i] != this)
                held = short(held | m_siblings[i].condition());
        }
        const short release = short(bits & ~held);
        if (release)
            m_group->setCondition(release, 0);
    }
    if (raised)
        m_instrument->setCondition(short(1 << number()), 1);
    return raised;
}

} // namespace zo4882
