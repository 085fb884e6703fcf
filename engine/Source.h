#pragma once

#include "commands/keywords/KeywordsProgram.h"
#include "commands/keywords/KeywordsSource.h"
#include "commands/keywords/KeywordsSystem.h"
#include "engine/EngineLock.h"
#include "engine/EngineTypes.h"
#include "engine/Status.h"
#include "engine/ioc/IoControl.h"

#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QWaitCondition>

#include <atomic>
#include <functional>

class ModelInformation;
struct InstrumentConfigInfo;

namespace vek {

using SourceMode = KeywordBridge_CcCrCvCpArb::values;
using SourceCurrentRange = KeywordBridge_LowMedHigh::values;
using SourceVoltageRange = KeywordBridge_LowHigh::values;
using TrigTransientSources = ioc::IoControl::TrigTransientSources;

// The base of the two engine objects that drive the load (the basic settings and the program
// object). The operating state of the load is class-wide: one state shared by both objects and
// read directly by the value objects, presets, setup files and screens.
//
// Setters run in the caller's thread (GUI or parser) and return an SCPI error number. Each
// runs as one EngineStep (engine/EngineLock.h): it checks the state in a fixed order, and only
// after its last check sets the writer link's registers, transfers and stores; its signals go
// out once the step has ended. A refusal leaves state and controller unchanged, and no two
// setters in two threads can both pass their checks against the same state.
// The class-wide state is read from several threads without the engine lock: every field is
// atomic. The fields that change together (pulse and sine state; the two trigger-source sets)
// change under stateMutex() too, so that no reader sees pulse and sine on at once.
class Source : public QObject
{
    Q_OBJECT

public:
    // writer, info, status and config must outlive the object; status may be null (then the
    // input slots are not connected). initialize() runs queued, once the constructing thread's
    // event loop runs.
    Source(ioc::IoControl *writer,
        ModelInformation *info,
        Status *status,
        InstrumentConfigInfo *config);
    ~Source() override;

    // --- Class-wide state (initial values as at power-on) ---
    // Every field is written under engineMutex().
    static std::atomic<SourceMode> m_functionMode; // CC
    static std::atomic<bool> m_functionModeCvOption; // false
    static std::atomic<SourceCurrentRange> m_currRange; // selected range; HIGH
    static std::atomic<SourceVoltageRange> m_voltRange; // HIGH
    // Range bits last reported in status bits 8-9 (0x100, 0x200, 0x300); the basic settings
    // write it. 0
    static std::atomic<quint32> m_extCurrIoRange;
    static std::atomic<bool> m_stateLoad; // load on as the status object reports; false
    static std::atomic<bool> m_load; // load on as last requested; false
    static std::atomic<bool> m_extLoad; // external load-on input as reported; true
    static std::atomic<bool> m_pulseState; // written under stateMutex(); false
    static std::atomic<bool> m_sineState; // written under stateMutex(); false
    static std::atomic<bool> m_outputShort; // false
    // External control of the CC, CR or CP level; false
    static std::atomic<bool> m_external;
    static std::atomic<bool> m_voltExternal; // external CV control; false
    static std::atomic<bool> m_ccAddExternal; // external control added to the CC level; false
    static std::atomic<double> m_ssTime; // s; 0.0
    static std::atomic<double> m_arbRespTime; // s; 0.0
    static std::atomic<KeywordBridge_NormFast::values> m_voltResponse; // NORM
    static std::atomic<KeywordBridge_NormFast::values> m_condResponse; // NORM
    static std::atomic<quint32> m_triggerDelay; // µs, next program start; 0
    static std::atomic<bool> m_watchDogStatus; // the communication watchdog tripped; false

    // The transient trigger sources of the next program start, and as handed to the link at
    // program start; both ttsImmediate initially.
    static TrigTransientSources triggerSources();
    static TrigTransientSources ioTriggerSources();
    static void setIoTriggerSources(TrigTransientSources sources);

    // Guards the writes of the fields that change together (pulse and sine state, the two
    // trigger-source sets). Taken after engineMutex(), before the shadow-register mutex; never
    // held while emitting or across transfer().
    static QMutex &stateMutex();

    // Puts the class-wide state back to its power-on values (start-up, tests).
    static void resetState();

    // The program object's run state (KeywordBridge_IdleWtgRun index 0 .. 3); a program runs
    // while it is not IDLE. The program object sets it.
    static void setProgramRunState(KeywordBridge_IdleWtgRun::values state);
    static KeywordBridge_IdleWtgRun::values programRunState();
    static bool programRunning();

    // Re-arms the parser's communication watchdog; clearProtection() calls it after a watchdog
    // trip. Handed down once at start-up; the default does nothing.
    using WatchdogRecovery = std::function<void()>;
    static void setWatchdogRecovery(WatchdogRecovery recovery);
    // Re-arms the watchdog through the recovery handed down (a reset does, tripped or not).
    static void recoverWatchdog();

