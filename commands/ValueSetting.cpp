#include "commands/ValueSetting.h"

#include "instrument/ModelInformation.h"

ValueRealSetting::ValueRealSetting(unsigned id, Setter set, Getter get, Entry entry)
    : ValueOfTwins(id)
    , m_set(std::move(set))
    , m_get(std::move(get))
    , m_entry(std::move(entry))
{ }

ValueRealSetting::ValueRealSetting(unsigned id, Setter set, Getter get, double min, double max)
    : ValueOfTwins(id)
    , m_set(std::move(set))
    , m_get(std::move(get))
{
    setLimits(min, max);
    setRangeCheck(min != max);
}

double ValueRealSetting::getMin() const
{
    const BoundValue *entry = m_entry ? m_entry() : nullptr;
    return entry ? entry->m_min : ValueOfTwins::getMin();
}

double ValueRealSetting::getMax() const
{
    const BoundValue *entry = m_entry ? m_entry() : nullptr;
    return entry ? entry->m_max : ValueOfTwins::getMax();
}

ValueSwitchSetting::ValueSwitchSetting(unsigned id, Setter set, Getter get)
    : zostd::ZOValue_bool8_t(id)
    , m_set(std::move(set))
    , m_get(std::move(get))
{ }

int ValueSwitchSetting::setValue(const unsigned char &on)
{
    if (on > 1)
        return -222;
    return m_set(on != 0);
}

ValueIntSetting::ValueIntSetting(unsigned id, Setter set, Getter get)
    : zostd::ZOValue_int32_t(id)
    , m_set(std::move(set))
    , m_get(std::move(get))
{ }

ValueAction::ValueAction(unsigned id, Action action)
    : zostd::ZONullValue(id)
    , m_action(std::move(action))
{ }

int ValueAction::commit()
{
    return m_action();
}
