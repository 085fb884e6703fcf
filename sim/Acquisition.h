#pragma once

#include <QVector>
#include <array>
#include <optional>

namespace sim {

// The trace area: records written since the last acquisition initiate. Times are monotonic
// microseconds. A trigger of an enabled source (or the initiate itself with the immediate
// source) starts sampling after the trigger delay:
// - interval sampling on: the whole series, record k due at start + (k + 1) * interval;
// - off, immediate source: records back to back, each one aperture long;
// - off, other sources: one record one aperture after the delay, then the acquisition waits
//   for the next trigger until the trigger count is reached.
class Acquisition
{
public:
    using Record = std::array<quint32, 16>;
    static constexpr int Capacity = 65536; // records the trace area holds

    // The trigger group as the initiate found it, converted to µs and records.
    struct Settings
    {
        bool immediate = true;
        bool interval = false;
        qint64 delayUs = 0;
        int count = 1;
        qint64 intervalUs = 100000;
        qint64 apertureUs = 100000;
    };

    void initiate(qint64 nowUs, const Settings &settings);
    // A trigger of an enabled source; ignored unless the acquisition waits for one.
    void trigger(qint64 nowUs);
    void abort();

    bool waitingForTrigger() const { return m_armed && m_waiting; }
    bool running() const { return m_armed && !m_waiting; }
    // Time the next record is due, when one is.
    std::optional<qint64> nextDue() const;
    // The due record, measured over the aperture that ends at nextDue().
    void takeDue(const Record &record);
    // An injected record, outside any pacing.
    void append(const Record &record);

    int written() const { return m_records.size(); }
    // Word i of the trace area (0x80800000 + 4 i); records not written read as 0.
    quint32 word(quint32 index) const;
    void reset();

private:
    void add(const Record &record);

    QVector<Record> m_records;
    Settings m_settings;
    bool m_armed = false;
    bool m_waiting = false;
    qint64 m_dueUs = 0;
};

} // namespace sim
