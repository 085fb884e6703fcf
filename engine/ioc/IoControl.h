#pragma once

#include "engine/ioc/IocProtocol.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QString>
#include <QThread>
#include <QVector>
#include <QWaitCondition>

#include <atomic>
#include <functional>
#include <memory>

namespace ioc {

// Pauses and waits of the link threads, in milliseconds; tests shorten them.
struct LinkTiming
{
    int monitorPauseMs = 20; // after every monitor cycle
    int modeWordWaitMs = 4; // after a mode-word message, before the rest of the writer's cycle
    int rangeSettleMs = 100; // further wait after a settled current-range change
    int replyTimeoutMs = 2000; // register reply, identification result
    int monitorStartMs = 10; // before the identification read
    int identificationSettleMs = 100; // after the identification read, before the first cycle
    int calStartPauseMs = 2; // after the writer's first calibration command
    int writerRetryMs = 20; // writer retries a failed message after this long
};

// One link to the I/O controller. The engine owns two: the writer (sends settings, commands,
// program steps, the arbitrary table and register accesses when woken by a change) and the
// monitor (reads the identification once, then the status block, new trace records and every
// 4th cycle a monitor record). Both share one SPI device and the class-wide state below.
// Setters run in the caller's thread and only change pending values; transfer() compares them
// with what was last sent, marks the changed groups and wakes the writer. Signals are emitted
// from the link threads: connect them queued to objects of other threads.
class IoControl : public QThread
{
    Q_OBJECT

public:
    enum Mode { Monitor = 0, Writer = 1 };

    // The controller receives a program command AND 0x1000FF; the upper bits only tell which
    // transient state to record.
    enum ProgramCommand : quint32 {
        Tran = 0x40000001,
        TranInit = 0x80000001,
        TranProgInit = 0x1,
        TranPulseInit = 0x20,
        TranSineInit = 0x11,
        TranAbort = 0x2,
        TranPause = 0x4,
        TranResume = 0x8,
        TranWakeup = 0x40,
        TranMSync = 0x80,
        ProgForceLoadOff = 0x100000,
    };
    Q_DECLARE_FLAGS(ProgramCommands, ProgramCommand)

    enum TrigTransientSource : quint32 {
        ttsImmediate = 0x1,
        ttsBus = 0x2,
        ttsDigital2 = 0x20,
        ttsMSync = 0x80,
    };
    Q_DECLARE_FLAGS(TrigTransientSources, TrigTransientSource)

    enum TrigAcquireSource : quint32 {
        tasImmediate = 0x100,
        tasBus = 0x200,
        tasLoadOff = 0x400,
        tasDigital2 = 0x2000,
        tasTALink = 0x4000,
        tasMSync = 0x8000,
    };
    Q_DECLARE_FLAGS(TrigAcquireSources, TrigAcquireSource)

    // Where progCommand puts a program command: program group word 1, or the command register.
    enum TransferMode { ViaProgramGroup = 0, ViaCommandRegister = 1 };
    enum AcquireCommand : quint32 {
        AcqInitiate = 0x100,
        AcqAbort = 0x200,
        AcqMSyncTrigger = 0x8000
    };
    enum IntegralCommnd : quint32 {
        IntegralStart = 0x1000000,
        IntegralStop = 0x2000000,
        IntegralReset = 0x4000000,
    };
    // Trigger word bits 28 and 30.
    enum DataIntegralGate : quint32 {
        IntegralGateNone = 0,
        IntegralGate28 = 0x10000000,
        IntegralGate30 = 0x40000000,
        IntegralGateBoth = 0x50000000,
    };
    enum FunctionMode : quint32 { CC = 0x1, CR = 0x2, CV = 0x4, CP = 0x8, ARB = 0x2000001 };
    // Mode-word range bits; for High the caller passes the range bits of the last status word.
    enum CurrentRange : quint32 { CurrentLow = 0x100, CurrentMedium = 0x200 };
    enum VoltageRange : quint32 { VoltageHigh = 0, VoltageLow = 0x800000 };
    enum InitiateTranState {
        TranStateSteady = 0,
        TranStateInit = 1,
        TranStateProgram = 2,
        TranStatePulse = 3,
        TranStateSine = 4,
    };
    Q_ENUM(InitiateTranState)

    // One item of a program transfer, in sending order: a message (one step's changed records
    // as units back to back) or, with statusRead, the status read made after the program root's
    // steps so that the status object sees the state the new program starts from.
    struct StepMessage
    {
        bool statusRead = false;
        QVector<quint32> words;
    };

