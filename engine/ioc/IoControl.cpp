#include "engine/ioc/IoControl.h"

#include "platform/SpiPort.h"

#include <QMetaMethod>
#include <QMutexLocker>

#include <cerrno>

namespace ioc {

namespace {

// State shared by the writer and the monitor link.
// Lock order: mutex (shadow registers) -> tranInitMutex -> spiMutex; no path takes them in
// another order. factorMutex, sinkMutex and a link's m_replyMutex are leaves.
struct Shared
{
    // Guards every link's pending values, group images, change flags, step, table and register
    // queues and wait conditions, the link count and the values below.
    QMutex mutex;
    int links = 0;
    quint32 modeExt = Initial::ModeWord;
    quint32 trigCount = Initial::AcqTriggerCount;
    quint32 alarm = 0;
    quint32 preProgramCommand = 0; // last program command given, 0 when none pending
    CAL_INFO cal;

    // Guards the transient state and what the last status read reported, and makes a status
    // read and its statusChanged one step. initTranState changes only once the writer has sent
    // the command that starts it; statusTranState is the state in force when status was read.
    QMutex tranInitMutex;
    IoControl::InitiateTranState initTranState = IoControl::TranStateSteady;
    IoControl::InitiateTranState statusTranState = IoControl::TranStateSteady;
    quint32 status = Initial::Status;
    quint32 cutoff = 0;
    quint32 currNodeAdr = 0;

    // Guards the port (one driver call at a time) and the failure-run flag.
    QMutex spiMutex;
    platform::SpiPort port;
    QString path;
    bool failing = false;

    QMutex factorMutex; // guards factors
    AcqFactors factors;
    QMutex sinkMutex; // guards sink
    IoControl::ErrorSink sink;

    std::atomic<quint32> segmentBasic { 0 };
    std::atomic<quint64> exchanges { 0 };

