#pragma once

#include "engine/EngineTypes.h"
#include "engine/ioc/IoControl.h"

#include <QObject>
#include <QStateMachine>

#include <atomic>

class DataLogger;
class ModelInformation;
class QFinalState;
class QState;

namespace zo4882 {
class ZO4882Opc;
}

namespace vek {

// What gates the capacity and energy integrals.
enum integralGate { IntegralGateNone = 0, IntegralGateLoadOn = 1, IntegralGateProgramRun = 2 };

// Triggered data acquisition: the acquisition trigger settings (sources, delay, count, interval
// timer, sense aperture, as counts of the model's sampling base period), the integral gate, the
// items of the measurement view; initiate, trigger and abort at the controller; the measurement
// records of an acquisition go into the record logger. A state machine drives STATus:OPERation
// (16 measuring, 32 waiting for a trigger, 2048 new records) and the signals the FETCh and *WAI
// handlers and the measurement screen wait for.
//
// Threads. Built and living in the GUI thread: the state machine, its entry actions and
// onDataUpdate run there. The operations run in the caller's thread (GUI or parser); each runs
// check -> send -> store under the engine mutex, which is released before the logger is cleared
// and before waiting for the monitor link (both may wait for another thread): initiate(),
// abort() and msync() are therefore called with the engine mutex not held.
// The operation-complete tracker learns of the acquisition (operation 0x4) from the call itself,
// so that the next command of the same message sees it: an initiate makes it pending (waiting
// for a bus trigger while only BUS can trigger it), the last batch completes it, abort aborts it.
// Lifetime: the links and the logger outlive the object; stop the monitor link and deliver its
// queued batches before destroying it.
class AcquireTrigger : public QObject
{
    Q_OBJECT

public:
    enum displayItem { none = 0, eTime = 1, capacity = 2, energy = 4 };
    Q_DECLARE_FLAGS(displayItems, displayItem)
    using TrigAcquireSource = ioc::IoControl::TrigAcquireSource;
    using TrigAcquireSources = ioc::IoControl::TrigAcquireSources;

    // Error numbers of the operations.
    static constexpr SCPIERR_T TriggerIgnored = -211;
    static constexpr SCPIERR_T InitIgnored = -213;
    static constexpr SCPIERR_T MSyncNotEstablished = 110;
    static constexpr SCPIERR_T MeasureInProgress = 112;

    // Stores the immediate source and interval sampling off without sending them (the power-on
    // setting does), then sends count 1, integral gate "load on" with auto reset, timer and
    // aperture 0.1 s. The machine starts once this thread's event loop runs, and enters the
    // aborted state (measAborted, measUiAborted) at once.
    AcquireTrigger(ioc::IoControl *writer,
        ioc::IoControl *monitor,
        const ModelInformation *model,
        DataLogger *logger);
    ~AcquireTrigger() override;

    // Clears the logger, starts the acquisition and returns once the monitor link has sent the
    // start. -221 with interval sampling on and an aperture longer than the interval; -213
    // while measuring.
    SCPIERR_T initiate();
    SCPIERR_T abort();
    // Bus trigger. -213 unless measuring; -211 when already triggered or BUS is no source.
    SCPIERR_T trigger();
    // Mutual-sync trigger. 110 without the mutual-sync link; else as trigger() for MSYNC.
    SCPIERR_T msync();

    // Settings: 112 while measuring; -222 outside the limits (NaN included).
    SCPIERR_T setTriggerSources(TrigAcquireSources sources); // empty: -224
    SCPIERR_T setTriggerIntervalState(bool on);
    SCPIERR_T setTriggerDelay(double seconds); // 0 .. 100 s
    SCPIERR_T setTriggerCount(unsigned n); // 1 .. 65536
    SCPIERR_T setTriggerTimer(double seconds); // the measurement minimum .. 3600 s
    SCPIERR_T setSenseAperture(double seconds); // the measurement minimum .. maximum
    // Accepted at any time.
    SCPIERR_T integralReset();
    SCPIERR_T integralStart();
    SCPIERR_T integralStop();
    SCPIERR_T setIntegralGate(integralGate gate); // outside 0 .. 2: -224
    // While the gate is "program run" the choice is stored and sent with the next gate.
    SCPIERR_T setIntegralGateAutoResetState(bool on);
    SCPIERR_T setViewDisplayItems(displayItems items);