    // Receives background errors of the link (SCPI error number and detail text); set once at
    // start-up, the default drops them. Called from the link threads with no lock held.
    using ErrorSink = std::function<void(int code, const QString &detail)>;
    static void setErrorSink(ErrorSink sink);

    // SCPI errors of the link.
    static constexpr int ErrSystem = -310; // the SPI link failed (reported once per failure run)
    static constexpr int ErrTimeout = -365; // no register reply in time
    static constexpr int ErrIllegalValue = -224; // register read of an address without bit 31
    static constexpr int ErrOutOfRange = -222; // a count the controller cannot hold

    // The first link opens devicePath (a board path); the second shares it. The thread is not
    // started.
    explicit IoControl(Mode mode,
        const LinkTiming &timing = LinkTiming(),
        const QString &devicePath = QStringLiteral("/dev/spidev1.0"));
    // Stops the thread and waits for it; the last link closes the device.
    ~IoControl() override;

    Mode mode() const { return m_mode; }

    // --- Setters: change pending values only; transfer() sends them. ---
    void progCommand(ProgramCommands cmd, TransferMode mode);
    // Monitor link: its thread sends the command in its next cycle. An abort stops trace reads
    // until the next command that is not an abort; an initiate restarts the read count at 0.
    void acqCommand(AcquireCommand c);
    // Monitor link: waits until the acquisition commands given so far have been sent (true), at
    // most replyTimeoutMs and not past stop() (false). A command another link sends after this
    // returned reaches the controller after them. Call it with no lock of the links held.
    bool waitAcqCommandsSent();
    void busCommand();
    void integralCommand(IntegralCommnd c);
    void msyncCommand(bool on);
    void setDataIntegralGate(DataIntegralGate g);
    void setDataIntegralGateAutoResetState(bool on);
    void setOutputMSyncState(bool on);
    void setAcquireMSyncState(bool on);
    void setTransientMSyncState(bool on);
    void setPriorityMSyncState(bool on);
    void setTranTriggerSource(TrigTransientSources sources);
    void setAcqTriggerSource(TrigAcquireSources sources);
    void setAcqTriggerIntervalState(bool on);
    void setProgTriggerDelay(uint us);
    void setAcqTriggerDelay(uint counts);
    // Records per acquisition, 1 .. the trace area's 65,536; else ErrOutOfRange, count kept.
    int setAcqTriggerCount(uint records);
    void setAcqTriggerTimer(uint counts);
    void setSensApertureCount(uint counts);
    void setSineFrequency(uint code);
    void setSineAmplitude(uint code);
    void setCutOffVoltageState(bool on);
    void setCutOffElapsedTimeState(bool on);
    void setCutOffCapacityState(bool on);
    void setCutOffEnergyState(bool on);
    void setCutOffVoltage(uint count);
    void setCutOffElapsedTime(quint64 us);
    // The pending values as the setters above left them (read back by the engine's setters).
    quint64 cutOffElapsedTime() const;
    bool cutOffElapsedTimeState() const;
    // The cut-off group's first word: the four enable bits (ioc::Cutoff::*On).
    quint32 cutOffState() const;
    uint cutOffVoltage() const;
    qint64 cutOffCapacity() const;
    qint64 cutOffEnergy() const;
    uint sineFrequency() const;
    void setCutOffCapacity(qint64 counts);
    void setCutOffEnergy(qint64 counts);
    void setFunctionMode(FunctionMode mode);
    void setSoftStartTime(quint32 code);
    void setArbResponseTime(quint32 code);
    void setRefExternal(bool on);
    void setCvExternal(bool on);
    void setAddExternal(bool on);
    void setRemoteSens(bool on);
    void setExtIOOE(bool on);
    void setCvFastResponse(bool on);
    void setCrFastResponse(bool on);
    void setVoltageRange(VoltageRange range);
    // settle: the writer waits rangeSettleMs more after sending the mode word.
    void setCurrentRange(CurrentRange range, bool settle);
    void setProgramCalData();
    void setCopyCalData();
    void setCutoffFlagLatch();
    void clearCutoffFlagLatch();
    void clearCutoff();
    void setWatchDogAlarm();
    void clearAlarm();

