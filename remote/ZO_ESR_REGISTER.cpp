#include "remote/ZO_ESR_REGISTER.h"

#include "remote/ZO_STB_REGISTER.h"

namespace zo4882 {

ZO_ESR_REGISTER::ZO_ESR_REGISTER(ZO_STB_REGISTER *parent)
    : ZO_REGISTER_TMPL<unsigned char>(ZO_STB_REGISTER::EventSummary, 0xFF)
    , m_parent(parent)
{ }

unsigned char ZO_ESR_REGISTER::setCondition(unsigned char bits, int set)
{
    const unsigned char raised = applyCondition(bits, set);
    if (raised)
        m_parent->setCondition(ZO_STB_REGISTER::EventSummary, 1);
    return raised;
}

unsigned char ZO_ESR_REGISTER::getEvent()
{
    const unsigned char event = takeEvent();
    m_parent->setCondition(ZO_STB_REGISTER::EventSummary, 0);
    return event;
}

} // namespace zo4882