    void resetLinkState()
    {
        modeExt = Initial::ModeWord;
        trigCount = Initial::AcqTriggerCount;
        alarm = 0;
        preProgramCommand = 0;
        cal = CAL_INFO();
        QMutexLocker lock(&tranInitMutex);
        initTranState = IoControl::TranStateSteady;
        statusTranState = IoControl::TranStateSteady;
        status = Initial::Status;
        cutoff = 0;
        currNodeAdr = 0;
        segmentBasic = 0;
    }
};

Shared &shared()
{
    static Shared s;
    return s;
}

quint32 low32(quint64 v)
{
    return quint32(v & 0xFFFFFFFFu);
}

quint32 high32(quint64 v)
{
    return quint32(v >> 32);
}

} // namespace

// reply, done and abandoned are guarded by the link's m_replyMutex.
struct IoControl::RegisterRequest
{
    quint32 address = 0;
    qint32 value = 0;
    qint32 reply = 0;
    bool done = false;
    bool abandoned = false; // the reader timed out; not sent when still queued
};

IoControl::IoControl(Mode mode, const LinkTiming &timing, const QString &devicePath)
    : QThread(nullptr)
    , m_mode(mode)
    , m_timing(timing)
    , m_devicePath(devicePath)
{
    qRegisterMetaType<ioc::IoControl::InitiateTranState>();
    qRegisterMetaType<ioc::IoControl::InitiateTranState>("InitiateTranState");
    qRegisterMetaType<const ioc::TRACE_DATA *>();
    qRegisterMetaType<QVector<ioc::TRACE_DATA> *>();

    Shared &s = shared();
    QMutexLocker lock(&s.mutex);
    if (s.links++ == 0) {
        s.resetLinkState();
        QMutexLocker spi(&s.spiMutex);
        s.path = devicePath;
        s.failing = false;
        // A device that is not there yet is opened again by the first exchange, which reports.
        s.port.open(devicePath);
    }
}

IoControl::~IoControl()
{
    stop();
    wait();
    Shared &s = shared();
    QMutexLocker lock(&s.mutex);
    if (--s.links == 0) {
        QMutexLocker spi(&s.spiMutex);
        s.port.close();
    }
}

void IoControl::setErrorSink(ErrorSink sink)
{
    Shared &s = shared();
    QMutexLocker lock(&s.sinkMutex);
    s.sink = std::move(sink);
}

// --- Setters ---

void IoControl::progCommand(ProgramCommands cmd, TransferMode mode)
{
    Shared &s = shared();
    QMutexLocker lock(&s.mutex);
    const quint32 value = quint32(cmd) & Command::ProgramMask;
    if (mode == ViaProgramGroup)
        m_programCommand |= value;
    else
        m_commandRegister |= value;
    s.preProgramCommand = quint32(cmd);
}

void IoControl::acqCommand(AcquireCommand c)
{
    QMutexLocker lock(&shared().mutex);
    m_abortLatch = c == AcqAbort ? Command::AcqAbort : 0;
    m_commandRegister |= quint32(c) & Command::AcquireMask;
    ++m_acqGiven;
}

bool IoControl::waitAcqCommandsSent()
{
    return waitSent(m_acqGiven, m_acqSent, m_acqSentCond);
}

bool IoControl::waitSent(const quint64 &given, const quint64 &sent, QWaitCondition &sentCond)
{
    if (QThread::currentThread() == this)
        return false;
    QDeadlineTimer deadline(m_timing.replyTimeoutMs);
    Shared &s = shared();
    QMutexLocker lock(&s.mutex);
    const quint64 target = given;
    while (sent < target && !m_stop && isRunning()) {
        if (!sentCond.wait(&s.mutex, deadline))
            break;
    }
    return sent >= target;
}

void IoControl::busCommand()
{
    QMutexLocker lock(&shared().mutex);
    m_programCommand |= Command::BusTrigger;
}

void IoControl::integralCommand(IntegralCommnd c)
{
    QMutexLocker lock(&shared().mutex);
    m_programCommand |= quint32(c) & Command::IntegralMask;
}

void IoControl::setTriggerBits(quint32 mask, bool on)
{
    QMutexLocker lock(&shared().mutex);
    m_triggerWord = withBits(m_triggerWord, mask, on);
}

void IoControl::setModeBits(quint32 mask, bool on)
{
    Shared &s = shared();
    QMutexLocker lock(&s.mutex);
    s.modeExt = withBits(s.modeExt, mask, on);
}

void IoControl::msyncCommand(bool on)
{
    setTriggerBits(Trigger::MSyncCommand, on);
}

void IoControl::setDataIntegralGate(DataIntegralGate g)
{
    QMutexLocker lock(&shared().mutex);
    m_triggerWord = (m_triggerWord & ~Trigger::IntegralGateMask) | (g & Trigger::IntegralGateMask);
}

void IoControl::setDataIntegralGateAutoResetState(bool on)
{
    setTriggerBits(Trigger::IntegralAutoReset, on);
}

void IoControl::setOutputMSyncState(bool on)
{
    setTriggerBits(Trigger::OutputMSync | Trigger::MSyncPriority, on);
}

void IoControl::setAcquireMSyncState(bool on)
{
    setTriggerBits(Trigger::AcquireMSync, on);
}

void IoControl::setTransientMSyncState(bool on)
{
    setTriggerBits(Trigger::TransientMSync, on);
}

void IoControl::setPriorityMSyncState(bool on)
{
    setTriggerBits(Trigger::MSyncPriority, on);
}

void IoControl::setTranTriggerSource(TrigTransientSources sources)
{
    QMutexLocker lock(&shared().mutex);
    m_triggerWord = (m_triggerWord & ~Trigger::TransientSourceMask)
        | (quint32(sources) & Trigger::TransientSourceMask);
}

void IoControl::setAcqTriggerSource(TrigAcquireSources sources)
{
    QMutexLocker lock(&shared().mutex);
    m_triggerWord = (m_triggerWord & ~Trigger::AcquireSourceMask)
        | (quint32(sources) & Trigger::AcquireSourceMask);
}

void IoControl::setAcqTriggerIntervalState(bool on)
{
    setTriggerBits(Trigger::AcqTimerOn, on);
}

void IoControl::setProgTriggerDelay(uint us)
{
    QMutexLocker lock(&shared().mutex);
    m_progTrigDelay = us;
}

void IoControl::setAcqTriggerDelay(uint counts)
{
    QMutexLocker lock(&shared().mutex);
    m_acqTrigDelay = counts;
}

int IoControl::setAcqTriggerCount(uint records)
{
    if (records < 1 || records > uint(TraceAreaRecords))
        return ErrOutOfRange;
    Shared &s = shared();
    QMutexLocker lock(&s.mutex);
    s.trigCount = records;
    return 0;
}

void IoControl::setAcqTriggerTimer(uint counts)
{
    QMutexLocker lock(&shared().mutex);
    m_acqTrigTimer = counts;
}

void IoControl::setSensApertureCount(uint counts)
{
    QMutexLocker lock(&shared().mutex);
    m_senseAperture = counts;
}

void IoControl::setSineFrequency(uint code)
{
    QMutexLocker lock(&shared().mutex);
    m_sineFrequency = code;
}

void IoControl::setSineAmplitude(uint code)
{
    QMutexLocker lock(&shared().mutex);
    m_sineAmplitude = code;
}

void IoControl::setCutOffVoltageState(bool on)
{
    QMutexLocker lock(&shared().mutex);
    m_cutoffState = withBits(m_cutoffState, Cutoff::VoltageOn, on);
}

void IoControl::setCutOffElapsedTimeState(bool on)
{
    QMutexLocker lock(&shared().mutex);
    m_cutoffState = withBits(m_cutoffState, Cutoff::ElapsedTimeOn, on);
}

void IoControl::setCutOffCapacityState(bool on)
{
    QMutexLocker lock(&shared().mutex);
    m_cutoffState = withBits(m_cutoffState, Cutoff::CapacityOn, on);
}

void IoControl::setCutOffEnergyState(bool on)
{
    QMutexLocker lock(&shared().mutex);
    m_cutoffState = withBits(m_cutoffState, Cutoff::EnergyOn, on);
}

void IoControl::setCutOffVoltage(uint count)
{
    QMutexLocker lock(&shared().mutex);
    m_cutoffVoltage = count;
}

void IoControl::setCutOffElapsedTime(quint64 us)
{
    QMutexLocker lock(&shared().mutex);
    m_cutoffTime = us;
}

quint64 IoControl::cutOffElapsedTime() const
{
    QMutexLocker lock(&shared().mutex);
    return m_cutoffTime;
}

bool IoControl::cutOffElapsedTimeState() const
{
    QMutexLocker lock(&shared().mutex);
    return (m_cutoffState & Cutoff::ElapsedTimeOn) != 0;
}

quint32 IoControl::cutOffState() const
{
    QMutexLocker lock(&shared().mutex);
    return m_cutoffState;
}

uint IoControl::cutOffVoltage() const
{
    QMutexLocker lock(&shared().mutex);
    return m_cutoffVoltage;
}

qint64 IoControl::cutOffCapacity() const
{
    QMutexLocker lock(&shared().mutex);
    return m_cutoffCapacity;
}

qint64 IoControl::cutOffEnergy() const
{
    QMutexLocker lock(&shared().mutex);
    return m_cutoffEnergy;
}

uint IoControl::sineFrequency() const
{
    QMutexLocker lock(&shared().mutex);
    return m_sineFrequency;
}

void IoControl::setCutOffCapacity(qint64 counts)
{
    QMutexLocker lock(&shared().mutex);
    m_cutoffCapacity = counts;
}

void IoControl::setCutOffEnergy(qint64 counts)
{
    QMutexLocker lock(&shared().mutex);
    m_cutoffEnergy = counts;
}

void IoControl::setFunctionMode(FunctionMode mode)
{
    Shared &s = shared();
    QMutexLocker lock(&s.mutex);
    s.modeExt = combineFunctionMode(s.modeExt, mode);
}

void IoControl::setSoftStartTime(quint32 code)
{
    Shared &s = shared();
    QMutexLocker lock(&s.mutex);
    s.modeExt = combineSoftStartTime(s.modeExt, code);
}

void IoControl::setArbResponseTime(quint32 code)
{
    Shared &s = shared();
    QMutexLocker lock(&s.mutex);
    s.modeExt = combineArbResponseTime(s.modeExt, code);
}

void IoControl::setRefExternal(bool on)
{
    setModeBits(ModeField::RefExternal, on);
}

void IoControl::setCvExternal(bool on)
{
    setModeBits(ModeField::CvExternal, on);
}

void IoControl::setAddExternal(bool on)
{
    setModeBits(ModeField::AddExternal, on);
}

void IoControl::setRemoteSens(bool on)
{
    setModeBits(ModeField::RemoteSense, on);
}

void IoControl::setExtIOOE(bool on)
{
    setModeBits(ModeField::ExtIoOutput, on);
}

void IoControl::setCvFastResponse(bool on)
{
    setModeBits(ModeField::CvFastResponse, on);
}

void IoControl::setCrFastResponse(bool on)
{
    setModeBits(ModeField::CrFastResponse, on);
}

void IoControl::setVoltageRange(VoltageRange range)
{
    setModeBits(ModeField::VoltageRangeLow, range == VoltageLow);
}

void IoControl::setCurrentRange(CurrentRange range, bool settle)
{
    Shared &s = shared();
    QMutexLocker lock(&s.mutex);
    s.modeExt =
        (s.modeExt & ~ModeField::CurrentRangeMask) | (quint32(range) & ModeField::CurrentRangeMask);
    if (settle)
        m_rangeSettle = true;
}

void IoControl::setProgramCalData()
{
    QMutexLocker lock(&shared().mutex);
    m_calCommand |= Command::CalStore;
}

void IoControl::setCopyCalData()
{
    QMutexLocker lock(&shared().mutex);
    m_calCommand |= Command::CalCopy;
}

void IoControl::setCutoffFlagLatch()
{
    Shared &s = shared();
    QMutexLocker lock(&s.mutex);
    s.alarm |= Command::AlarmLatchCutoff;
}

void IoControl::clearCutoffFlagLatch()
{
    Shared &s = shared();
    QMutexLocker lock(&s.mutex);
    s.alarm |= Command::AlarmReleaseLatch;
}

void IoControl::clearCutoff()
{
    Shared &s = shared();
    QMutexLocker lock(&s.mutex);
    s.alarm |= Command::AlarmClearCutoff;
}

void IoControl::setWatchDogAlarm()
{
    Shared &s = shared();
    QMutexLocker lock(&s.mutex);
    s.alarm |= Command::AlarmWatchdog;
}

void IoControl::clearAlarm()
{
    Shared &s = shared();
    QMutexLocker lock(&s.mutex);
    s.alarm |= Command::AlarmClear;
}

// --- Sending ---

void IoControl::transfer()
{
    if (m_mode != Writer)
        return;
    Shared &s = shared();
    {
        QMutexLocker lock(&s.mutex);
        if (m_programImage[0] != m_programRoot) {
            m_programImage[0] = m_programRoot;
            m_changed |= GroupProgram;
        }
        // One-shot words accumulate until sent, so a command given while an earlier one is
        // still on its way (or being retried) is not overwritten.
        if (m_programCommand) {
            m_programImage[1] |= m_programCommand;
            m_programCommand = 0;
            m_changed |= GroupProgram;
        }
        if (m_commandRegister) {
            m_commandImage |= m_commandRegister;
            m_commandRegister = 0;
            m_changed |= GroupCommand;
        }
        const QVector<quint32> trigger { m_triggerWord,
            m_progTrigDelay,
            m_acqTrigDelay,
            s.trigCount,
            m_acqTrigTimer,
            m_senseAperture };
        if (trigger != m_triggerImage) {
            m_triggerImage = trigger;
            m_changed |= GroupTrigger;
        }
        const QVector<quint32> sine { m_sineFrequency, m_sineAmplitude };
        if (sine != m_sineImage) {
            m_sineImage = sine;
            m_changed |= GroupSine;
        }
        const QVector<quint32> cutoff {
            m_cutoffState,
            m_cutoffVoltage,
            low32(m_cutoffTime),
            high32(m_cutoffTime),
            low32(quint64(m_cutoffCapacity)),
            high32(quint64(m_cutoffCapacity)),
            low32(quint64(m_cutoffEnergy)),
            high32(quint64(m_cutoffEnergy)),
        };
        if (cutoff != m_cutoffImage) {
            m_cutoffImage = cutoff;
            m_changed |= GroupCutoff;
        }
        if (s.modeExt != m_modeImage) {
            m_modeImage = s.modeExt;
            m_changed |= GroupMode;
        }
        if (m_calCommand) {
            m_calImage |= m_calCommand;
            m_calCommand = 0;
            m_changed |= GroupCal;
        }
        if (s.alarm != m_alarmImage) {
            m_alarmImage = s.alarm;
            m_changed |= GroupAlarm;
        }

        // A combination of commands matches no case and changes no transient state. The change
        // waits for the writer's exchange that carries the command (applyTranChanges()), so a
        // status word read before the command never carries the new state.
        const bool immediate = m_triggerWord & ttsImmediate;
        TranChange change;
        switch (s.preProgramCommand) {
        case Tran:
            change = { TranStateSteady, NotifyNone };
            break;
        case TranInit:
            change = { TranStateInit, immediate ? NotifyInit : NotifyWtg };
            break;
        case TranProgInit:
            change = { TranStateProgram, immediate ? NotifyInit : NotifyWtg };
            break;
        case TranPulseInit:
            change = { TranStatePulse, NotifyNone };
            break;
        case TranSineInit:
            change = { TranStateSine, NotifyNone };
            break;
        case TranPause:
            change.notify = NotifyPause;
            break;
        case TranResume:
            change.notify = NotifyResume;
            break;
        case TranWakeup:
            change.notify = NotifyWakeup;
            break;
        default:
            break;
        }
        if (change.state >= 0 || change.notify != NotifyNone)
            m_tranChanges.append(change);
        s.preProgramCommand = 0;
        ++m_transfersGiven;
        m_work = true;
        m_wakeCond.wakeAll();
    }
}

bool IoControl::waitTransferred()
{
    return m_mode == Writer && waitSent(m_transfersGiven, m_transfersSent, m_transferSentCond);
}

void IoControl::transferProgram(quint32 rootAddress, const QVector<StepMessage> &messages)
{
    QMutexLocker lock(&shared().mutex);
    m_programRoot = rootAddress;
    m_stepQueue += messages;
    m_work = true;
    m_wakeCond.wakeAll();
}

void IoControl::transferArbitary(const QVector<unsigned int> &table)
{
    QMutexLocker lock(&shared().mutex);
    m_arbTable = table;
    m_work = true;
    m_wakeCond.wakeAll();
}

void IoControl::setRegisterData(quint32 address, qint32 value)
{
    auto request = std::make_shared<RegisterRequest>();
    request->address = address;
    request->value = value;
    QMutexLocker lock(&shared().mutex);
    m_registerQueue.append(request);
}

int IoControl::readRegister(quint32 address, qint32 *value)
{
    if (!(address & Address::ReadBit))
        return ErrIllegalValue;
    if (QThread::currentThread() == this)
        return ErrTimeout;
    auto request = std::make_shared<RegisterRequest>();
    request->address = address;

    // The writer holds the shadow-register mutex through a whole cycle, slow exchanges
    // included; the deadline covers that wait too.
    Shared &s = shared();
    QDeadlineTimer deadline(m_timing.replyTimeoutMs);
    if (!s.mutex.tryLock(int(deadline.remainingTime())))
        return ErrTimeout;
    m_registerQueue.append(request);
    m_work = true;
    m_wakeCond.wakeAll();
    s.mutex.unlock();

    QMutexLocker lock(&m_replyMutex);
    while (!request->done && m_replyCond.wait(&m_replyMutex, deadline)) { }
    if (!request->done) {
        request->abandoned = true;
        return ErrTimeout;
    }
    *value = request->reply;
    return 0;
}

MODELS_INFO IoControl::getModelsInfo()
{
    QMutexLocker lock(&m_infoMutex);
    QDeadlineTimer deadline(m_timing.replyTimeoutMs);
    while (!m_identified && m_infoCond.wait(&m_infoMutex, deadline)) { }
    return m_modelsInfo;
}

void IoControl::stop()
{
    m_stop = true;
    {
        QMutexLocker lock(&shared().mutex);
        m_wakeCond.wakeAll();
        m_acqSentCond.wakeAll();
        m_transferSentCond.wakeAll();
    }
    QMutexLocker lock(&m_stopMutex);
    m_stopCond.wakeAll();
}

// --- Class-wide state ---

CAL_INFO IoControl::calInfo()
{
    Shared &s = shared();
    QMutexLocker lock(&s.mutex);
    return s.cal;
}

quint32 IoControl::lastStatus()
{
    Shared &s = shared();
    QMutexLocker lock(&s.tranInitMutex);
    return s.status;
}

void IoControl::setSegmentBasicAddress(quint32 address)
{
    shared().segmentBasic = address;
}

void IoControl::setAcqFactors(const AcqFactors &factors)
{
    Shared &s = shared();
    QMutexLocker lock(&s.factorMutex);
    s.factors = factors;
}

QMutex &IoControl::shadowMutex()
{
    return shared().mutex;
}

quint64 IoControl::exchangeCount()
{
    return shared().exchanges;
}

// --- Threads ---

void IoControl::run()
{
    if (m_mode == Writer)
        runWriter();
    else
        runMonitor();
    m_stop = false;
}

void IoControl::runWriter()
{
    Shared &s = shared();
    {
        QMutexLocker lock(&s.mutex);
        QMutexLocker spi(&s.spiMutex);
        if (exchangeLocked(writeUnit(Address::CalCommand, { 0 }), nullptr) == 0) {
            QThread::msleep(ulong(m_timing.calStartPauseMs));
            // A calibration command given before the start is still to be sent.
            if (m_calImage == 0)
                m_changed &= ~GroupCal;
        }
    }
    reportLinkError();

    bool retry = false;
    while (!m_stop) {
        bool woken = false;
        {
            QMutexLocker lock(&s.mutex);
            while (!m_stop && !m_work) {
                if (!retry)
                    m_wakeCond.wait(&s.mutex);
                else if (!m_wakeCond.wait(&s.mutex, ulong(m_timing.writerRetryMs)))
                    break;
            }
            if (m_stop)
                break;
            woken = m_work;
            m_work = false;
            retry = !writerCycle();
        }
        reportLinkError();
        if (woken)
            emitStatusNow();
    }
}

// Sends what is marked, in the controller's order. Stops at the first failed exchange and
// leaves it and everything after it marked, so that the retry sends them in the same order.
bool IoControl::writerCycle()
{
    Shared &s = shared();

    if (m_changed & GroupAlarm) {
        const quint32 sent = m_alarmImage;
        if (exchange(writeUnit(Address::AlarmCommand, { sent }), nullptr) != 0)
            return false;
        m_changed &= ~GroupAlarm;
        s.alarm &= ~sent;
        m_alarmImage = 0;
    }

    if (m_changed & GroupMode) {
        if (exchange(writeUnit(Address::ModeWord, { m_modeImage }), nullptr) != 0)
            return false;
        m_changed &= ~GroupMode;
        // The analogue stage settles after a mode change, longer after a range change.
        QThread::msleep(ulong(m_timing.modeWordWaitMs));
        if (m_rangeSettle) {
            m_rangeSettle = false;
            QThread::msleep(ulong(m_timing.rangeSettleMs));
        }
    }

    // The controller takes a block only when it arrives twice; a partial block is not sent.
    const int blocks = m_arbTable.size() / Words::ArbBlock;
    for (int k = 0; k < blocks; ++k) {
        const QVector<quint32> unit = writeUnit(Address::ArbBlock + 128u * quint32(k),
            m_arbTable.mid(k * Words::ArbBlock, Words::ArbBlock));
        QMutexLocker spi(&s.spiMutex);
        if (exchangeLocked(unit, nullptr) != 0 || exchangeLocked(unit, nullptr) != 0)
            return false;
    }
    m_arbTable.clear();

    int sentSteps = 0;
    bool ok = true;
    for (const StepMessage &m : qAsConst(m_stepQueue)) {
        if (m.statusRead) {
            QMutexLocker tran(&s.tranInitMutex);
            ok = reportStatusRead();
            if (!ok)
                break;
        } else if (exchange(m.words, nullptr) != 0) {
            ok = false;
            break;
        }
        ++sentSteps;
    }
    m_stepQueue.remove(0, sentSteps);
    if (!ok)
        return false;

    if (!sendGroups())
        return false;
    applyTranChanges();
    // The cycle runs under the shadow-register mutex: every transfer() counted so far is sent.
    m_transfersSent = m_transfersGiven;
    m_transferSentCond.wakeAll();

    int done = 0;
    for (const std::shared_ptr<RegisterRequest> &r : qAsConst(m_registerQueue)) {
        const bool read = r->address & Address::ReadBit;
        if (read) {
            QMutexLocker reply(&m_replyMutex);
            if (r->abandoned) {
                ++done;
                continue;
            }
        }
        QVector<quint32> rx;
        ok = exchange(writeUnit(r->address, { quint32(r->value) }), read ? &rx : nullptr) == 0;
        if (!ok)
            break;
        if (read) {
            QMutexLocker reply(&m_replyMutex);
            r->reply = qint32(rx.value(2));
            r->done = true;
            m_replyCond.wakeAll();
        }
        ++done;
    }
    m_registerQueue.remove(0, done);
    return ok;
}

bool IoControl::sendGroups()
{
    constexpr quint32 groups =
        GroupProgram | GroupTrigger | GroupCommand | GroupSine | GroupCutoff | GroupCal;
    if (!(m_changed & groups))
        return true;
    QVector<quint32> message;
    if (m_changed & GroupProgram)
        message += writeUnit(Address::ProgramGroup, m_programImage);
    if (m_changed & GroupTrigger)
        message += writeUnit(Address::TriggerGroup, m_triggerImage);
    if (m_changed & GroupCommand)
        message += writeUnit(Address::CommandRegister, { m_commandImage });
    if (m_changed & GroupSine)
        message += writeUnit(Address::SineGroup, m_sineImage);
    if (m_changed & GroupCutoff)
        message += writeUnit(Address::CutoffGroup, m_cutoffImage);
    if (m_changed & GroupCal)
        message += writeUnit(Address::CalCommand, { m_calImage });
    if (exchange(message, nullptr) != 0)
        return false;
    m_changed &= ~groups;
    m_calImage = 0;
    m_programImage[1] = 0;
    m_commandImage = 0;
    return true;
}

// Caller holds the shadow-register mutex, and the commands of the queued changes have just
// been sent. The notifications go out under the transient-state lock, so that they reach
// queued receivers before any status word read under the new state.
void IoControl::applyTranChanges()
{
    if (m_tranChanges.isEmpty())
        return;
    Shared &s = shared();
    QMutexLocker tran(&s.tranInitMutex);
    for (const TranChange &c : qAsConst(m_tranChanges)) {
        if (c.state >= 0)
            s.initTranState = InitiateTranState(c.state);
        switch (c.notify) {
        case NotifyInit:
            emit initOccurred();
            break;
        case NotifyWtg:
            emit wtgOccurred();
            break;
        case NotifyPause:
            emit pauseOccurred();
            break;
        case NotifyResume:
            emit resumeOccurred();
            break;
        case NotifyWakeup:
            emit wakeupOccurred();
            break;
        case NotifyNone:
            break;
        }
    }
    m_tranChanges.clear();
    // The word the command produced; when this read fails the last word keeps its own state.
    reportStatusRead();
}

// Caller holds tranInitMutex.
bool IoControl::reportStatusRead()
{
    Shared &s = shared();
    StatusBlock block;
    if (!statusRead(&block))
        return false;
    s.status = block.status;
    s.statusTranState = s.initTranState;
    emit statusChanged(s.status, s.initTranState);
    if (block.cutoff != s.cutoff) {
        s.cutoff = block.cutoff;
        emit cutoffChanged(block.cutoff);
    }
    return true;
}

void IoControl::emitStatusNow()
{
    Shared &s = shared();
    QMutexLocker tran(&s.tranInitMutex);
    emit statusChanged(s.status, s.statusTranState);
}

void IoControl::runMonitor()
{
    if (sleepUnlessStopped(m_timing.monitorStartMs))
        identify();
    {
        // Waiters get the defaults when the thread was stopped before identifying.
        QMutexLocker lock(&m_infoMutex);
        m_identified = true;
        m_infoCond.wakeAll();
    }
    reportLinkError();
    if (!sleepUnlessStopped(m_timing.identificationSettleMs))
        return;
    while (!m_stop) {
        monitorCycle();
        reportLinkError();
        sleepUnlessStopped(m_timing.monitorPauseMs);
    }
}

void IoControl::identify()
{
    Shared &s = shared();
    MODELS_INFO info;
    CAL_INFO cal;
    bool matched = false;
    {
        QMutexLocker spi(&s.spiMutex);
        QVector<quint32> rx;
        if (exchangeLocked(readUnit(Address::Identification, Words::Identification), &rx) == 0)
            matched = decodeIdentification(rx, &info, &cal);
        rx.clear();
        if (exchangeLocked(readUnit(Address::UnitBlock, Words::UnitBlock), &rx) == 0)
            decodeUnitBlock(rx, &info);
    }
    if (matched) {
        QMutexLocker lock(&s.mutex);
        s.cal = cal;
    }
    QMutexLocker lock(&m_infoMutex);
    m_modelsInfo = info;
}

// Caller holds tranInitMutex. A failed read reports nothing: a zero word would read as
// "this unit became a parallel slave".
bool IoControl::statusRead(StatusBlock *block)
{
    QVector<quint32> rx;
    if (exchange(readUnit(Address::StatusBlock, Words::StatusBlock), &rx) != 0)
        return false;
    *block = StatusBlock::fromData(rx.constData() + 2);
    return true;
}

void IoControl::monitorCycle()
{
    Shared &s = shared();
    quint32 abortLatch = 0;
    quint32 trigCount = 0;
    {
        QMutexLocker lock(&s.mutex);
        if (m_commandRegister) {
            const QVector<quint32> unit =
                writeUnit(Address::CommandRegister, { m_commandRegister });
            if (exchange(unit, nullptr) == 0) {
                if (m_commandRegister & Command::AcqInitiate)
                    m_readoutTraceCount = 0;
                m_commandRegister = 0;
                m_acqSent = m_acqGiven;
                m_acqSentCond.wakeAll();
            }
        }
        abortLatch = m_abortLatch;
        trigCount = s.trigCount;
    }

    StatusBlock block;
    bool triggered = false;
    bool cutoffChanged_ = false;
    bool addressChanged = false;
    bool loopChanged = false;
    {
        QMutexLocker tran(&s.tranInitMutex);
        if (!statusRead(&block))
            return;
        // Emitted under the transient-state lock so that every word goes out with the state in
        // force when it was read (receivers are queued).
        s.statusTranState = s.initTranState;
        const quint32 basic = s.segmentBasic;
        if (block.nodeAddress > basic) {
            if (block.nodeAddress != s.currNodeAdr) {
                s.currNodeAdr = block.nodeAddress;
                addressChanged = true;
            }
            if (block.loopCount != m_lastLoop) {
                m_lastLoop = block.loopCount;
                loopChanged = true;
            }
        }
        // The node and loop go out ahead of the word read with them, so that a receiver of an
        // idle word already knows the node the program stopped at.
        if (loopChanged)
            emit transientLoopChanged(block.loopCount);
        if (addressChanged)
            emit transientAddressChanged(block.nodeAddress);
        if (block.status != s.status) {
            s.status = block.status;
            emit statusChanged(block.status, s.initTranState);
            triggered = !(block.status & Status::AcqWaitTrigger);
        }
        if (block.cutoff != s.cutoff) {
            s.cutoff = block.cutoff;
            cutoffChanged_ = true;
        }
    }
    if (triggered)
        emit acqTriggered();
    if (cutoffChanged_)
        emit cutoffChanged(block.cutoff);

    AcqFactors factors;
    {
        QMutexLocker lock(&s.factorMutex);
        factors = s.factors;
    }

    const int n = abortLatch ? 0 : traceReadCount(block.writtenCount, m_readoutTraceCount);
    if (n > 0) {
        QVector<quint32> rx;
        const QVector<quint32> unit =
            readUnit(traceReadAddress(m_readoutTraceCount), n * Words::TraceRecord);
        // A failed read leaves the count, so the next cycle reads the same records again.
        if (exchange(unit, &rx) == 0) {
            m_readoutTraceCount += quint32(n);
            if (heapReceiver(QMetaMethod::fromSignal(&IoControl::dataUpdated))) {
                auto *batch = new QVector<TRACE_DATA>;
                batch->reserve(n);
                for (int i = 0; i < n; ++i) {
                    const quint32 *w = rx.constData() + 2 + i * Words::TraceRecord;
                    batch->append(traceToData(TRACE_BUFFER::fromWords(w), factors));
                }
                emit dataUpdated(batch, int(trigCount) - int(m_readoutTraceCount));
            }
        }
    }

    if (++m_monitorCycle >= 4) {
        m_monitorCycle = 0;
        QVector<quint32> rx;
        if (exchange(readUnit(Address::MonitorRecord, Words::TraceRecord), &rx) == 0
            && heapReceiver(QMetaMethod::fromSignal(&IoControl::monitorUpdated))) {
            const TRACE_BUFFER raw = TRACE_BUFFER::fromWords(rx.constData() + 2);
            emit monitorUpdated(new TRACE_DATA(traceToData(raw, factors)));
        }
    }
}

// Heap records are made only when someone is there to free them.
bool IoControl::heapReceiver(const QMetaMethod &signal) const
{
    return isSignalConnected(signal);
}

bool IoControl::sleepUnlessStopped(int ms)
{
    QMutexLocker lock(&m_stopMutex);
    QDeadlineTimer deadline(ms);
    while (!m_stop && !deadline.hasExpired())
        m_stopCond.wait(&m_stopMutex, deadline);
    return !m_stop;
}

int IoControl::exchange(const QVector<quint32> &tx, QVector<quint32> *rx)
{
    QMutexLocker spi(&shared().spiMutex);
    return exchangeLocked(tx, rx);
}

int IoControl::exchangeLocked(const QVector<quint32> &tx, QVector<quint32> *rx)
{
    Shared &s = shared();
    int rc = 0;
    if (!s.port.isOpen())
        rc = s.port.open(s.path);
    if (rc == 0)
        rc = s.port.transfer(tx, rx);
    ++s.exchanges;
    if (rc == 0 && rx && rx->size() != tx.size())
        rc = -EPROTO;
    if (rc != 0) {
        // One report per run of failures, whichever link meets it first.
        if (!s.failing)
            m_pendingReport = rc;
        s.failing = true;
    } else {
        s.failing = false;
    }
    return rc;
}

void IoControl::reportLinkError()
{
    if (m_pendingReport == 0)
        return;
    const int rc = m_pendingReport;
    m_pendingReport = 0;
    QString path;
    {
        QMutexLocker spi(&shared().spiMutex);
        path = shared().path;
    }
    ErrorSink sink;
    {
        QMutexLocker lock(&shared().sinkMutex);
        sink = shared().sink;
    }
    if (sink)
        sink(ErrSystem,
            QStringLiteral("I/O controller link %1: %2").arg(path, qt_error_string(-rc)));
}

} // namespace ioc
