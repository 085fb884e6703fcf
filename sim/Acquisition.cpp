#include "sim/Acquisition.h"

#include <algorithm>

namespace sim {

void Acquisition::initiate(qint64 nowUs, const Settings &settings)
{
    m_records.clear();
    m_settings = settings;
    m_settings.count = std::clamp(settings.count, 1, Capacity);
    m_settings.delayUs = std::max<qint64>(settings.delayUs, 0);
    m_settings.intervalUs = std::max<qint64>(settings.intervalUs, 1);
    m_settings.apertureUs = std::max<qint64>(settings.apertureUs, 1);
    m_armed = true;
    m_waiting = true;
    if (m_settings.immediate)
        trigger(nowUs);
}

void Acquisition::trigger(qint64 nowUs)
{
    if (!waitingForTrigger())
        return;
    m_waiting = false;
    const qint64 first = m_settings.interval ? m_settings.intervalUs : m_settings.apertureUs;
    m_dueUs = nowUs + m_settings.delayUs + first;
}

void Acquisition::abort()
{
    m_armed = false;
    m_waiting = false;
}

std::optional<qint64> Acquisition::nextDue() const
{
    if (!running())
        return std::nullopt;
    return m_dueUs;
}

void Acquisition::takeDue(const Record &record)
{
    add(record);
    if (!m_armed)
        return;
    if (m_settings.interval)
        m_dueUs += m_settings.intervalUs;
    else if (m_settings.immediate)
        m_dueUs += m_settings.apertureUs;
    else
        m_waiting = true;
}

void Acquisition::append(const Record &record)
{
    add(record);
}

void Acquisition::add(const Record &record)
{
    if (m_records.size() < Capacity)
        m_records.append(record);
    if (m_armed && m_records.size() >= m_settings.count) {
        m_armed = false;
        m_waiting = false;
    }
}

quint32 Acquisition::word(quint32 index) const
{
    const quint32 r = index / 16;
    if (r >= quint32(m_records.size()))
        return 0;
    return m_records.at(int(r))[index % 16];
}

void Acquisition::reset()
{
    m_records.clear();
    m_armed = false;
    m_waiting = false;
}

} // namespace sim
