#pragma once

#include "commands/keywords/KeywordsSource.h"
#include "engine/EngineTypes.h"
#include "engine/ioc/IoControl.h"

#include <QMutex>
#include <QObject>
#include <QStateMachine>
#include <QWaitCondition>

#include <atomic>

class QFinalState;
class QState;

namespace vek {

// Turns the controller's status words and cut-off bytes, as both links report them, into the
// engine's state: load, operation indicator, slave and mutual-sync link, external inputs,
// protections and the run state of a transient, each announced by a signal. Keeps the
// condition registers STATus:OPERation and STATus:QUEStionable up to date.
//
// Threads: the engine root moves the object to a thread of its own, where the two input slots
// run queued. The run-state machine has no parent and stays in the thread that built the
// object (the GUI thread): the state signals (stateIdle ... stateProgWaiting) and
// alarmToneRequested are emitted there. The getters may be called from any thread.
class Status : public QObject
{
    Q_OBJECT

public:
    // The operation indicator: the regulation mode while the load is on, or the limit in force.
    enum StatusOperation {
        OperationNone = 0,
        OperationCC = 1,
        OperationCR = 2,
        OperationCV = 3,
        OperationCP = 4,
        OperationOverCurrent = 5,
        OperationOverPower = 6,
        OperationUnderVoltage = 7,
    };
    Q_ENUM(StatusOperation)

    // Status word bits of the protections (0x5FF0E0 in all); the 0x20 .. 0xC0 values are
    // codes of the three-bit alarm field, not single bits.
    enum StatusProtection : quint32 {
        NonAlarm = 0,
        AlarmFront = 0x100000,
        AlarmExternal = 0x80000,
        AlarmOverTemperature = 0x40000,
        AlarmReverse = 0x20000,
        AlarmOverVoltage = 0x10000,
        AlarmACFail = 0x20,
        AlarmParaSlaveOverTemperature = 0x40,
        AlarmParaCommunication = 0x60,
        AlarmParaFront = 0x80,
        AlarmParaMasterLost = 0xA0,
        AlarmOther = 0xC0,
        ProtectWatchdog = 0x8000,
        ProtectUnderVoltage = 0x4000,
        ProtectOverPower = 0x402000,
        ProtectOverCurrent = 0x401000,
    };
    Q_DECLARE_FLAGS(StatusProtections, StatusProtection)

    // The current range forced by the external range input (status bits 8-9), as reported.
    enum ExternalRange : quint32 {
        ExternalRangeNone = 0,
        ExternalRangeLow = 0x100,
        ExternalRangeMedium = 0x200,
        ExternalRangeHigh = 0x300,
    };
    Q_ENUM(ExternalRange)

    // writer: the writer link, whose program commands move the run-state machine. Builds and
    // starts the machine; it reaches the idle state once this thread's event loop runs.
    explicit Status(ioc::IoControl *writer);
    // Destroy in the thread that built the object (the machine's), after its own thread ended.
    ~Status() override;

    // Stores the polarity of the external load input (NEG inverts it); a change reports the
    // input again as extLoadChanged(level, true), emitted in the caller's thread. Always 0.
    SCPIERR_T setOutputExternalLogic(KeywordBridge_PosNeg::values logic);

    // --- Read from any thread ---
    bool loadOn() const { return m_load; }
    bool slave() const { return m_slave; }
    // The mutual-sync link is established (status bit 26).
    bool linkOn() const { return m_link; }
    // The last status word had the protection bit (a protection or alarm holds the load off).
    bool protectionActive() const { return m_protectionActive; }
    StatusOperation operationStatus() const { return m_operation; }
    StatusProtections protections() const { return StatusProtections(int(m_protections.load())); }
    ExternalRange externalRange() const { return m_extRange; }
    KeywordBridge_PosNeg::values outputExternalLogic() const { return m_extLogic; }
    bool waiting() const { return m_waiting; }