    // --- Read from any thread ---
    TrigAcquireSources triggerSources() const { return TrigAcquireSources(int(m_sources.load())); }
    bool triggerIntervalState() const { return m_intervalState; }
    quint32 triggerDelayCount() const { return m_delayCount; }
    unsigned triggerCount() const { return m_triggerCount; }
    quint32 triggerTimerCount() const { return m_timerCount; }
    quint32 senseApertureCount() const { return m_apertureCount; }
    // The same in seconds.
    double triggerDelay() const;
    double triggerTimer() const;
    double senseAperture() const;
    integralGate getIntegralGate() const { return m_integralGate; }
    bool integralGateAutoResetState() const { return m_integralAutoReset; }
    displayItems viewDisplayItems() const { return displayItems(int(m_displayItems.load())); }
    // Measuring: initiated and not yet complete or aborted (also while waiting for a trigger).
    bool isInitiated() const { return m_initiated; }
    bool isTriggered() const { return m_triggered; }

public Q_SLOTS:
    // From the monitor link's dataUpdated: takes and frees the batch. remaining: samples still
    // to come.
    void onDataUpdate(QVector<ioc::TRACE_DATA> *data, int remaining);
    // From the monitor link's acqTriggered: the controller no longer waits for a trigger.
    // Becomes triggered() while the acquisition the machine was last told of is measuring; a
    // report left over from an abort (which also ends the wait) is dropped.
    void onAcqTriggered();

Q_SIGNALS:
    void initchanged(bool measuring);
    void measInitiated();
    void measImmediated();
    void measTriggered();
    void measAborted();
    void readyFetch();
    void measUiAborted();
    void measUiComplete();
    void measDataUpdated(int remaining);
    void displayItemsChanged(vek::AcquireTrigger::displayItems items);
    // Transitions of the state machine.
    void initiated();
    void waited();
    void triggered();
    void aborted();
    void completed();

private:
    void createStates();
    void createTransitions();
    void createEntryActions();

    // Entry actions, in the GUI thread.
    void onIdle();
    void onComplete();
    void onAbort();
    void onInitiate();
    void onImmediate();
    void onTrigger();
    void onWaitTrigger();

    SCPIERR_T setTime(double seconds,
        double min,
        double max,
        void (ioc::IoControl::*send)(uint),
        std::atomic<quint32> *stored);
    // seconds -> counts of the sampling base period, when within [min, max]; else -222.
    SCPIERR_T toCounts(double seconds, double min, double max, quint32 *counts) const;
    double toSeconds(quint32 counts) const;
    // Only a bus trigger can go on (not one the controller detects by itself).
    bool waitsForBusOnly() const;
    // GUI thread: tells the machine of initiate number run.
    void armMachine(quint64 run, bool immediate);
    void sendIntegralCommand(ioc::IoControl::IntegralCommnd command);

    ioc::IoControl *const m_writer;
    ioc::IoControl *const m_monitor;
    const ModelInformation *const m_model;
    DataLogger *const m_logger;

    // Settings: written under the engine mutex, read from any thread.
    std::atomic<quint32> m_sources { ioc::IoControl::tasImmediate };
    std::atomic<bool> m_intervalState { false };
    std::atomic<quint32> m_delayCount { 0 };
    std::atomic<unsigned> m_triggerCount { 0 };
    std::atomic<quint32> m_timerCount { 0 };
    std::atomic<quint32> m_apertureCount { 0 };
    // Changed under the engine mutex: by initiate() (true), abort() and the last batch (false).
    std::atomic<bool> m_initiated { false };
    // Changed under the engine mutex: by initiate(), trigger(), msync(), a trigger the
    // controller reports and the wait for the next sample's trigger.
    std::atomic<bool> m_triggered { false };
    // Incremented under the engine mutex by every initiate() and abort(): an initiate that finds
    // it moved while the logger was cleared has been aborted meanwhile.
    quint64 m_runs = 0;
    // The run the machine was last told of (GUI thread; read under the engine mutex there).
    quint64 m_machineRun = 0;
    zo4882::ZO4882Opc *const m_opc;
    std::atomic<integralGate> m_integralGate { IntegralGateNone };
    std::atomic<bool> m_integralAutoReset { false };
    std::atomic<int> m_displayItems { none };

    // Records of the running acquisition added to the logger but not yet announced to its
    // views; GUI thread only.
    int m_dataPoint = 0;

    // No Qt parent: stays in the constructing (GUI) thread. Owns the states.
    QStateMachine m_machine;
    QState *m_init = nullptr;
    QState *m_idle = nullptr;
    QState *m_complete = nullptr;
    QState *m_aborted = nullptr;
    QState *m_initiatedState = nullptr;
    QState *m_immediate = nullptr;
    QState *m_triggeredState = nullptr;
    QState *m_waitTrigger = nullptr;
    QFinalState *m_final = nullptr;
};

} // namespace vek

Q_DECLARE_OPERATORS_FOR_FLAGS(vek::AcquireTrigger::displayItems)
Q_DECLARE_METATYPE(vek::AcquireTrigger::displayItems)
