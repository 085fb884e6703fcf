#include "sim/Acquisition.h"

#include <algorithm>

namespace sim {

void Acquisition::initiate(
    qint64 nowUs, bool immediate, qint64 delayUs, int count, qint64 intervalUs)
{
    m_records.clear();
    m_armed = true;
    m_triggered = false;
    m_count = std::clamp(count, 1, Capacity);
    m_delayUs = std::max<qint64>(delayUs, 0);
    m_intervalUs = std::max<qint64>(intervalUs, 1);
    if (immediate)
        trigger(nowUs);
}

void Acquisition::trigger(qint64 nowUs)
{
    if (!m_armed || m_triggered)
        return;
    m_triggered = true;
    m_startUs = nowUs + m_delayUs;
}

void Acquisition::abort()
{
    m_armed = false;
    m_triggered = false;
}

std::optional<qint64> Acquisition::nextDue() const
{
    if (!running())
        return std::nullopt;
    return m_startUs + (qint64(m_records.size()) + 1) * m_intervalUs;
}

void Acquisition::append(const Record &record)
{
    if (m_records.size() < Capacity)
        m_records.append(record);
    if (m_armed && m_triggered && m_records.size() >= m_count)
        m_armed = false;
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
    m_triggered = false;
}

} // namespace sim
