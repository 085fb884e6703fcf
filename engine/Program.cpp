#include "engine/Program.h"

#include "engine/AcquireTrigger.h"
#include "engine/Basic.h"
#include "engine/ProgramStepsModel.h"
#include "engine/ProgramsModel.h"
#include "engine/ioc/AvlTree.h"
#include "engine/ioc/ProgramStep.h"
#include "instrument/ModelInformation.h"
#include "platform/BoardPath.h"
#include "remote/StatusRegisters.h"

#include <QDir>
#include <QMetaObject>
#include <QThread>
#include <QWaitCondition>

#include <cmath>
#include <memory>

namespace vek {

namespace {

using ioc::ProgramStep;

// Wait and generate bits of each trigger code, by code.
struct CodeBits
{
    quint32 wait;
    quint32 generate;
};
constexpr CodeBits s_codeBits[] = {
    { 0, 0 }, // IMMEDIATE
    { ProgramStep::WaitBus, 0 },
    { ProgramStep::WaitTriggerIn, 0 },
    { 0, ProgramStep::GenerateTriggerOut },
    { 0, ProgramStep::GenerateDigital0 },
    { 0, ProgramStep::GenerateDigital1 },
    { ProgramStep::WaitDigital2, ProgramStep::GenerateDigital2 },
    { 0, ProgramStep::GenerateTALink },
    { ProgramStep::WaitMSync, 0 },
    { 0, 0 }, // LOADOFF
    { ProgramStep::WaitCutoff, 0 },
};
constexpr int CodeCount = int(sizeof(s_codeBits) / sizeof(s_codeBits[0]));

quint32 bitsOf(const QVector<uint8_t> &codes, bool wait)
{
    quint32 bits = 0;
    for (uint8_t c : codes) {
        if (c < CodeCount)
            bits |= wait ? s_codeBits[c].wait : s_codeBits[c].generate;
    }
    return bits;
}

// Operate-word bits of a step that the end of a run writes back.
constexpr quint32 OcTripBit = 0x100000;
constexpr quint32 OpTripBit = 0x200000;
constexpr quint32 UvpBit = 0x400000;
constexpr quint32 AddCvBit = 0x800000;

// One handshake request's completion: only the request that made it waits on it.
struct Completion
{
    QMutex mutex;
    QWaitCondition done;
    bool finished = false;
    SCPIERR_T result = 0;
};

} // namespace

Program::Program(ioc::IoControl *writer,
    ModelInformation *info,
    Status *status,
    InstrumentConfigInfo *config,
    Basic *basic,
    AcquireTrigger *acquire)
    : Source(writer, info, status, config)
    , m_programsModel(new ProgramsModel(info))
    , m_basic(basic)
    , m_acquire(acquire)
{
    qRegisterMetaType<QVector<uint8_t>>("QVector<uint8_t>");
    connect(this, &Program::saved, this, &Program::save);
    connect(this, &Program::chained, this, &Program::chain);
    connect(this, &Program::voltageLevelChanged, this, &Program::setVoltageLevel);
    connect(
        this, &Program::currentProtectionLevelChanged, this, &Program::setCurrentProtectionLevel);
    connect(
        this, &Program::currentProtectionStateChanged, this, &Program::setCurrentProtectionState);
    connect(this, &Program::powerProtectionLevelChanged, this, &Program::setPowerProtectionLevel);
    connect(this, &Program::powerProtectionStateChanged, this, &Program::setPowerProtectionState);
    connect(
        this, &Program::voltageProtectionLevelChanged, this, &Program::setVoltageProtectionLevel);
    connect(this,
        &Program::voltageProtectionTripStateChanged,
        this,
        &Program::setVoltageProtectionTripState);
    connect(
        this, &Program::voltageProtectionStateChanged, this, &Program::setVoltageProtectionState);
    connect(this, &Program::laststepStateChanged, this, &Program::setLaststepState);
}

Program::~Program()
{
    delete m_programsModel;
}

ProgramStepsModel *Program::steps() const
{
    return m_programsModel->stepsModel();
}

SCPIERR_T Program::request(const std::function<SCPIERR_T()> &work)
{
    if (QThread::currentThread() == thread()) {
        QMutexLocker lock(&m_requestMutex);
        return work();
    }
    const quint64 interrupts = requestInterrupts();
    auto completion = std::make_shared<Completion>();
    QMetaObject::invokeMethod(
        this,
        [this, work, completion] {
            SCPIERR_T result = 0;
            {
                QMutexLocker lock(&m_requestMutex);
                result = work();
            }
            QMutexLocker lock(&completion->mutex);
            completion->result = result;
            completion->finished = true;
            completion->done.wakeOne();
        },
        Qt::QueuedConnection);
    // interruptRequests() (the parser's shut-down) ends this wait too; the work, once queued,
    // still runs and completes into the abandoned completion.
    QMutexLocker lock(&completion->mutex);
    while (!completion->finished) {
        if (requestInterrupts() != interrupts)
            return Error::ExecutionError;
        completion->done.wait(&completion->mutex, 50);
    }
    return completion->result;
}

// --- Handshake work ---

SCPIERR_T Program::doCreate(const QString &path)
{
    if (programRunState() != 0)
        return Error::ProgramRunning;
    if (m_functionMode.load() == SourceMode(4))
        return Error::InvalidFunctionMode;
    return m_programsModel->doCreate(path);
}

SCPIERR_T Program::doDelete(const QString &path)
{
    if (programRunState() != 0)
        return Error::ProgramRunning;
    return m_programsModel->doDelete(path);
}

SCPIERR_T Program::setSelected(const QString &path)
{
    if (programRunState() != 0)
        return Error::ProgramRunning;
    return m_programsModel->selected(path);
}

SCPIERR_T Program::rename(const QString &newName)
{
    return m_programsModel->rename(newName);
}

SCPIERR_T Program::setLoop(unsigned loop)
{
    if (loop > unsigned(ProgramStepsModel::MaxLoop))
        return Error::DataOutOfRange;
    if (!steps()->programObject())
        return Error::ProgramNotSelected;
    steps()->setLoop(loop);
    return 0;
}

SCPIERR_T Program::setStepsCount(int count)
{
    if (count < 1 || count > ProgramStepsModel::MaxSteps)
        return Error::DataOutOfRange;
    if (!steps()->programObject())
        return Error::ProgramNotSelected;
    const int n = steps()->rowCount();
    if (count < n)
        steps()->removeRows(count, n - count);
    else if (count > n)
        return steps()->insertSteps(n - 1, count - n);
    return 0;
}

SCPIERR_T Program::stepCheck(unsigned step)
{
    if (step == 0)
        return Error::StepOutOfRange;
    const int kind = steps()->setRow(step - 1);
    if (kind == 0)
        return Error::StepOutOfRange;
    return kind == 2 ? Error::SubProgramStep : 0;
}

void Program::resend()
{
    if (programRunState() != 0)
        transferProgramObject(QString());
}

#define VEK_STEP_SETTER(Name, Type, Call)                                                          \
    SCPIERR_T Program::Name(unsigned step, Type value)                                             \
    {                                                                                              \
        {                                                                                          \
            EngineLocker lock(&engineMutex());                                                     \
            if (SCPIERR_T e = stepCheck(step))                                                     \
                return e;                                                                          \
            steps()->Call(value);                                                                  \
        }                                                                                          \
        resend();                                                                                  \
        return 0;                                                                                  \
    }

VEK_STEP_SETTER(setStepLevel, double, setLevel)
VEK_STEP_SETTER(setStepSlewRate, double, setSlewrate)
VEK_STEP_SETTER(setStepOutput, bool, setOutput)
VEK_STEP_SETTER(setStepTransient, bool, setRamp)
#undef VEK_STEP_SETTER

SCPIERR_T Program::setStepDwell(unsigned step, double time)
{
    {
        EngineLocker lock(&engineMutex());
        if (SCPIERR_T e = stepCheck(step))
            return e;
        if (!(time >= m_info->stepTimeMin() && time <= m_info->stepTimeMax()))
            return Error::DataOutOfRange;
        steps()->setDwell(time);
    }
    resend();
    return 0;
}

SCPIERR_T Program::setStepTrigWait(unsigned step, const QVector<uint8_t> &codes)
{
    EngineLocker lock(&engineMutex());
    if (SCPIERR_T e = stepCheck(step))
        return e;
    steps()->setTriggerWait(ProgramStep::TrigWait(bitsOf(codes, true)));
    return 0;
}

SCPIERR_T Program::setStepTrigGen(unsigned step, const QVector<uint8_t> &codes)
{
    EngineLocker lock(&engineMutex());
    if (SCPIERR_T e = stepCheck(step))
        return e;
    steps()->setTriggerGenerate(ProgramStep::TrigGenerate(bitsOf(codes, false)));
    return 0;
}

SCPIERR_T Program::setLaststepState(bool on)
{
    steps()->setLaststepState(on);
    resend();
    return 0;
}

SCPIERR_T Program::setLaststepOutput(bool on)
{
    steps()->setLaststepOutput(on);
    resend();
    return 0;
}

SCPIERR_T Program::setLaststepLevel(double level)
{
    steps()->setLaststepLevel(level);
    resend();
    return 0;
}

SCPIERR_T Program::setLaststepSlewrate(double level)
{
    steps()->setLaststepSlewrate(level);
    resend();
    return 0;
}

// --- Plain work: the result reaches no handler, and no waiting request is touched ---

SCPIERR_T Program::save()
{
    return m_programsModel->save();
}

SCPIERR_T Program::chain(const QString &)
{
    return Error::SyntaxError;
}

SCPIERR_T Program::setVoltageLevel(double level)
{
    steps()->setRealVoltageLevel(level);
    return 0;
}

SCPIERR_T Program::setCurrentProtectionLevel(double level)
{
    steps()->setRealCurrentProtectionLevel(level);
    return 0;
}

SCPIERR_T Program::setCurrentProtectionState(bool trip)
{
    steps()->setCurrentProtectionTripState(trip);
    return 0;
}

SCPIERR_T Program::setPowerProtectionLevel(double level)
{
    steps()->setRealPowerProtectionLevel(level);
    return 0;
}

SCPIERR_T Program::setPowerProtectionState(bool trip)
{
    steps()->setPowerProtectionTripState(trip);
    return 0;
}

SCPIERR_T Program::setVoltageProtectionLevel(double level)
{
    steps()->setRealVoltageProtectionLevel(level);
    return 0;
}

SCPIERR_T Program::setVoltageProtectionTripState(bool trip)
{
    steps()->setVoltageProtectionTripState(trip);
    return 0;
}

SCPIERR_T Program::setVoltageProtectionState(bool enable)
{
    steps()->setVoltageProtectionState(enable);
    return 0;
}

// --- Queries ---

#define VEK_QUERY(Name, Type, Call)                                                                \
    SCPIERR_T Program::Name(Type *v)                                                               \
    {                                                                                              \
        EngineLocker lock(&engineMutex());                                                         \
        *v = steps()->Call();                                                                      \
        return 0;                                                                                  \
    }

VEK_QUERY(getLoop, unsigned, loop)
VEK_QUERY(getStepsCount, int, rowCount)
VEK_QUERY(getVoltageLevel, double, realVoltageLevel)
VEK_QUERY(getCurrentProtectionLevel, double, realCurrentProtectionLevel)
VEK_QUERY(getCurrentProtectionTripState, bool, currentProtectionTripState)
VEK_QUERY(getPowerProtectionLevel, double, realPowerProtectionLevel)
VEK_QUERY(getPowerProtectionTripState, bool, powerProtectionTripState)
VEK_QUERY(getVoltageProtectionLevel, double, realVoltageProtectionLevel)
VEK_QUERY(getVoltageProtectionTripState, bool, voltageProtectionTripState)
VEK_QUERY(getVoltageProtectionState, bool, voltageProtectionState)
VEK_QUERY(getLaststepState, bool, laststepState)
VEK_QUERY(getLaststepOutput, bool, laststepOutput)
VEK_QUERY(getLaststepLevel, double, laststepLevel)
VEK_QUERY(getLaststepSlewrate, double, laststepSlewrate)
#undef VEK_QUERY

#define VEK_STEP_QUERY(Name, Type, Fail, Call)                                                     \
    SCPIERR_T Program::Name(unsigned step, Type *v)                                                \
    {                                                                                              \
        EngineLocker lock(&engineMutex());                                                         \
        if (SCPIERR_T e = stepCheck(step)) {                                                       \
            *v = Fail;                                                                             \
            return e;                                                                              \
        }                                                                                          \
        *v = steps()->Call();                                                                      \
        return 0;                                                                                  \
    }

VEK_STEP_QUERY(getStepLevel, double, NotANumber, level)
VEK_STEP_QUERY(getStepSlewRate, double, NotANumber, slewrate)
VEK_STEP_QUERY(getStepDwell, double, NotANumber, dwell)
VEK_STEP_QUERY(getStepOutput, bool, false, output)
VEK_STEP_QUERY(getStepTransient, bool, false, ramp)
#undef VEK_STEP_QUERY

SCPIERR_T Program::getStepTrigWait(unsigned step, QVector<uint8_t> *codes)
{
    EngineLocker lock(&engineMutex());
    if (SCPIERR_T e = stepCheck(step))
        return e;
    const quint32 bits = steps()->triggerWait();
    for (uint8_t c : { CodeBus, CodeTrigIn, CodeDigital2, CodeMSync, CodeCutoff }) {
        if (bits & s_codeBits[c].wait)
            codes->append(c);
    }
    if (!(bits & ProgramStep::TrigWaitMask))
        codes->append(CodeImmediate);
    return 0;
}

SCPIERR_T Program::getStepTrigGen(unsigned step, QVector<uint8_t> *codes)
{
    EngineLocker lock(&engineMutex());
    if (SCPIERR_T e = stepCheck(step))
        return e;
    const quint32 bits = steps()->triggerGenerate();
    for (uint8_t c : { CodeTrigOut, CodeDigital0, CodeDigital1, CodeDigital2, CodeTaLink }) {
        if (bits & s_codeBits[c].generate)
            codes->append(c);
    }
    return 0;
}

// --- Run control ---

SCPIERR_T Program::transferProgramObject(const QString &path)
{
    EngineLocker lock(&engineMutex());
    ioc::AvlTree *tree = m_programsModel->searchProgramObject(path);
    if (!tree)
        return Error::ProgramNotSelected;
    tree->transferTo(*m_writer);
    return 0;
}

QString Program::physicalProrgamPath(SourceMode mode)
{
    static const char *const dirs[] = { "cc", "cr", "cv", "cp" };
    const int m = int(mode);
    return QStringLiteral("/etc/instr/programs/") + QLatin1String(m >= 0 && m < 4 ? dirs[m] : "nc");
}

SCPIERR_T Program::initiateTransient(const QString &path)
{
    EngineLocker lock(&engineMutex());
    if (m_initiated)
        return Error::InitIgnored;
    steps()->setStepsProtections();
    if (!m_programsModel->searchProgramObject(path))
        return Error::ProgramNotSelected;
    // The controller must leave whatever it runs before the new tree overwrites the step pool,
    // but the writer sends queued trees ahead of the command groups of the same cycle: the
    // abort goes out on its own first. The writer never takes the engine mutex.
    m_writer->progCommand(ioc::IoControl::TranAbort, ioc::IoControl::ViaProgramGroup);
    m_writer->transfer();
    if (!m_writer->waitTransferred())
        return ioc::IoControl::ErrSystem;
    if (SCPIERR_T e = transferProgramObject(path))
        return e;
    onInitiate();
    m_writer->clearCutoff();
    m_writer->clearCutoffFlagLatch();
    if (m_acquire && m_acquire->getIntegralGate() == IntegralGateProgramRun)
        m_writer->setDataIntegralGate(ioc::IoControl::DataIntegralGate(0x10000000));
    if (m_acquire && m_acquire->integralGateAutoResetState())
        m_writer->integralCommand(ioc::IoControl::IntegralCommnd(0x4000000));
    m_writer->setProgTriggerDelay(m_triggerDelay);
    m_writer->setTranTriggerSource(ioTriggerSources());
    m_writer->progCommand(ioc::IoControl::TranProgInit, ioc::IoControl::ViaCommandRegister);
    m_writer->transfer();
    return 0;
}

SCPIERR_T Program::checkTrigger(ioc::IoControl::TrigTransientSource source)
{
    if (!m_initiated)
        return Error::InitIgnored;
    if (m_running)
        return Error::TriggerIgnored;
    if (!m_waitInStep && !(triggerSources() & source))
        return Error::TriggerIgnored;
    return 0;
}

SCPIERR_T Program::triggerTransient()
{
    if (SCPIERR_T e = checkTrigger(ioc::IoControl::ttsBus))
        return e;
    m_writer->busCommand();
    m_writer->transfer();
    return 0;
}

SCPIERR_T Program::msyncTransient()
{
    if (!m_status || !m_status->linkOn())
        return Error::MSyncNotEstablished;
    if (SCPIERR_T e = checkTrigger(ioc::IoControl::ttsMSync))
        return e;
    m_writer->progCommand(ioc::IoControl::TranMSync, ioc::IoControl::ViaProgramGroup);
    m_writer->transfer();
    return 0;
}

SCPIERR_T Program::triggerTransientSupend()
{
    m_writer->progCommand(ioc::IoControl::TranPause, ioc::IoControl::ViaProgramGroup);
    m_writer->transfer();
    return 0;
}

SCPIERR_T Program::triggerTransientResume()
{
    m_writer->progCommand(ioc::IoControl::TranResume, ioc::IoControl::ViaProgramGroup);
    m_writer->transfer();
    return 0;
}

SCPIERR_T Program::abortTransient()
{
    if (programRunState() != 0) {
        m_writer->progCommand(ioc::IoControl::TranAbort, ioc::IoControl::ViaProgramGroup);
        m_writer->transfer();
    }
    onAbort();
    return 0;
}

// --- Run state as reported ---

void Program::onInitiate()
{
    m_initiated = true;
    m_running = true;
    zo4882::s_statOper.setCondition(OperProgramRunning, 1);
}

void Program::onWaitTrigger()
{
    m_running = false;
    zo4882::s_statOper.setCondition(OperWaitingForTrigger, 1);
}

void Program::onTrigger()
{
    m_running = true;
    zo4882::s_statOper.setCondition(OperWaitingForTrigger | OperSuspended, 0);
    zo4882::s_statOper.setCondition(OperProgramRunning, 1);
}

void Program::onAbort()
{
    m_initiated = false;
    m_running = false;
    zo4882::s_statOper.setCondition(OperWaitingForTrigger | OperProgramRunning, 0);
}

void Program::onComplete()
{
    onAbort();
}

void Program::onStateWait(bool isProgStep)
{
    setProgramRunState(KeywordBridge_IdleWtgRun::values(WaitingForTrigger));
    m_waitInStep = isProgStep;
    onWaitTrigger();
}

void Program::onStateRun()
{
    setProgramRunState(KeywordBridge_IdleWtgRun::values(Running));
    onTrigger();
}

void Program::onStatePause()
{
    setProgramRunState(KeywordBridge_IdleWtgRun::values(Suspended));
    zo4882::s_statOper.setCondition(OperSuspended, 1);
}

void Program::onStateIdle(unsigned address)
{
    // The stopping node's words are copied under the shadow mutex; the setters below take the
    // engine mutex, which comes before it.
    bool found = false;
    StopWords words;
    {
        QMutexLocker shadow(&ioc::IoControl::shadowMutex());
        const ioc::ProgramStep *s =
            steps()->programObject() ? ioc::ProgramStep::programStepInfo(address) : nullptr;
        if (s) {
            found = true;
            words = { s->dc(), s->slewRate(), s->cvLimit(), s->cp(), s->uvp(), s->operate() };
        }
    }
    setProgramRunState(KeywordBridge_IdleWtgRun::values(Idle));
    const bool last = steps()->laststepState();
    if (found && m_basic)
        writeBack(words, last);
    m_writer->setCutoffFlagLatch();
    if (m_acquire && m_acquire->getIntegralGate() == IntegralGateProgramRun)
        m_writer->setDataIntegralGate(ioc::IoControl::DataIntegralGate(0));
    m_writer->setProgTriggerDelay(0);
    m_writer->setTranTriggerSource(ioc::IoControl::ttsImmediate);
    if (m_basic)
        m_basic->setOutput(last ? steps()->laststepOutput() : bool(m_stateLoad));
    const ioc::IoControl::ProgramCommand restart = m_pulseState ? ioc::IoControl::TranPulseInit
        : m_sineState                                           ? ioc::IoControl::TranSineInit
                                                                : ioc::IoControl::Tran;
    m_writer->progCommand(restart, ioc::IoControl::ViaCommandRegister);
    m_writer->transfer();
    onComplete();
}

void Program::writeBack(const StopWords &w, bool last)
{
    Basic &b = *m_basic;
    const int i = int(getCurrentRange());
    const int v = int(m_voltRange.load());
    const int p = getPowerRange();
    auto real = [](const QMap<int, BoundValue> &map, int range, quint32 word) {
        return ModelInformation::rangeValue(map, range).toRealValueEx(word);
    };
    const double level = steps()->laststepLevel();
    const double slew = steps()->laststepSlewrate();
    const updateTiming t = UpdateIfChanged;
    auto voltage = [&] {
        b.setRealVoltageLevel(real(m_info->voltageMap(), v, w.cvLimit), t);
    };
    auto opp = [&] {
        b.setRealPowerProtectionLevel(real(m_info->oppMap(), p, w.cp), t);
        b.setPowerProtectionTripState(w.operate & OpTripBit);
    };
    auto ocp = [&] {
        b.setRealCurrentProtectionLevel(real(m_info->ocpMap(), i, w.slewOrCcLimit), t);
        b.setCurrentProtectionTripState(w.operate & OcTripBit);
    };
    switch (int(m_functionMode.load())) {
    case 0: // CC
        b.setRealCurrentLevel(last ? level : real(m_info->currentMap(), i, w.dc), t);
        b.setRealCurrentSlewRateLevel(
            last ? slew : real(m_info->slewRateMap(), i, w.slewOrCcLimit), t);
        voltage();
        opp();
        break;
    case 1: // CR
        b.setRealConductanceLevel(last ? level : real(m_info->conductanceMap(), i, w.dc), t);
        voltage();
        opp();
        ocp();
        break;
    case 2: // CV
        b.setRealVoltageLevel(last ? level : real(m_info->voltageMap(), v, w.dc), t);
        opp();
        ocp();
        break;
    case 3: // CP
        b.setRealPowerLevel(last ? level : real(m_info->powerMap(), p, w.cp), t);
        ocp();
        break;
    default: // ARB keeps its settings
        break;
    }
    b.setRealVoltageProtectionLevel(real(m_info->uvpMap(), v, w.uvp), t);
    b.setVoltageProtectionState(w.operate & (AddCvBit | UvpBit));
    b.setVoltageProtectionTripState(!(w.operate & AddCvBit), t);
}

void Program::onTransientAddressChange(unsigned address)
{
    const unsigned step = steps()->convertAddress2Step(address);
    m_transientStep = step;
    Q_EMIT transientStepChanged(step);
}

void Program::onTransientLoopChange(unsigned loop)
{
    m_transientLoop = loop;
    Q_EMIT transientLoopChanged(loop);
}

void Program::onFunctionModeChange(SourceMode mode, bool)
{
    m_programsModel->loadDirectory(physicalProrgamPath(mode));
}

void Program::onCurrRangeChange(SourceCurrentRange, SourceCurrentRange)
{
    m_programsModel->deleteProgramsObject();
}

void Program::onVoltRangeChange(SourceVoltageRange)
{
    m_programsModel->deleteProgramsObject();
}

void Program::listDirectory(
    const QString &dir, const QString &relative, QStringList *paths, int depth)
{
    if (depth > ProgramsModel::MaxDepth)
        return;
    const QStringList names = QDir(platform::BoardPath::map(dir + relative))
                                  .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                                      QDir::Name | QDir::IgnoreCase);
    for (const QString &name : names) {
        const QString path = relative + QLatin1Char('/') + name;
        paths->append(path);
        listDirectory(dir, path, paths, depth + 1);
    }
}

QStringList Program::list() const
{
    QStringList paths;
    listDirectory(m_programsModel->programPath(), QString(), &paths, 1);
    return paths;
}

} // namespace vek
