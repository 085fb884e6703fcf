#pragma once

#include <QMetaObject>

#include <memory>

namespace vek {
class AcquireTrigger;
}

// The wait of the measurement queries (FETCh, READ, MEASure) for the end of the acquisition, in
// the parser thread. It listens from its construction on, so a completion between the caller's
// check (or initiate) and wait() is not missed; a signal that arrives while an acquisition is
// still initiated belongs to an earlier one and is passed over. What the signals write lives in
// a record shared with the connections, so a late signal never writes into a finished wait.
class MeasurementWait
{
public:
    enum Outcome {
        Ready, // the acquisition completed
        Aborted, // it was aborted (ABORt, ABORt:ACQuire, a device clear, the panel)
        Deadlocked, // it can go on only after a bus trigger, which would queue behind this wait
        Interrupted, // the parser's waits were ended (device clear, shut-down)
    };

    explicit MeasurementWait(vek::AcquireTrigger *acquire);
    ~MeasurementWait();
    MeasurementWait(const MeasurementWait &) = delete;
    MeasurementWait &operator=(const MeasurementWait &) = delete;

    // Blocks until one of the outcomes; no time limit.
    Outcome wait();
    // Whether the acquisition now waits for a bus trigger alone (the tracker's view, which
    // *OPC? and *WAI share).
    static bool awaitsBusTrigger();
    // Whether a wait is in progress (any thread).
    static bool anyWaiting();

private:
    struct Flags;

    vek::AcquireTrigger *const m_acquire;
    const std::shared_ptr<Flags> m_flags;
    const unsigned m_interrupts;
    QMetaObject::Connection m_ready;
    QMetaObject::Connection m_aborted;
};
