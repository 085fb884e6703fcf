#pragma once

#include "engine/Source.h"

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <cstdint>
#include <functional>

class ProgramsModel;
class ProgramStepsModel;

namespace vek {

class AcquireTrigger;
class Basic;

// The engine's program (sequence) object: owns the programs tree of the present mode with the
// selected program's step table, serves the remote program commands, starts, triggers, suspends
// and aborts runs on the controller and follows the run as the status object and the monitor
// link report it.
//
// Threads: the object and its models live in the GUI thread, where every slot runs. Remote
// handlers reach the slots through request(), which runs the work in the object's thread and
// hands the caller that request's own result (each request carries its own completion, so two
// handlers, or a plain request in between, can never take or overwrite another's answer). The
// plain request signals are queued to the slots and their results are dropped. Run control and
// the queries run in the caller's thread; whatever moves the step table's cursor holds the engine
// mutex from setRow() to the last use of the row.
class Program : public Source
{
    Q_OBJECT

public:
    enum TransientState { Idle = 0, WaitingForTrigger = 1, Suspended = 2, Running = 3 };

    // Step trigger codes as they cross the interface.
    enum TriggerCode : uint8_t {
        CodeImmediate = 0,
        CodeBus,
        CodeTrigIn,
        CodeTrigOut,
        CodeDigital0,
        CodeDigital1,
        CodeDigital2,
        CodeTaLink,
        CodeMSync,
        CodeLoadOff,
        CodeCutoff
    };

    static constexpr double NotANumber = 9.9e37;
    static constexpr quint32 OperProgramRunning = 64;
    static constexpr quint32 OperWaitingForTrigger = 128;
    static constexpr quint32 OperSuspended = 512;

    // basic receives the settings a run ends with and switches the load after it (null: the
    // run's end restarts the steady program only). acquire (may be null: no integral gating)
    // gives the integral gate settings for a run.
    Program(ioc::IoControl *writer,
        ModelInformation *info,
        Status *status,
        InstrumentConfigInfo *config,
        Basic *basic = nullptr,
        AcquireTrigger *acquire = nullptr);
    ~Program() override;

    ProgramsModel *programsModel() const { return m_programsModel; }

    // Runs work (one of the slots below) in this object's thread and returns its result. Called
    // in the object's own thread it runs at once. -200 when interruptRequests() ends the wait.
    SCPIERR_T request(const std::function<SCPIERR_T()> &work);

    // --- Run control (caller's thread) ---
    SCPIERR_T initiateTransient(const QString &path);
    SCPIERR_T triggerTransient();
    SCPIERR_T msyncTransient();
    SCPIERR_T triggerTransientSupend();
    SCPIERR_T triggerTransientResume();
    SCPIERR_T abortTransient();
    SCPIERR_T transferProgramObject(const QString &path);
    static QString physicalProrgamPath(SourceMode mode);
    // Every program path of the present mode, a program before its sub-programs.
    QStringList list() const;

    int transientState() const { return programRunState(); }
    unsigned transientStep() const { return m_transientStep; }
    unsigned transientLoop() const { return m_transientLoop; }
    bool initiated() const { return m_initiated; }
    bool running() const { return m_running; }
    bool waitInStep() const { return m_waitInStep; }

    // --- Queries (caller's thread); 0 ---
    SCPIERR_T getLoop(unsigned *loop);
    SCPIERR_T getStepsCount(int *count);
    SCPIERR_T getVoltageLevel(double *v);
    SCPIERR_T getCurrentProtectionLevel(double *v);
    SCPIERR_T getCurrentProtectionTripState(bool *v);
    SCPIERR_T getPowerProtectionLevel(double *v);
    SCPIERR_T getPowerProtectionTripState(bool *v);
    SCPIERR_T getVoltageProtectionLevel(double *v);
    SCPIERR_T getVoltageProtectionTripState(bool *v);
    SCPIERR_T getVoltageProtectionState(bool *v);
    SCPIERR_T getLaststepState(bool *v);
    SCPIERR_T getLaststepOutput(bool *v);
    SCPIERR_T getLaststepLevel(double *v);
    SCPIERR_T getLaststepSlewrate(double *v);
    // With the step check: 307 or 312 set a number to 9.9e37 and a state to false.
    SCPIERR_T getStepLevel(unsigned step, double *v);
    SCPIERR_T getStepSlewRate(unsigned step, double *v);
    SCPIERR_T getStepDwell(unsigned step, double *v);
    SCPIERR_T getStepOutput(unsigned step, bool *v);
    SCPIERR_T getStepTransient(unsigned step, bool *v);
    SCPIERR_T getStepTrigWait(unsigned step, QVector<uint8_t> *codes);
    SCPIERR_T getStepTrigGen(unsigned step, QVector<uint8_t> *codes);
    SCPIERR_T setStepEventOc(unsigned, uint8_t) { return 0; }
    SCPIERR_T setStepEventOp(unsigned, uint8_t) { return 0; }
    SCPIERR_T setStepEventUv(unsigned, uint8_t) { return 0; }
    SCPIERR_T getStepEventOc(unsigned, uint8_t *) { return 0; }
    SCPIERR_T getStepEventOp(unsigned, uint8_t *) { return 0; }
    SCPIERR_T getStepEventUv(unsigned, uint8_t *) { return 0; }

Q_SIGNALS:
    // Plain requests (queued to the slot of the same name; the result is dropped).
    void saved();
    void chained(const QString &name);
    void voltageLevelChanged(double level);
    void currentProtectionLevelChanged(double level);
    void currentProtectionStateChanged(bool trip);
    void powerProtectionLevelChanged(double level);
    void powerProtectionStateChanged(bool trip);
    void voltageProtectionLevelChanged(double level);
    void voltageProtectionTripStateChanged(bool trip);
    void voltageProtectionStateChanged(bool enable);
    void laststepStateChanged(bool on);