    // --- Virtual operations (the basic settings override 2 .. 6, initialize and the inputs) ---
    virtual SCPIERR_T setCurrentRange(SourceCurrentRange range, updateTiming timing);
    virtual SCPIERR_T setVoltageRange(SourceVoltageRange range);
    virtual SCPIERR_T setFunctionMode(SourceMode mode);
    virtual SCPIERR_T setFunctionModeCvOption(bool on);
    // Bookkeeping only; nothing is sent.
    virtual SCPIERR_T setPulseState(bool on);
    virtual SCPIERR_T setSineState(bool on);
    // Takes the first table time at or above seconds.
    virtual SCPIERR_T setCurrentSSTime(double seconds);
    virtual SCPIERR_T setVoltageResponse(KeywordBridge_NormFast::values response);
    virtual SCPIERR_T setConductanceResponse(KeywordBridge_NormFast::values response);
    virtual SCPIERR_T setArbResponse(double seconds);

public Q_SLOTS:
    // Announces mode and ranges and connects the status object's inputs (once).
    virtual void initialize();
    virtual void onExtLoadChange(bool on, bool flagOnly);
    virtual void onExtAlarmClear();
    virtual void onExtCurrentRangeChange(vek::Status::ExternalRange range);
    // From the status object: emits outputUiChanged(on), then stores the load state (on while a
    // load switch on awaits its report).
    void onLoadChange(bool on);

public:
    // The effective current range: the selected one, or for HIGH the one the external range
    // input forces (0x100 LOW, 0x200 MED).
    static SourceCurrentRange getCurrentRange();
    // Effective current range, + 3 in the high voltage range (0 .. 5).
    static int getPowerRange();

    SCPIERR_T setRemoteSensing(bool on, updateTiming timing);
    // Re-applies the stored setting (timing Always).
    SCPIERR_T setRemoteSensing();
    // Set the reference mode bit for the present function mode; nothing is sent.
    void external(bool on);
    void voltageExternal(bool on);
    void currentAddExternal(bool on);
    SCPIERR_T setExternal(bool on);
    SCPIERR_T setVoltageExternal(bool on);
    SCPIERR_T setCurrentAddExternal(bool on);
    // Stored here, sent at the next program start.
    SCPIERR_T setTriggerSources(TrigTransientSources sources);
    // seconds 0 .. 100, kept in µs rounded half up; sent at the next program start.
    SCPIERR_T setTriggerDelay(double seconds);
    SCPIERR_T setDigital2Direction(const KeywordBridge_InpOutp::values &value, updateTiming timing);
    SCPIERR_T setDigital2Direction();
    // Forces the load off at once.
    SCPIERR_T setEmergencyOff();
    // Aborts the transient, clears the alarm and, after a watchdog trip, re-arms the watchdog.
    SCPIERR_T clearProtection();
    // Called by the parser's watchdog when no message arrived in time.
    SCPIERR_T setWatchdogProtection();
    static bool getWatchdogProtectiont() { return m_watchDogStatus; }
    // The same alarm without marking a watchdog trip (stop key during shut-down).
    SCPIERR_T setAcFailProtection();

    // --- Request hand-shake with a remote handler ---
    // Handler side (parser thread, no engine step open): calls emitRequest (which emits the
    // request signal; its slot must run queued in another thread), waits until finishRequest()
    // and returns the result, or -200 when interruptRequests() ended the wait first.
    SCPIERR_T runRequest(const std::function<void()> &emitRequest);
    // Slot side: stores result and wakes the waiting handler.
    void finishRequest(SCPIERR_T result);
    // Ends every request wait in progress (the parser's shut-down); later waits are not affected.
    static void interruptRequests();
    // How many times interruptRequests() has been called (for waits of their own).
    static quint64 requestInterrupts();

Q_SIGNALS:
    void operationModeChanged(vek::SourceMode mode, bool cvOption);
    // range: effective range; panelRange: selected range.
    void currRangeChanged(vek::SourceCurrentRange range, vek::SourceCurrentRange panelRange);
    void voltRangeChanged(vek::SourceVoltageRange range);
    void remoteSensingChanged(bool enable);
    void externalChanged(bool enable);
    void voltageExternalChanged(bool enable);
    void currentAddExternalChanged(bool enable);
    void outputUiChanged(bool on);

protected:
    // The checks, send and store of setFunctionMode(), in the caller's step, so that an
    // override's own checks go before these in the same step.
    SCPIERR_T applyFunctionMode(SourceMode mode, EngineStep &step);

    // Load switches on still waiting for the status object's report; while there is one, the
    // load counts as on (m_stateLoad). Written under engineMutex().
    static std::atomic<int> m_loadSwitchesOn;

    ioc::IoControl *const m_writer;
    ModelInformation *const m_info;
    Status *const m_status;
    InstrumentConfigInfo *const m_config;

private:
    // The hand-shake's class-wide lock, so that one interruption reaches every object's wait.
    struct RequestShake
    {
        QMutex mutex; // guards interrupts and every object's m_requestResult and m_requestDone
        QWaitCondition changed; // woken by an answer or an interruption
        quint64 interrupts = 0; // counts interruptRequests()
    };
    static RequestShake &requestShake();

    SCPIERR_T m_requestResult = 0;
    bool m_requestDone = false;
};

} // namespace vek

Q_DECLARE_METATYPE(KeywordBridge_CcCrCvCpArb::values)
Q_DECLARE_METATYPE(KeywordBridge_LowMedHigh::values)
Q_DECLARE_METATYPE(KeywordBridge_LowHigh::values)
