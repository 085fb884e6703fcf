#include "commands/MeasurementWait.h"

#include "engine/AcquireTrigger.h"
#include "remote/ZO4882Opc.h"

#include <QMutex>
#include <QScopeGuard>
#include <QWaitCondition>

#include <atomic>

namespace {

// How often the wait looks at the tracker for a deadlock or an interruption.
constexpr unsigned long PollMs = 10;

std::atomic<int> s_waiting { 0 }; // waits in progress

} // namespace

struct MeasurementWait::Flags
{
    QMutex mutex; // guards ready and aborted
    QWaitCondition changed;
    bool ready = false;
    bool aborted = false;
};

MeasurementWait::MeasurementWait(vek::AcquireTrigger *acquire)
    : m_acquire(acquire)
    , m_flags(std::make_shared<Flags>())
    , m_interrupts(zo4882::s_opc.interruptCount())
{
    // Direct: the functions run in the acquisition's (GUI) thread as it signals, where its
    // initiated flag is already down for the acquisition that ended.
    const auto note = [acquire, flags = m_flags](bool ready) {
        return [acquire, flags, ready] {
            if (acquire->isInitiated())
                return;
            QMutexLocker lock(&flags->mutex);
            (ready ? flags->ready : flags->aborted) = true;
            flags->changed.wakeAll();
        };
    };
    m_ready = QObject::connect(acquire, &vek::AcquireTrigger::readyFetch, note(true));
    m_aborted = QObject::connect(acquire, &vek::AcquireTrigger::measAborted, note(false));
}

MeasurementWait::~MeasurementWait()
{
    QObject::disconnect(m_ready);
    QObject::disconnect(m_aborted);
}

bool MeasurementWait::anyWaiting()
{
    return s_waiting.load() > 0;
}

MeasurementWait::Outcome MeasurementWait::wait()
{
    s_waiting.fetch_add(1);
    const auto done = qScopeGuard([] {
        s_waiting.fetch_sub(1);
    });
    QMutexLocker lock(&m_flags->mutex);
    for (;;) {
        if (m_flags->aborted)
            return Aborted;
        if (m_flags->ready)
            return Ready;
        if (zo4882::s_opc.interruptCount() != m_interrupts)
            return Interrupted;
        if (awaitsBusTrigger())
            return Deadlocked;
        m_flags->changed.wait(&m_flags->mutex, PollMs);
    }
}

bool MeasurementWait::awaitsBusTrigger()
{
    const unsigned acquisition = zo4882::ZO4882Opc::Acquisition;
    return zo4882::s_opc.getPendings() & zo4882::s_opc.getAwaitingBusTrigger() & acquisition;
}