    void transientStepChanged(unsigned step);
    void transientLoopChanged(unsigned loop);

public Q_SLOTS:
    // Handshake work (through request()).
    SCPIERR_T doCreate(const QString &path);
    SCPIERR_T doDelete(const QString &path);
    SCPIERR_T setSelected(const QString &path);
    SCPIERR_T rename(const QString &newName);
    SCPIERR_T setLoop(unsigned loop);
    SCPIERR_T setStepsCount(int count);
    SCPIERR_T setStepLevel(unsigned step, double level);
    SCPIERR_T setStepSlewRate(unsigned step, double level);
    SCPIERR_T setStepDwell(unsigned step, double time);
    SCPIERR_T setStepOutput(unsigned step, bool on);
    SCPIERR_T setStepTransient(unsigned step, bool ramp);
    SCPIERR_T setStepTrigWait(unsigned step, const QVector<uint8_t> &codes);
    SCPIERR_T setStepTrigGen(unsigned step, const QVector<uint8_t> &codes);
    SCPIERR_T setLaststepState(bool on);
    SCPIERR_T setLaststepOutput(bool on);
    SCPIERR_T setLaststepLevel(double level);
    SCPIERR_T setLaststepSlewrate(double level);
    // Plain work.
    SCPIERR_T save();
    SCPIERR_T chain(const QString &name);
    SCPIERR_T setVoltageLevel(double level);
    SCPIERR_T setCurrentProtectionLevel(double level);
    SCPIERR_T setCurrentProtectionState(bool trip);
    SCPIERR_T setPowerProtectionLevel(double level);
    SCPIERR_T setPowerProtectionState(bool trip);
    SCPIERR_T setVoltageProtectionLevel(double level);
    SCPIERR_T setVoltageProtectionTripState(bool trip);
    SCPIERR_T setVoltageProtectionState(bool enable);

    // From the monitor link and the status object.
    void onTransientAddressChange(unsigned address);
    void onTransientLoopChange(unsigned loop);
    void onStateIdle(unsigned address);
    void onStateRun();
    void onStatePause();
    void onStateWait(bool isProgStep);
    // From the basic settings.
    void onFunctionModeChange(vek::SourceMode mode, bool cvOption);
    void onCurrRangeChange(vek::SourceCurrentRange range, vek::SourceCurrentRange panelRange);
    void onVoltRangeChange(vek::SourceVoltageRange range);

    void onInitiate();
    void onWaitTrigger();
    void onTrigger();
    void onAbort();
    void onComplete();

private:
    ProgramStepsModel *steps() const;
    // setRow(step - 1): 0, 307 or 312. Call with the engine mutex held.
    SCPIERR_T stepCheck(unsigned step);
    // Sends an edit made during a run to the controller at once.
    void resend();
    SCPIERR_T checkTrigger(ioc::IoControl::TrigTransientSource source);
    static void listDirectory(
        const QString &dir, const QString &relative, QStringList *paths, int depth);

    // The words of the node a run stopped at that the end of the run writes back.
    struct StopWords
    {
        quint32 dc = 0;
        quint32 slewOrCcLimit = 0;
        quint32 cvLimit = 0;
        quint32 cp = 0;
        quint32 uvp = 0;
        quint32 operate = 0;
    };
    // The stopping node's settings into the basic settings, per mode and last-step state.
    void writeBack(const StopWords &words, bool last);

    ProgramsModel *m_programsModel = nullptr;
    Basic *const m_basic;
    AcquireTrigger *const m_acquire;
    std::atomic<unsigned> m_transientStep { 0 };
    std::atomic<unsigned> m_transientLoop { 0 };
    std::atomic<bool> m_initiated { false };
    std::atomic<bool> m_running { false };
    std::atomic<bool> m_waitInStep { false };
    // Handshake work runs one request at a time, each with its own completion.
    QMutex m_requestMutex;
};

} // namespace vek
