#pragma once

#include <QVector>
#include <array>
#include <optional>

namespace sim {

// The trace area: records written since the last acquisition initiate, paced by the
// acquisition timer. Record k of an acquisition is due at start + (k + 1) * interval, where
// start is the trigger time plus the trigger delay; times are monotonic microseconds.
class Acquisition
{
public:
    using Record = std::array<quint32, 16>;
    static constexpr int Capacity = 65536; // records the trace area holds

    // Initiate with the trigger group's delay, count and timer already converted to µs/records.
    // Triggered at once when immediate is set; otherwise waits for trigger().
    void initiate(qint64 nowUs, bool immediate, qint64 delayUs, int count, qint64 intervalUs);
    void trigger(qint64 nowUs);
    void abort();

    bool waitingForTrigger() const { return m_armed && !m_triggered; }
    bool running() const { return m_armed && m_triggered && m_records.size() < m_count; }
    // Time the next record is due, when one is.
    std::optional<qint64> nextDue() const;
    // Adds a record: the due one of a running acquisition, or an injected one.
    void append(const Record &record);

    int written() const { return m_records.size(); }
    // Word i of the trace area (0x80800000 + 4 i); records not written read as 0.
    quint32 word(quint32 index) const;
    void reset();

private:
    QVector<Record> m_records;
    bool m_armed = false;
    bool m_triggered = false;
    int m_count = 1;
    qint64 m_startUs = 0;
    qint64 m_intervalUs = 100000;
    qint64 m_delayUs = 0;
};

} // namespace sim
