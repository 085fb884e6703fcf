#include "commands/ValueOfTwins.h"

ValueOfTwins::ValueOfTwins(unsigned id)
    : zostd::ZOValue_real64_t(id)
{ }

void ValueOfTwins::linkTwins(ValueOfTwins *immediate, ValueOfTwins *triggered)
{
    immediate->m_twin = triggered;
    triggered->m_twin = immediate;
}