    // --- Sending ---
    // Compares the pending values with the groups last sent, marks what changed and wakes the
    // writer. A program command's transient state takes effect, and its initOccurred/wtgOccurred/
    // pauseOccurred/resumeOccurred/wakeupOccurred is emitted, from the writer's thread once the
    // exchange carrying the command has succeeded; then the writer reports a fresh status word.
    void transfer();
    // Writer link: waits until everything transfer() has marked so far (and every program set
    // queued before it) has been sent (true), at most replyTimeoutMs and not past stop()
    // (false). A program set handed over after this returned reaches the controller after it.
    // Not from the writer's thread; call it with no lock of the links held.
    bool waitTransferred();
    // Hands a program to the writer: rootAddress becomes the pending program root (sent with the
    // program group at the next transfer()), the messages are queued behind any not yet sent.
    void transferProgram(quint32 rootAddress, const QVector<StepMessage> &messages);
    // Replaces a table not yet sent. Whole 32-entry blocks only; each is sent twice.
    void transferArbitary(const QVector<unsigned int> &table);
    // Writer link. Queues a register write; sent in order with other accesses at the next
    // transfer().
    void setRegisterData(quint32 address, qint32 value);
    // Writer link. Reads one register (address with bit 31 set) from any thread but the
    // writer's own; waits up to replyTimeoutMs for this read's own reply. Returns 0, ErrTimeout
    // or ErrIllegalValue; *value is set only on success. No read may be waiting when the link
    // is destroyed.
    int readRegister(quint32 address, qint32 *value);

    // Monitor link: the identification, after waiting up to replyTimeoutMs for the first read
    // (the defaults when it did not come or did not match).
    MODELS_INFO getModelsInfo();

    // Wakes the thread; it finishes its present exchange and ends. Then wait().
    void stop();

    // --- Class-wide state ---
    // The controller's calibration date and validity (the defaults until identified).
    static CAL_INFO calInfo();
    // The last status word read (0x10 initially).
    static quint32 lastStatus();
    // Node addresses at or below it are steady-state steps and are not reported.
    static void setSegmentBasicAddress(quint32 address);
    // Factors for converting trace and monitor records; the model information sets them.
    static void setAcqFactors(const AcqFactors &factors);
    // The shadow-register mutex: a program tree handed to the writer is changed under it.
    static QMutex &shadowMutex();
    // Driver messages exchanged by all links since the first link was made (diagnostics).
    static quint64 exchangeCount();

Q_SIGNALS:
    // Monitor: every status word that differs from the last one; writer: after the status read
    // of a program transfer, after a program command took effect and at the end of every cycle
    // it was woken for. initTranState is the state in force when the word was read.
    void statusChanged(uint status, ioc::IoControl::InitiateTranState initTranState);
    void cutoffChanged(uint cutoff);
    // Monitor: the loop counter and node of a status read go out before its status word.
    void transientAddressChanged(uint address);
    void transientLoopChanged(uint loop);
    // Every 4th monitor cycle. Heap record: the single connected receiver frees it.
    void monitorUpdated(const ioc::TRACE_DATA *meas);
    // After each trace read; remainingPoint = trigger count - records read. Heap vector: the
    // single connected receiver (the acquisition object) frees it.
    void dataUpdated(QVector<ioc::TRACE_DATA> *data, int remainingPoint);
    // A changed status word whose "acquisition waits for trigger" bit is clear.
    void acqTriggered();
    // Writer's thread, once the command is sent (see transfer()): connect them queued.
    void initOccurred();
    void wtgOccurred();
    void pauseOccurred();
    void resumeOccurred();
    void wakeupOccurred();

protected:
    void run() override;

private:
    struct RegisterRequest;
    enum TranNotify { NotifyNone, NotifyInit, NotifyWtg, NotifyPause, NotifyResume, NotifyWakeup };
    // A program command's effect on the transient state (-1: none) and its notification.
    struct TranChange
    {
        int state = -1;
        TranNotify notify = NotifyNone;
    };
    enum Group : quint32 {
        GroupProgram = 0x1,
        GroupTrigger = 0x2,
        GroupCommand = 0x4,
        GroupMode = 0x8,
        GroupCal = 0x10,
        GroupAlarm = 0x20,
        GroupSine = 0x40,
        GroupCutoff = 0x80,
    };

    // Waits, with the shadow-register mutex, until sent reaches what given was on entry: at
    // most replyTimeoutMs and not past stop(). Not from this link's own thread.
    bool waitSent(const quint64 &given, const quint64 &sent, QWaitCondition &sentCond);
    void runWriter();
    void runMonitor();
    bool writerCycle();
    bool sendGroups();
    void monitorCycle();
    void identify();
    bool statusRead(StatusBlock *block);
    void emitStatusNow();
    void applyTranChanges();
    bool reportStatusRead();
    bool sleepUnlessStopped(int ms);

