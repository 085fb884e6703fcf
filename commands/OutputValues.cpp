#include "commands/OutputValues.h"

#include "engine/Basic.h"
#include "engine/Status.h"

namespace {

const ValueMakerRow s_rows[] = {
    { ValueOutp::Id, makeValue<ValueOutp> },
};

} // namespace

ValueOutp::ValueOutp(const ValueEngine &engine)
    : zostd::ZOValue_bool8_t(Id)
    , m_engine(engine)
{ }

int ValueOutp::setValue(const unsigned char &on)
{
    if (on > 1)
        return -222;
    return m_engine.basic->setOutput(on != 0);
}

unsigned char ValueOutp::getValue() const
{
    const bool on = m_engine.status ? m_engine.status->loadOn() : vek::Source::m_stateLoad.load();
    return on ? 1 : 0;
}

ValueFamilyTable outputValues()
{
    return familyTable(s_rows);
}
