#include "remote/ZO_STAT_REGISTER.h"

#include "remote/ZO_STB_REGISTER.h"

namespace zo4882 {

ZO_STAT_REGISTER::ZO_STAT_REGISTER(ZO_STB_REGISTER *parent, unsigned char summaryBit)
    : ZO_REGISTER_TMPL<short>(summaryBit, short(0xFFFF))
    , m_parent(parent)
{ }

short ZO_STAT_REGISTER::setCondition(short bits, int set)
{
    const short raised = applyCondition(bits, set);
    if (raised)
        m_parent->setCondition(static_cast<unsigned char>(summary()), 1);
    return raised;
}

short ZO_STAT_REGISTER::getEvent()
{
    const short event = takeEvent();
    m_parent->setCondition(static_cast<unsigned char>(summary()), 0);
    return event;
}

} // namespace zo4882