    // One driver message under m_spiMutex (held by the caller). Counts failure runs for the
    // error report, which reportLinkError() delivers later with no lock held.
    int exchangeLocked(const QVector<quint32> &tx, QVector<quint32> *rx);
    int exchange(const QVector<quint32> &tx, QVector<quint32> *rx);
    void reportLinkError();

    void setTriggerBits(quint32 mask, bool on);
    void setModeBits(quint32 mask, bool on);
    bool heapReceiver(const QMetaMethod &signal) const;

    const Mode m_mode;
    const LinkTiming m_timing;
    const QString m_devicePath;

    // Per-object pending values and the groups as last sent, guarded by the class-wide
    // shadow-register mutex.
    quint32 m_programRoot = 0;
    quint32 m_programCommand = 0;
    quint32 m_commandRegister = 0;
    quint32 m_triggerWord = Initial::TriggerWord;
    quint32 m_progTrigDelay = 0;
    quint32 m_acqTrigDelay = 0;
    quint32 m_acqTrigTimer = Initial::AcqTriggerTimer;
    quint32 m_senseAperture = Initial::SenseAperture;
    quint32 m_sineFrequency = 0;
    quint32 m_sineAmplitude = 0;
    quint32 m_cutoffState = 0;
    quint32 m_cutoffVoltage = 0;
    quint64 m_cutoffTime = 0;
    qint64 m_cutoffCapacity = 0;
    qint64 m_cutoffEnergy = 0;
    quint32 m_calCommand = 0;
    quint32 m_abortLatch = 0;
    QVector<quint32> m_programImage = QVector<quint32>(Words::ProgramGroup, 0);
    quint32 m_commandImage = 0;
    QVector<quint32> m_triggerImage = QVector<quint32>(Words::TriggerGroup, 0);
    quint32 m_modeImage = 0;
    quint32 m_calImage = 0;
    quint32 m_alarmImage = 0;
    QVector<quint32> m_sineImage = QVector<quint32>(Words::SineGroup, 0);
    QVector<quint32> m_cutoffImage = QVector<quint32>(Words::CutoffGroup, 0);
    quint32 m_changed = GroupCal | GroupCutoff;
    bool m_rangeSettle = false;
    QVector<StepMessage> m_stepQueue;
    QVector<unsigned int> m_arbTable;
    QVector<TranChange> m_tranChanges; // given by transfer(), applied once their command is sent
    QVector<std::shared_ptr<RegisterRequest>> m_registerQueue;
    quint64 m_acqGiven = 0; // monitor: acquisition commands given, and sent, since construction
    quint64 m_acqSent = 0;
    QWaitCondition m_acqSentCond; // woken when m_acqSent moves, with the shadow-register mutex
    quint64 m_transfersGiven = 0; // writer: transfer() calls, and those whose groups were sent
    quint64 m_transfersSent = 0;
    QWaitCondition m_transferSentCond; // woken when m_transfersSent moves, shadow-register mutex
    bool m_work = false; // the writer has been woken for work since its last cycle
    QWaitCondition m_wakeCond; // writer's wait, with the shadow-register mutex

    // Register replies: guards the reply fields of the queued requests; readers wait on
    // m_replyCond. A leaf lock.
    QMutex m_replyMutex;
    QWaitCondition m_replyCond;

    // Stop request; m_stopMutex guards the monitor's pause on m_stopCond.
    std::atomic<bool> m_stop { false };
    QMutex m_stopMutex;
    QWaitCondition m_stopCond;

    // Identification result (monitor), guarded by m_infoMutex.
    QMutex m_infoMutex;
    QWaitCondition m_infoCond;
    MODELS_INFO m_modelsInfo;
    bool m_identified = false;

    // Touched only by this link's own thread.
    quint32 m_readoutTraceCount = 0; // monitor: records read since the last initiate
    quint32 m_lastLoop = 0;
    int m_monitorCycle = 0;
    int m_pendingReport = 0; // errno of a failure run not yet reported, 0 when none
};

} // namespace ioc

Q_DECLARE_OPERATORS_FOR_FLAGS(ioc::IoControl::ProgramCommands)
Q_DECLARE_OPERATORS_FOR_FLAGS(ioc::IoControl::TrigTransientSources)
Q_DECLARE_OPERATORS_FOR_FLAGS(ioc::IoControl::TrigAcquireSources)
Q_DECLARE_METATYPE(const ioc::TRACE_DATA *)
Q_DECLARE_METATYPE(QVector<ioc::TRACE_DATA> *)
