#include "remote/ZO4882Opc.h"

#include "remote/StatusRegisters.h"

namespace zo4882 {

ZO4882Opc s_opc;

void ZO4882Opc::changeState(ZO_OPC_STATE_ENUM state)
{
    QMutexLocker lock(&m_mutex);
    m_state = state;
    m_changed.wakeAll();
}

ZO_OPC_STATE_ENUM ZO4882Opc::getState() const
{
    QMutexLocker lock(&m_mutex);
    return m_state;
}

void ZO4882Opc::initiate(unsigned bits)
{
    QMutexLocker lock(&m_mutex);
    m_pendings |= bits;
    m_completes &= ~bits;
    m_changed.wakeAll();
}

void ZO4882Opc::abort(unsigned bits)
{
    QMutexLocker lock(&m_mutex);
    m_pendings &= ~bits;
    m_completes &= ~bits;
    m_awaitingBusTrigger &= ~bits;
    m_state = OPC_IDLE;
    m_changed.wakeAll();
}

void ZO4882Opc::complete(unsigned bits)
{
    bool latch = false;
    {
        QMutexLocker lock(&m_mutex);
        m_pendings &= ~bits;
        m_completes |= bits;
        m_awaitingBusTrigger &= ~bits;
        if (m_pendings == 0) {
            latch = m_state == OPC_ARMED && m_completes != 0;
            m_state = OPC_IDLE;
        }
        m_changed.wakeAll();
    }
    if (latch)
        latchOperationComplete();
}

void ZO4882Opc::setAwaitingBusTrigger(unsigned bits, bool awaiting)
{
    QMutexLocker lock(&m_mutex);
    if (awaiting)
        m_awaitingBusTrigger |= bits;
    else
        m_awaitingBusTrigger &= ~bits;
    m_changed.wakeAll();
}

unsigned ZO4882Opc::getPendings() const
{
    QMutexLocker lock(&m_mutex);
    return m_pendings;
}

unsigned ZO4882Opc::getCompletes() const
{
    QMutexLocker lock(&m_mutex);
    return m_completes;
}

unsigned ZO4882Opc::getAwaitingBusTrigger() const
{
    QMutexLocker lock(&m_mutex);
    return m_awaitingBusTrigger;
}

bool ZO4882Opc::armOrLatch()
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_pendings != 0) {
            m_state = OPC_ARMED;
            return false;
        }
    }
    latchOperationComplete();
    return true;
}

ZO4882Opc::WaitResult ZO4882Opc::waitUntilComplete(ZO_OPC_STATE_ENUM waitState)
{
    QMutexLocker lock(&m_mutex);
    // Taken under the same mutex as every change, so nothing between this check and the wait
    // can be missed: QWaitCondition releases the mutex only once the waiter is enqueued.
    const unsigned interrupts = m_interrupts;
    bool setState = false;
    if (m_pendings != 0 && m_state == OPC_IDLE && waitState != OPC_IDLE) {
        m_state = waitState;
        setState = true;
    }
    WaitResult result = Completed;
    for (;;) {
        if (m_interrupts != interrupts) {
            result = Interrupted;
            break;
        }
        if (m_pendings == 0) {
            result = Completed;
            break;
        }
        if (m_pendings & m_awaitingBusTrigger) {
            result = Deadlocked;
            break;
        }
        m_changed.wait(&m_mutex);
    }
    if (setState && m_state == waitState)
        m_state = OPC_IDLE;
    return result;
}

void ZO4882Opc::interruptWaits()
{
    QMutexLocker lock(&m_mutex);
    ++m_interrupts;
    m_changed.wakeAll();
}

unsigned ZO4882Opc::interruptCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_interrupts;
}

void ZO4882Opc::reset()
{
    QMutexLocker lock(&m_mutex);
    m_state = OPC_IDLE;
    m_pendings = 0;
    m_completes = 0;
    m_awaitingBusTrigger = 0;
    m_changed.wakeAll();
}

// Setting and clearing the condition latches the event through the positive filter.
void ZO4882Opc::latchOperationComplete()
{
    s_esr.setCondition(ZO_ESR_REGISTER::OperationComplete, 1);
    s_esr.setCondition(ZO_ESR_REGISTER::OperationComplete, 0);
}

} // namespace zo4882
