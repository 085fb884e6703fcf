#include "remote/ZO_STAT_INST_REGISTER.h"

#include "remote/ZO_STAT_REGISTER.h"

namespace zo4882 {

ZO_STAT_INST_REGISTER::ZO_STAT_INST_REGISTER(ZO_STAT_REGISTER *group)
    : ZO_REGISTER_TMPL<short>(quint32(SummaryBit), short(0xFFFF))
    , m_group(group)
{ }

short ZO_STAT_INST_REGISTER::setCondition(short bits, int set)
{
    const short raised = applyCondition(bits, set);
    if (raised)
        m_group->setCondition(SummaryBit, 1);
    return raised;
}

short ZO_STAT_INST_REGISTER::getEvent()
{
    const short event = takeEvent();
    m_group->setCondition(SummaryBit, 0);
    return event;
}

} // namespace zo4882
