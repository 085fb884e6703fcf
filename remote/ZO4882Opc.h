#pragma once

#include <QMutex>
#include <QWaitCondition>

namespace zo4882 {

// What *OPC and *OPC? have asked of the tracker.
enum ZO_OPC_STATE_ENUM : int {
    OPC_IDLE = 0,
    OPC_ARMED = 1, // *OPC: the last completion latches the operation-complete event
    OPC_WAITING = 2, // *OPC? waits in the parser thread
};

// Pending overlapped operations for *OPC, *OPC? and *WAI, one bit of a 32-bit mask each (the
// acquisition is 0x4). The engine reports every start, completion and abort whatever the state,
// and marks an operation while it can go on only after a bus trigger (*TRG or a group execute
// trigger), which would queue behind a waiting *OPC? or *WAI. Every member is thread-safe.
class ZO4882Opc
{
public:
    enum WaitResult {
        Completed, // nothing is pending (any more): completed or aborted
        Deadlocked, // a pending operation waits for a bus trigger
        Interrupted, // interruptWaits(): a device clear
    };

    // Operation bit of a triggered acquisition.
    static constexpr unsigned Acquisition = 0x4;

    void changeState(ZO_OPC_STATE_ENUM state);
    ZO_OPC_STATE_ENUM getState() const;

    // Each bit becomes pending and stops being complete.
    void initiate(unsigned bits);
    // Each bit stops being pending and complete, and stops waiting for a bus trigger; the state
    // returns to idle, so an armed *OPC sets no event.
    void abort(unsigned bits);
    // Each bit stops being pending and becomes complete. When nothing is pending any more, an
    // armed *OPC latches the operation-complete event and the state returns to idle; while other
    // operations are pending the state is kept, so their completion still latches it.
    void complete(unsigned bits);
    // Marks pending operations that can go on only after a bus trigger (awaiting), or unmarks them.
    void setAwaitingBusTrigger(unsigned bits, bool awaiting);

    unsigned getPendings() const;
    unsigned getCompletes() const;
    unsigned getAwaitingBusTrigger() const;

    // *OPC: with an operation pending, arms the tracker so that the last completion latches the
    // operation-complete event; otherwise latches it at once. The check and the arming are one
    // step, so a completion in between cannot be missed. Returns true when latched at once.
    bool armOrLatch();

    // *OPC? (waitState OPC_WAITING) and *WAI (OPC_IDLE, the state is not touched): blocks until
    // nothing is pending. Never blocks on an operation that waits for a bus trigger (Deadlocked)
    // and ends on interruptWaits(). An idle state becomes waitState while the call blocks.
    WaitResult waitUntilComplete(ZO_OPC_STATE_ENUM waitState);

    // Ends every wait in progress with Interrupted (device clear); later waits are not affected.
    void interruptWaits();
    // How often interruptWaits() was called: a wait of its own that saw this number change
    // has been interrupted.
    unsigned interruptCount() const;

    // The power-on state: idle, nothing pending, complete or awaiting a trigger.
    void reset();

private:
    static void latchOperationComplete();

    // Guards every field below; held only for the fields, never while the event is latched.
    mutable QMutex m_mutex;
    QWaitCondition m_changed; // woken on every change of the fields below
    ZO_OPC_STATE_ENUM m_state = OPC_IDLE;
    unsigned m_pendings = 0;
    unsigned m_completes = 0;
    unsigned m_awaitingBusTrigger = 0;
    unsigned m_interrupts = 0; // counts interruptWaits()
};

// The process-wide tracker shared by the acquisition and the *OPC, *OPC? and *WAI handlers.
extern ZO4882Opc s_opc;

} // namespace zo4882
