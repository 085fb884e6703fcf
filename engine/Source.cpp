#include "engine/Source.h"

#include "engine/EngineLock.h"
#include "instrument/InstrumentConfigInfo.h"
#include "instrument/ModelInformation.h"

#include <QMutexLocker>

#include <cmath>

namespace vek {

using ioc::IoControl;

std::atomic<SourceMode> Source::m_functionMode { KeywordBridge_CcCrCvCpArb::CC };
std::atomic<bool> Source::m_functionModeCvOption { false };
std::atomic<SourceCurrentRange> Source::m_currRange { KeywordBridge_LowMedHigh::HIGH };
std::atomic<SourceVoltageRange> Source::m_voltRange { KeywordBridge_LowHigh::HIGH };
std::atomic<quint32> Source::m_extCurrIoRange { 0 };
std::atomic<bool> Source::m_stateLoad { false };
std::atomic<bool> Source::m_load { false };
std::atomic<bool> Source::m_extLoad { true };
std::atomic<bool> Source::m_pulseState { false };
std::atomic<bool> Source::m_sineState { false };
std::atomic<bool> Source::m_outputShort { false };
std::atomic<bool> Source::m_external { false };
std::atomic<bool> Source::m_voltExternal { false };
std::atomic<bool> Source::m_ccAddExternal { false };
std::atomic<double> Source::m_ssTime { 0.0 };
std::atomic<double> Source::m_arbRespTime { 0.0 };
std::atomic<KeywordBridge_NormFast::values> Source::m_voltResponse { KeywordBridge_NormFast::NORM };
std::atomic<KeywordBridge_NormFast::values> Source::m_condResponse { KeywordBridge_NormFast::NORM };
std::atomic<quint32> Source::m_triggerDelay { 0 };
std::atomic<bool> Source::m_watchDogStatus { false };
std::atomic<int> Source::m_loadSwitchesOn { 0 };

namespace {

// Written under Source::stateMutex(), read without it.
std::atomic<quint32> s_trigSources { IoControl::ttsImmediate };
std::atomic<quint32> s_ioTrigSources { IoControl::ttsImmediate };

std::atomic<KeywordBridge_IdleWtgRun::values> s_programRunState { KeywordBridge_IdleWtgRun::IDLE };

// Guards s_watchdogRecovery.
QMutex s_recoveryMutex;
Source::WatchdogRecovery s_watchdogRecovery;

bool modeIsCvCpArb(SourceMode mode)
{
    return mode == KeywordBridge_CcCrCvCpArb::CV || mode == KeywordBridge_CcCrCvCpArb::CP
        || mode == KeywordBridge_CcCrCvCpArb::ARB;
}

// The (time, code) pair of a table for t: the first whose time is at or above t. Null when the
// table is empty or t lies outside its first and last time (a NaN lies outside too).
const QPair<double, qint32> *tableEntry(const QVector<QPair<double, qint32>> &table, double t)
{
    if (table.isEmpty() || !(t >= table.first().first && t <= table.last().first))
        return nullptr;
    for (const QPair<double, qint32> &entry : table) {
        if (entry.first >= t)
            return &entry;
    }
    return nullptr;
}

} // namespace

Source::Source(
    ioc::IoControl *writer, ModelInformation *info, Status *status, InstrumentConfigInfo *config)
    : QObject(nullptr)
    , m_writer(writer)
    , m_info(info)
    , m_status(status)
    , m_config(config)
{
    // Under the names the signals are declared with, for queued connections and spies.
    qRegisterMetaType<KeywordBridge_CcCrCvCpArb::values>("vek::SourceMode");
    qRegisterMetaType<KeywordBridge_LowMedHigh::values>("vek::SourceCurrentRange");
    qRegisterMetaType<KeywordBridge_LowHigh::values>("vek::SourceVoltageRange");
    qRegisterMetaType<KeywordBridge_CcCrCvCpArb::values>("SourceMode");
    qRegisterMetaType<KeywordBridge_LowMedHigh::values>("SourceCurrentRange");
    qRegisterMetaType<KeywordBridge_LowHigh::values>("SourceVoltageRange");
    {
        QMutexLocker lock(&stateMutex());
        s_trigSources = IoControl::ttsImmediate;
    }
    // Runs once the engine root, which builds this object, is complete.
    QMetaObject::invokeMethod(this, &Source::initialize, Qt::QueuedConnection);
}

Source::~Source() = default;

// --- Class-wide state ---

TrigTransientSources Source::triggerSources()
{
    return TrigTransientSources(int(s_trigSources.load()));
}

TrigTransientSources Source::ioTriggerSources()
{
    return TrigTransientSources(int(s_ioTrigSources.load()));
}

void Source::setIoTriggerSources(TrigTransientSources sources)
{
    QMutexLocker lock(&stateMutex());
    s_ioTrigSources = quint32(sources);
}

QMutex &Source::stateMutex()
{
    static QMutex mutex;
    return mutex;
}

void Source::resetState()
{
    EngineLocker engine(&engineMutex());
    QMutexLocker lock(&stateMutex());
    m_functionMode = KeywordBridge_CcCrCvCpArb::CC;
    m_functionModeCvOption = false;
    m_currRange = KeywordBridge_LowMedHigh::HIGH;
    m_voltRange = KeywordBridge_LowHigh::HIGH;
    m_extCurrIoRange = 0;
    m_stateLoad = false;
    m_load = false;
    m_extLoad = true;
    m_pulseState = false;
    m_sineState = false;
    m_outputShort = false;
    m_external = false;
    m_voltExternal = false;
    m_ccAddExternal = false;
    m_ssTime = 0.0;
    m_arbRespTime = 0.0;
    m_voltResponse = KeywordBridge_NormFast::NORM;
    m_condResponse = KeywordBridge_NormFast::NORM;
    s_trigSources = IoControl::ttsImmediate;
    s_ioTrigSources = IoControl::ttsImmediate;
    m_triggerDelay = 0;
    m_watchDogStatus = false;
    m_loadSwitchesOn = 0;
    s_programRunState = KeywordBridge_IdleWtgRun::IDLE;
}

void Source::setProgramRunState(KeywordBridge_IdleWtgRun::values state)
{
    s_programRunState = state;
}

KeywordBridge_IdleWtgRun::values Source::programRunState()
{
    return s_programRunState;
}

bool Source::programRunning()
{
    return s_programRunState != KeywordBridge_IdleWtgRun::IDLE;
}

void Source::setWatchdogRecovery(WatchdogRecovery recovery)
{
    QMutexLocker lock(&s_recoveryMutex);
    s_watchdogRecovery = std::move(recovery);
}

void Source::recoverWatchdog()
{
    WatchdogRecovery recover;
    {
        QMutexLocker lock(&s_recoveryMutex);
        recover = s_watchdogRecovery;
    }
    if (recover)
        recover();
}

// --- Virtual operations ---

SCPIERR_T Source::setCurrentRange(SourceCurrentRange range, updateTiming timing)
{
    EngineStep step;
    if (range == KeywordBridge_LowMedHigh::MED && m_info->condRangeMap().size() == 2)
        return Error::DataOutOfRange;
    if (range == m_currRange && timing != UpdateAlways)
        return Error::None;
    if (m_stateLoad)
        return Error::LoadOn;
    if (programRunning())
        return Error::ProgramRunning;

    m_writer->integralCommand(IoControl::IntegralReset);
    quint32 bits = m_extCurrIoRange;
    if (range == KeywordBridge_LowMedHigh::LOW)
        bits = IoControl::CurrentLow;
    else if (range == KeywordBridge_LowMedHigh::MED)
        bits = IoControl::CurrentMedium;
    // Units joined in parallel operation need longer to settle.
    m_writer->setCurrentRange(IoControl::CurrentRange(bits), m_info->modelNames().size() > 1);
    m_writer->transfer();
    m_currRange = range;
    const SourceCurrentRange effective = getCurrentRange();
    step.announce([this, effective, range] {
        emit currRangeChanged(effective, range);
    });
    return Error::None;
}

SCPIERR_T Source::setVoltageRange(SourceVoltageRange range)
{
    EngineStep step;
    if (range == KeywordBridge_LowHigh::LOW && m_info->voltRangeMap().size() == 1)
        return Error::DataOutOfRange;
    if (range == m_voltRange)
        return Error::None;
    if (m_stateLoad)
        return Error::LoadOn;
    if (programRunning())
        return Error::ProgramRunning;

    m_writer->integralCommand(IoControl::IntegralReset);
    m_writer->setVoltageRange(
        range == KeywordBridge_LowHigh::LOW ? IoControl::VoltageLow : IoControl::VoltageHigh);
    m_writer->transfer();
    m_voltRange = range;
    step.announce([this, range] {
        emit voltRangeChanged(range);
    });
    return Error::None;
}

SCPIERR_T Source::setFunctionMode(SourceMode mode)
{
    EngineStep step;
    return applyFunctionMode(mode, step);
}

SCPIERR_T Source::applyFunctionMode(SourceMode mode, EngineStep &step)
{
    if (mode == m_functionMode)
        return Error::None;
    if (m_stateLoad)
        return Error::LoadOn;
    if (mode != KeywordBridge_CcCrCvCpArb::CC && m_sineState)
        return Error::SettingsConflict;

    // Pulse modulation runs every mode but CR on the CC loop.
    const bool pulse = m_pulseState;
    const bool sine = m_sineState;
    IoControl::FunctionMode value = IoControl::CC;
    if (mode == KeywordBridge_CcCrCvCpArb::CR)
        value = IoControl::CR;
    else if (mode != KeywordBridge_CcCrCvCpArb::CC && !pulse) {
        if (mode == KeywordBridge_CcCrCvCpArb::CV)
            value = IoControl::CV;
        else if (mode == KeywordBridge_CcCrCvCpArb::CP)
            value = IoControl::CP;
        else
            value = IoControl::ARB;
    }

    m_functionMode = mode;
    m_writer->progCommand(IoControl::TranAbort, IoControl::ViaProgramGroup);
    m_writer->transfer();
    external(m_external);
    m_writer->setCvExternal(m_voltExternal);
    currentAddExternal(m_ccAddExternal);
    m_writer->setFunctionMode(value);
    IoControl::ProgramCommand start = IoControl::Tran;
    if (pulse)
        start = IoControl::TranPulseInit;
    else if (sine)
        start = IoControl::TranSineInit;
    m_writer->progCommand(start, IoControl::ViaCommandRegister);
    m_writer->transfer();
    const bool cvOption = m_functionModeCvOption;
    step.announce([this, mode, cvOption] {
        emit operationModeChanged(mode, cvOption);
    });
    return Error::None;
}

SCPIERR_T Source::setFunctionModeCvOption(bool on)
{
    EngineStep step;
    if (modeIsCvCpArb(m_functionMode))
        return Error::InvalidFunctionMode;
    if (on == m_functionModeCvOption)
        return Error::None;
    if (m_voltExternal && m_stateLoad)
        return Error::LoadOn;

    m_writer->setCvExternal(m_voltExternal);
    m_writer->transfer();
    m_functionModeCvOption = on;
    const SourceMode mode = m_functionMode;
    step.announce([this, mode, on] {
        emit operationModeChanged(mode, on);
    });
    return Error::None;
}

SCPIERR_T Source::setPulseState(bool on)
{
    EngineStep step;
    if (on == m_pulseState)
        return Error::None;
    if (modeIsCvCpArb(m_functionMode))
        return Error::InvalidFunctionMode;
    if (m_outputShort)
        return Error::OutputShort;
    if (m_external)
        return Error::ExternalControl;

    // The other modulation goes off first, so that no reader sees both on.
    QMutexLocker lock(&stateMutex());
    if (on)
        m_sineState = false;
    m_pulseState = on;
    return Error::None;
}

SCPIERR_T Source::setSineState(bool on)
{
    EngineStep step;
    if (on == m_sineState)
        return Error::None;
    if (m_functionMode != KeywordBridge_CcCrCvCpArb::CC)
        return Error::InvalidFunctionMode;
    if (m_outputShort)
        return Error::OutputShort;
    if (m_external)
        return Error::ExternalControl;

    QMutexLocker lock(&stateMutex());
    if (on)
        m_pulseState = false;
    m_sineState = on;
    return Error::None;
}

SCPIERR_T Source::setCurrentSSTime(double seconds)
{
    EngineStep step;
    if (seconds == m_ssTime)
        return Error::None;
    if (m_stateLoad)
        return Error::LoadOn;
    if (programRunning())
        return Error::ProgramRunning;
    const QPair<double, qint32> *entry = tableEntry(m_info->softStart(), seconds);
    if (!entry)
        return Error::DataOutOfRange;

    m_ssTime = entry->first;
    m_writer->setSoftStartTime(quint32(entry->second));
    m_writer->transfer();
    return Error::None;
}

SCPIERR_T Source::setVoltageResponse(KeywordBridge_NormFast::values response)
{
    EngineStep step;
    if (response == m_voltResponse)
        return Error::None;
    if (m_stateLoad)
        return Error::LoadOn;
    if (programRunning())
        return Error::ProgramRunning;

    m_writer->setCvFastResponse(response != KeywordBridge_NormFast::NORM);
    m_writer->transfer();
    m_voltResponse = response;
    return Error::None;
}

SCPIERR_T Source::setConductanceResponse(KeywordBridge_NormFast::values response)
{
    EngineStep step;
    if (response == m_condResponse)
        return Error::None;
    if (m_stateLoad)
        return Error::LoadOn;
    if (programRunning())
        return Error::ProgramRunning;

    m_writer->setCrFastResponse(response != KeywordBridge_NormFast::NORM);
    m_writer->transfer();
    m_condResponse = response;
    return Error::None;
}

SCPIERR_T Source::setArbResponse(double seconds)
{
    EngineStep step;
    // Models without the table have no ARB response setting at all.
    if (m_info->arbResponse().isEmpty())
        return Error::UndefinedHeader;
    if (seconds == m_arbRespTime)
        return Error::None;
    if (m_stateLoad)
        return Error::LoadOn;
    if (programRunning())
        return Error::ProgramRunning;
    const QPair<double, qint32> *entry = tableEntry(m_info->arbResponse(), seconds);
    if (!entry)
        return Error::DataOutOfRange;

    m_arbRespTime = entry->first;
    m_writer->setArbResponseTime(quint32(entry->second));
    m_writer->transfer();
    return Error::None;
}

// --- Slots ---

void Source::initialize()
{
    const SourceCurrentRange range = getCurrentRange();
    emit operationModeChanged(m_functionMode, m_functionModeCvOption);
    emit currRangeChanged(range, range);
    emit voltRangeChanged(m_voltRange);
    qRegisterMetaType<vek::Status::ExternalRange>("ExternalRange");
    if (!m_status)
        return;
    // Unique: a second initialize() must not double the inputs.
    const auto type = Qt::ConnectionType(Qt::AutoConnection | Qt::UniqueConnection);
    connect(m_status, &Status::loadChanged, this, &Source::onLoadChange, type);
    connect(m_status, &Status::extLoadChanged, this, &Source::onExtLoadChange, type);
    connect(
        m_status, &Status::extCurrentRangeChanged, this, &Source::onExtCurrentRangeChange, type);
    connect(m_status, &Status::extAlarmCleared, this, &Source::onExtAlarmClear, type);
}

void Source::onExtLoadChange(bool on, bool flagOnly)
{
    Q_UNUSED(flagOnly)
    EngineStep step;
    m_extLoad = on;
}

void Source::onExtAlarmClear() { }

void Source::onExtCurrentRangeChange(vek::Status::ExternalRange range)
{
    Q_UNUSED(range)
}

void Source::onLoadChange(bool on)
{
    emit outputUiChanged(on);
    EngineStep step;
    m_stateLoad = on || m_loadSwitchesOn > 0;
}

// --- Other operations ---

SourceCurrentRange Source::getCurrentRange()
{
    // Locked: the selected range and the external input's bits are one reading.
    EngineLocker lock(&engineMutex());
    const SourceCurrentRange selected = m_currRange;
    if (selected != KeywordBridge_LowMedHigh::HIGH)
        return selected;
    switch (m_extCurrIoRange.load()) {
    case IoControl::CurrentLow:
        return KeywordBridge_LowMedHigh::LOW;
    case IoControl::CurrentMedium:
        return KeywordBridge_LowMedHigh::MED;
    default:
        return KeywordBridge_LowMedHigh::HIGH;
    }
}

int Source::getPowerRange()
{
    EngineLocker lock(&engineMutex());
    return int(getCurrentRange()) + (m_voltRange == KeywordBridge_LowHigh::HIGH ? 3 : 0);
}

SCPIERR_T Source::setRemoteSensing(bool on, updateTiming timing)
{
    EngineStep step;
    if (on == m_config->remoteSensing && timing != UpdateAlways)
        return Error::None;
    if (m_stateLoad)
        return Error::LoadOn;

    m_writer->setRemoteSens(on);
    m_writer->transfer();
    m_config->remoteSensing = on;
    step.announce([this, on] {
        emit remoteSensingChanged(on);
    });
    return Error::None;
}

SCPIERR_T Source::setRemoteSensing()
{
    EngineStep step;
    return setRemoteSensing(m_config->remoteSensing, UpdateAlways);
}

void Source::external(bool on)
{
    const SourceMode mode = m_functionMode;
    m_writer->setRefExternal(on
        && (mode == KeywordBridge_CcCrCvCpArb::CC || mode == KeywordBridge_CcCrCvCpArb::CR
            || mode == KeywordBridge_CcCrCvCpArb::CP));
}

void Source::voltageExternal(bool on)
{
    m_writer->setCvExternal(on);
}

void Source::currentAddExternal(bool on)
{
    m_writer->setAddExternal(on && m_functionMode == KeywordBridge_CcCrCvCpArb::CC);
}

SCPIERR_T Source::setExternal(bool on)
{
    EngineStep step;
    if (on == m_external)
        return Error::None;
    if (m_stateLoad)
        return Error::LoadOn;
    if (m_outputShort)
        return Error::OutputShort;
    if (m_pulseState)
        return Error::PulseRunning;
    if (m_sineState)
        return Error::SineRunning;
    if (programRunning())
        return Error::ProgramRunning;

    external(on);
    m_writer->transfer();
    m_external = on;
    step.announce([this, on] {
        emit externalChanged(on);
    });
    return Error::None;
}

SCPIERR_T Source::setVoltageExternal(bool on)
{
    EngineStep step;
    if (on == m_voltExternal)
        return Error::None;
    if (m_stateLoad)
        return Error::LoadOn;
    if (programRunning())
        return Error::ProgramRunning;

    voltageExternal(on);
    m_writer->transfer();
    m_voltExternal = on;
    step.announce([this, on] {
        emit voltageExternalChanged(on);
    });
    return Error::None;
}

SCPIERR_T Source::setCurrentAddExternal(bool on)
{
    EngineStep step;
    if (on == m_ccAddExternal)
        return Error::None;
    if (m_stateLoad)
        return Error::LoadOn;
    if (programRunning())
        return Error::ProgramRunning;

    currentAddExternal(on);
    m_writer->transfer();
    m_ccAddExternal = on;
    step.announce([this, on] {
        emit currentAddExternalChanged(on);
    });
    return Error::None;
}

SCPIERR_T Source::setTriggerSources(TrigTransientSources sources)
{
    EngineStep step;
    if (!sources)
        return Error::IllegalParameter;
    if (programRunning())
        return Error::ProgramRunning;
    if (sources.testFlag(IoControl::ttsImmediate) && sources != IoControl::ttsImmediate)
        return Error::ImmediateInList;

    QMutexLocker lock(&stateMutex());
    s_trigSources = quint32(sources);
    s_ioTrigSources = quint32(sources);
    return Error::None;
}

SCPIERR_T Source::setTriggerDelay(double seconds)
{
    EngineStep step;
    if (!(seconds >= 0.0 && seconds <= 100.0))
        return Error::DataOutOfRange;
    if (programRunning())
        return Error::ProgramRunning;

    m_triggerDelay = quint32(std::floor(seconds * 1e6 + 0.5));
    return Error::None;
}

SCPIERR_T Source::setDigital2Direction(
    const KeywordBridge_InpOutp::values &value, updateTiming timing)
{
    EngineStep step;
    const bool output = value == KeywordBridge_InpOutp::OUTP;
    if (output == (m_config->digital2Direction == 1) && timing != UpdateAlways)
        return Error::None;
    if (m_stateLoad)
        return Error::LoadOn;
    if (programRunning())
        return Error::ProgramRunning;

    m_writer->setExtIOOE(output);
    m_writer->transfer();
    m_config->digital2Direction = output ? 1 : 0;
    return Error::None;
}

SCPIERR_T Source::setDigital2Direction()
{
    EngineStep step;
    return setDigital2Direction(
        m_config->digital2Direction == 1 ? KeywordBridge_InpOutp::OUTP : KeywordBridge_InpOutp::INP,
        UpdateAlways);
}

SCPIERR_T Source::setEmergencyOff()
{
    EngineStep step;
    m_writer->progCommand(IoControl::ProgForceLoadOff, IoControl::ViaProgramGroup);
    m_writer->transfer();
    return Error::None;
}

SCPIERR_T Source::clearProtection()
{
    EngineStep step;
    m_writer->progCommand(IoControl::TranAbort, IoControl::ViaProgramGroup);
    m_writer->clearAlarm();
    m_writer->transfer();
    // exchange: two callers at once re-arm the watchdog once.
    if (m_watchDogStatus.exchange(false)) {
        WatchdogRecovery recover;
        {
            QMutexLocker lock(&s_recoveryMutex);
            recover = s_watchdogRecovery;
        }
        if (recover)
            step.announce(recover);
    }
    return Error::None;
}

SCPIERR_T Source::setWatchdogProtection()
{
    EngineStep step;
    m_writer->setWatchDogAlarm();
    m_writer->transfer();
    m_watchDogStatus = true;
    return Error::None;
}

SCPIERR_T Source::setAcFailProtection()
{
    EngineStep step;
    m_writer->setWatchDogAlarm();
    m_writer->transfer();
    return Error::None;
}

// --- Request hand-shake ---

SCPIERR_T Source::runRequest(const std::function<void()> &emitRequest)
{
    RequestShake &shake = requestShake();
    quint64 interrupts = 0;
    {
        QMutexLocker lock(&shake.mutex);
        m_requestDone = false;
        interrupts = shake.interrupts;
    }
    // Emitted with no lock held: an answer that comes before the wait begins is kept by the
    // done flag.
    emitRequest();
    QMutexLocker lock(&shake.mutex);
    while (!m_requestDone && shake.interrupts == interrupts)
        shake.changed.wait(&shake.mutex);
    return m_requestDone ? m_requestResult : Error::ExecutionError;
}

void Source::finishRequest(SCPIERR_T result)
{
    RequestShake &shake = requestShake();
    QMutexLocker lock(&shake.mutex);
    m_requestResult = result;
    m_requestDone = true;
    shake.changed.wakeAll();
}

void Source::interruptRequests()
{
    RequestShake &shake = requestShake();
    QMutexLocker lock(&shake.mutex);
    ++shake.interrupts;
    shake.changed.wakeAll();
}

quint64 Source::requestInterrupts()
{
    RequestShake &shake = requestShake();
    QMutexLocker lock(&shake.mutex);
    return shake.interrupts;
}

Source::RequestShake &Source::requestShake()
{
    static RequestShake shake;
    return shake;
}

} // namespace vek