    // A load switch locks loadMutex(), commands the load and waits on loadCondition(); every
    // processed status word updates the load state and wakes all waiters under the mutex.
    QMutex &loadMutex() { return m_loadMutex; }
    QWaitCondition &loadCondition() { return m_loadCondition; }

public Q_SLOTS:
    // From both links' statusChanged.
    void onStatusChange(unsigned int status, ioc::IoControl::InitiateTranState initTranState);
    // From both links' cutoffChanged.
    void onCutoffChange(unsigned int cutoff);
    // From the monitor link's transientAddressChanged: the step node last reported, announced
    // with stateProgIdle when a program run ends.
    void onTransientAddressChange(unsigned int address);

Q_SIGNALS:
    void loadChanged(bool on);
    void operationStatusChanged(vek::Status::StatusOperation status);
    // Inputs of the run-state machine.
    void protectOccurred();
    void abortOccurred();
    void activeOccurred();
    void wtgOccurred();
    // Status bits 22 and 10 are no longer both set.
    void extAlarmCleared();
    // on: the external load input with the polarity applied; flagOnly: the first report or a
    // polarity change, not a change of the input.
    void extLoadChanged(bool on, bool flagOnly);
    void extCurrentRangeChanged(vek::Status::ExternalRange range);
    // Run-state machine signals, emitted in the machine's thread.
    void stateProtected(vek::Status::StatusProtections protections);
    void stateIdle();
    void stateProgIdle(unsigned int address);
    void stateProgRunning();
    void stateProgPause();
    void stateProgWaiting(bool isProgStep);
    // The panel's continuous alarm tone: on when the protected state is entered, off when the
    // idle state is. Emitted in the machine's thread.
    void alarmToneRequested(bool on);
    void slaveChanged(bool slave);
    // Every status word with bit 25 set.
    void slaveDetected();
    void linkChanged(bool linkOn);
    void cutoffETimeOccurred(bool status);
    void cutoffVoltageOccurred(bool status);
    void cutoffCapacityOccurred(bool status);
    void cutoffEnergyOccurred(bool status);

private:
    void createStates();
    void createTransitions();
    void createEntryActions();

    // Entry actions; they run in the machine's thread.
    void onProtectedEntered();
    void onIdleEntered();
    void onRunningEntered();
    void onPausedEntered();
    void onWaitingEntered();

    void updateConditionRegisters(quint32 status);

    // Written only by onStatusChange (the object's thread), read from any thread.
    std::atomic<bool> m_load { false };
    std::atomic<bool> m_slave { false };
    std::atomic<bool> m_link { false };
    std::atomic<bool> m_protectionActive { false };
    std::atomic<StatusOperation> m_operation { OperationNone };
    std::atomic<quint32> m_protections { NonAlarm };
    std::atomic<ExternalRange> m_extRange { ExternalRangeNone };
    std::atomic<bool> m_extLoadInput { true }; // raw level of status bit 23
    std::atomic<bool> m_waiting { false };
    std::atomic<ioc::IoControl::InitiateTranState> m_lastTranState {
        ioc::IoControl::TranStateSteady
    };
    std::atomic<quint32> m_currNodeAdr { 0 };
    // Written by setOutputExternalLogic from any thread.
    std::atomic<KeywordBridge_PosNeg::values> m_extLogic { KeywordBridge_PosNeg::POS };

    // Touched only by onStatusChange.
    bool m_protectionLatched = false;
    bool m_alarmReleased = false;
    bool m_firstReport = true;

    // Touched only by the entry actions, in the machine's thread.
    bool m_inProgramStep = false;

    ioc::IoControl *const m_writer;

    // No Qt parent: stays in the constructing thread when the object is moved. Owns the states.
    QStateMachine m_machine;
    QState *m_start = nullptr;
    QState *m_normal = nullptr;
    QState *m_protected = nullptr;
    QState *m_idle = nullptr;
    QState *m_running = nullptr;
    QState *m_paused = nullptr;
    QState *m_waitingState = nullptr;
    QFinalState *m_final = nullptr;

    // Guards nothing but the order of a load update against a waiting load switch
    // (m_load itself is atomic); used with m_loadCondition.
    QMutex m_loadMutex;
    QWaitCondition m_loadCondition;
};

} // namespace vek

Q_DECLARE_OPERATORS_FOR_FLAGS(vek::Status::StatusProtections)
Q_DECLARE_METATYPE(vek::Status::StatusProtections)
