#include "engine/AcquireTrigger.h"

#include "engine/DataLogger.h"
#include "engine/EngineLock.h"
#include "instrument/ModelInformation.h"
#include "remote/StatusRegisters.h"
#include "remote/ZOTriggerSequence.h"

#include <QFinalState>
#include <QState>

#include <cmath>
#include <limits>
#include <memory>

namespace vek {

using ioc::IoControl;

namespace {

// STATus:OPERation conditions of the acquisition.
constexpr short OperMeasuring = 16;
constexpr short OperWaitingForTrigger = 32;
constexpr short OperDataAvailable = 2048;

constexpr quint32 AllSources = IoControl::tasImmediate | IoControl::tasBus | IoControl::tasLoadOff
    | IoControl::tasDigital2 | IoControl::tasTALink | IoControl::tasMSync;

// Limits of the settings, in seconds and records.
constexpr double MaxTriggerDelay = 100.0;
constexpr double MaxTriggerTimer = 3600.0;
constexpr unsigned MaxTriggerCount = 65536;
// An aperture of this many base periods or more (0.1 s at 8 µs) is slow enough for the views
// to follow every batch.
constexpr quint32 SlowApertureCount = 12499;

void setOperation(short bits, bool on)
{
    zo4882::s_statOper.setCondition(bits, on ? 1 : 0);
}

} // namespace

AcquireTrigger::AcquireTrigger(ioc::IoControl *writer,
    ioc::IoControl *monitor,
    const ModelInformation *model,
    DataLogger *logger)
    : QObject(nullptr)
    , m_writer(writer)
    , m_monitor(monitor)
    , m_model(model)
    , m_logger(logger)
    , m_opc(&zo4882::ZOTriggerSequence::s_opc)
{
    qRegisterMetaType<vek::AcquireTrigger::displayItems>();
    setTriggerCount(1);
    setIntegralGate(IntegralGateLoadOn);
    setIntegralGateAutoResetState(true);
    setTriggerTimer(0.1);
    setSenseAperture(0.1);

    createStates();
    createTransitions();
    createEntryActions();
    m_machine.setInitialState(m_init);
    m_machine.start();
}

AcquireTrigger::~AcquireTrigger()
{
    m_machine.stop();
}

// --- Operations ---

SCPIERR_T AcquireTrigger::initiate()
{
    bool immediate = false;
    quint64 run = 0;
    {
        EngineLocker lock(&engineMutex());
        if (m_intervalState && m_apertureCount > m_timerCount)
            return Error::SettingsConflict;
        if (m_initiated)
            return InitIgnored;
        // Measuring from here on, so that a second initiate in the same message is refused.
        immediate = m_sources & IoControl::tasImmediate;
        m_initiated = true;
        m_triggered = immediate;
        run = ++m_runs;
        m_opc->initiate(zo4882::ZO4882Opc::Acquisition);
        m_opc->setAwaitingBusTrigger(zo4882::ZO4882Opc::Acquisition, waitsForBusOnly());
    }
    // The logger may live in another thread; its clear waits for that thread.
    m_logger->clear();
    setOperation(OperDataAvailable, false);
    {
        EngineLocker lock(&engineMutex());
        if (m_runs != run)
            return Error::None; // aborted meanwhile: the abort stands
        m_monitor->acqCommand(IoControl::AcqInitiate);
    }
    // A bus trigger sent by the writer from now on reaches the controller after the start.
    m_monitor->waitAcqCommandsSent();
    // Queued behind every trigger report the monitor made before the start was sent.
    QMetaObject::invokeMethod(
        this,
        [this, run, immediate] {
            armMachine(run, immediate);
        },
        Qt::AutoConnection);
    return Error::None;
}

void AcquireTrigger::armMachine(quint64 run, bool immediate)
{
    {
        EngineLocker lock(&engineMutex());
        m_machineRun = run;
    }
    m_dataPoint = 0; // the logger was cleared
    if (immediate)
        emit initiated();
    else
        emit waited();
}

SCPIERR_T AcquireTrigger::abort()
{
    {
        EngineLocker lock(&engineMutex());
        if (m_initiated)
            m_opc->abort(zo4882::ZO4882Opc::Acquisition);
        m_initiated = false;
        ++m_runs;
        m_monitor->acqCommand(IoControl::AcqAbort);
    }
    m_monitor->waitAcqCommandsSent();
    emit aborted();
    return Error::None;
}

SCPIERR_T AcquireTrigger::trigger()
{
    EngineLocker lock(&engineMutex());
    if (!m_initiated)
        return InitIgnored;
    if (m_triggered || !(m_sources & IoControl::tasBus))
        return TriggerIgnored;
    m_triggered = true;
    m_opc->setAwaitingBusTrigger(zo4882::ZO4882Opc::Acquisition, false);
    m_writer->busCommand();
    m_writer->transfer();
    return Error::None;
}

SCPIERR_T AcquireTrigger::msync()
{
    {
        EngineLocker lock(&engineMutex());
        if (!(IoControl::lastStatus() & ioc::Status::MSyncLinked))
            return MSyncNotEstablished;
        if (!m_initiated)
            return InitIgnored;
        if (m_triggered || !(m_sources & IoControl::tasMSync))
            return TriggerIgnored;
        m_triggered = true;
        m_monitor->acqCommand(IoControl::AcqMSyncTrigger);
    }
    m_monitor->waitAcqCommandsSent();
    return Error::None;
}

// --- Settings ---

SCPIERR_T AcquireTrigger::setTriggerSources(TrigAcquireSources sources)
{
    EngineLocker lock(&engineMutex());
    if (m_initiated)
        return MeasureInProgress;
    const quint32 bits = quint32(sources);
    if (bits == 0 || (bits & ~AllSources))
        return Error::IllegalParameter;
    m_writer->setAcqTriggerSource(sources);
    m_writer->transfer();
    m_sources = bits;
    return Error::None;
}

SCPIERR_T AcquireTrigger::setTriggerIntervalState(bool on)
{
    EngineLocker lock(&engineMutex());
    if (m_initiated)
        return MeasureInProgress;
    if (on != m_intervalState) {
        m_writer->setAcqTriggerIntervalState(on);
        m_writer->transfer();
        m_intervalState = on;
    }
    return Error::None;
}

SCPIERR_T AcquireTrigger::setTriggerDelay(double seconds)
{
    return setTime(seconds, 0.0, MaxTriggerDelay, &IoControl::setAcqTriggerDelay, &m_delayCount);
}

SCPIERR_T AcquireTrigger::setTriggerCount(unsigned n)
{
    EngineLocker lock(&engineMutex());
    if (m_initiated)
        return MeasureInProgress;
    if (n < 1 || n > MaxTriggerCount)
        return Error::DataOutOfRange;
    if (n != m_triggerCount) {
        if (m_writer->setAcqTriggerCount(n) != 0)
            return Error::DataOutOfRange;
        m_writer->transfer();
        m_triggerCount = n;
    }
    return Error::None;
}

SCPIERR_T AcquireTrigger::setTriggerTimer(double seconds)
{
    return setTime(seconds,
        m_model->measMin(),
        MaxTriggerTimer,
        &IoControl::setAcqTriggerTimer,
        &m_timerCount);
}

SCPIERR_T AcquireTrigger::setSenseAperture(double seconds)
{
    return setTime(seconds,
        m_model->measMin(),
        m_model->measMax(),
        &IoControl::setSensApertureCount,
        &m_apertureCount);
}

// The three time settings: checked, sent as counts of the base period and stored.
SCPIERR_T AcquireTrigger::setTime(double seconds,
    double min,
    double max,
    void (IoControl::*send)(uint),
    std::atomic<quint32> *stored)
{
    EngineLocker lock(&engineMutex());
    if (m_initiated)
        return MeasureInProgress;
    quint32 counts = 0;
    if (const SCPIERR_T e = toCounts(seconds, min, max, &counts))
        return e;
    (m_writer->*send)(counts);
    m_writer->transfer();
    *stored = counts;
    return Error::None;
}

SCPIERR_T AcquireTrigger::integralReset()
{
    sendIntegralCommand(IoControl::IntegralReset);
    return Error::None;
}

SCPIERR_T AcquireTrigger::integralStart()
{
    sendIntegralCommand(IoControl::IntegralStart);
    return Error::None;
}

SCPIERR_T AcquireTrigger::integralStop()
{
    sendIntegralCommand(IoControl::IntegralStop);
    return Error::None;
}

SCPIERR_T AcquireTrigger::setIntegralGate(integralGate gate)
{
    if (gate < IntegralGateNone || gate > IntegralGateProgramRun)
        return Error::IllegalParameter;
    EngineLocker lock(&engineMutex());
    // Gate 1 is the controller's load-on gate; with gate 2 the integrals follow the program
    // run, and a load switch inside the run must not reset them.
    m_writer->setDataIntegralGate(
        gate == IntegralGateLoadOn ? IoControl::IntegralGate30 : IoControl::IntegralGateNone);
    m_writer->setDataIntegralGateAutoResetState(
        gate == IntegralGateProgramRun ? false : bool(m_integralAutoReset));
    m_writer->transfer();
    m_integralGate = gate;
    return Error::None;
}

SCPIERR_T AcquireTrigger::setIntegralGateAutoResetState(bool on)
{
    EngineLocker lock(&engineMutex());
    if (m_integralGate != IntegralGateProgramRun) {
        m_writer->setDataIntegralGateAutoResetState(on);
        m_writer->transfer();
    }
    m_integralAutoReset = on;
    return Error::None;
}

SCPIERR_T AcquireTrigger::setViewDisplayItems(displayItems items)
{
    {
        EngineLocker lock(&engineMutex());
        m_displayItems = int(items);
    }
    emit displayItemsChanged(items);
    return Error::None;
}

double AcquireTrigger::triggerDelay() const
{
    return toSeconds(m_delayCount);
}

double AcquireTrigger::triggerTimer() const
{
    return toSeconds(m_timerCount);
}

double AcquireTrigger::senseAperture() const
{
    return toSeconds(m_apertureCount);
}

// --- Records ---

void AcquireTrigger::onAcqTriggered()
{
    {
        EngineLocker lock(&engineMutex());
        if (!m_initiated || m_machineRun != m_runs)
            return;
        m_triggered = true;
    }
    emit triggered();
}

void AcquireTrigger::onDataUpdate(QVector<ioc::TRACE_DATA> *data, int remaining)
{
    const std::unique_ptr<QVector<ioc::TRACE_DATA>> batch(data);
    bool goesOnByItself = false;
    bool slowOrBus = false;
    {
        EngineLocker lock(&engineMutex());
        // A batch read before an abort took effect belongs to no acquisition.
        if (!m_initiated || !batch)
            return;
        goesOnByItself = m_intervalState || (m_sources & IoControl::tasImmediate);
        slowOrBus = m_apertureCount > SlowApertureCount || (m_sources & IoControl::tasBus);
    }

    // One announcement per batch: the first record announces those held before it.
    for (int i = 0; i < batch->size(); ++i) {
        if (i == 0) {
            m_logger->appendWithRow(batch->at(i), m_dataPoint);
            m_dataPoint = 0;
        } else {
            m_logger->append(batch->at(i));
        }
    }
    m_dataPoint += batch->size() - 1;
    if (m_dataPoint < 0)
        m_dataPoint = 0;

    if (slowOrBus)
        emit measDataUpdated(remaining);
    setOperation(OperDataAvailable, true);

    if (remaining > 0) {
        if (goesOnByItself)
            return;
        // One sample per trigger: wait for the next one.
        {
            EngineLocker lock(&engineMutex());
            if (!m_initiated)
                return;
            m_triggered = false;
            m_opc->setAwaitingBusTrigger(zo4882::ZO4882Opc::Acquisition, waitsForBusOnly());
        }
        emit triggered();
        emit waited();
        return;
    }

    if (m_dataPoint > 0)
        m_logger->appendRow(m_dataPoint);
    m_dataPoint = 0;
    {
        EngineLocker lock(&engineMutex());
        if (!m_initiated)
            return;
        m_initiated = false;
        m_opc->complete(zo4882::ZO4882Opc::Acquisition);
    }
    // The machine may still wait for a trigger the monitor never saw (a sample shorter than
    // its cycle): it passes the triggered state on its way to complete.
    emit triggered();
    emit completed();
}

// --- State machine ---

void AcquireTrigger::createStates()
{
    m_init = new QState(&m_machine);
    m_idle = new QState(&m_machine);
    m_complete = new QState(m_idle);
    m_aborted = new QState(m_idle);
    m_idle->setInitialState(m_aborted);
    m_initiatedState = new QState(&m_machine);
    m_immediate = new QState(m_initiatedState);
    m_triggeredState = new QState(m_initiatedState);
    m_initiatedState->setInitialState(m_immediate);
    m_waitTrigger = new QState(&m_machine);
    m_final = new QFinalState(&m_machine);
}

void AcquireTrigger::createTransitions()
{
    m_init->addTransition(m_init, &QState::propertiesAssigned, m_aborted);
    m_idle->addTransition(this, &AcquireTrigger::initiated, m_immediate);
    m_idle->addTransition(this, &AcquireTrigger::waited, m_waitTrigger);
    m_initiatedState->addTransition(this, &AcquireTrigger::completed, m_complete);
    m_initiatedState->addTransition(this, &AcquireTrigger::aborted, m_aborted);
    m_initiatedState->addTransition(this, &AcquireTrigger::waited, m_waitTrigger);
    m_waitTrigger->addTransition(this, &AcquireTrigger::triggered, m_triggeredState);
    m_waitTrigger->addTransition(this, &AcquireTrigger::aborted, m_aborted);
}

void AcquireTrigger::createEntryActions()
{
    connect(m_idle, &QState::entered, this, &AcquireTrigger::onIdle);
    connect(m_complete, &QState::entered, this, &AcquireTrigger::onComplete);
    connect(m_aborted, &QState::entered, this, &AcquireTrigger::onAbort);
    connect(m_initiatedState, &QState::entered, this, &AcquireTrigger::onInitiate);
    connect(m_immediate, &QState::entered, this, &AcquireTrigger::onImmediate);
    connect(m_triggeredState, &QState::entered, this, &AcquireTrigger::onTrigger);
    connect(m_waitTrigger, &QState::entered, this, &AcquireTrigger::onWaitTrigger);
}

// Measuring and triggered are not touched here: the operations and the batches change them at
// once, and a transition still queued must not undo a later initiate or trigger.
void AcquireTrigger::onIdle()
{
    setOperation(OperWaitingForTrigger | OperMeasuring, false);
    emit initchanged(false);
}

void AcquireTrigger::onComplete()
{
    emit measUiComplete();
    emit readyFetch();
}

void AcquireTrigger::onAbort()
{
    // The views get the rows of the last batch the abort left unannounced.
    if (m_dataPoint > 0)
        m_logger->appendRow(m_dataPoint);
    m_dataPoint = 0;
    emit measAborted();
    emit measUiAborted();
}

void AcquireTrigger::onInitiate()
{
    setOperation(OperWaitingForTrigger, false);
    setOperation(OperMeasuring, true);
    emit measInitiated();
    emit initchanged(true);
}

void AcquireTrigger::onImmediate()
{
    emit measImmediated();
}

void AcquireTrigger::onTrigger()
{
    emit measTriggered();
}

void AcquireTrigger::onWaitTrigger()
{
    setOperation(OperWaitingForTrigger | OperMeasuring, true);
    emit measInitiated();
    emit initchanged(true);
}

// --- Helpers ---

SCPIERR_T AcquireTrigger::toCounts(double seconds, double min, double max, quint32 *counts) const
{
    if (!(seconds >= min && seconds <= max))
        return Error::DataOutOfRange;
    const double base = m_model->adSampleBaseTime();
    const double n = std::round(seconds / base); // half away from zero
    if (!(base > 0.0) || !(n >= 0.0 && n <= double(std::numeric_limits<quint32>::max())))
        return Error::DataOutOfRange;
    *counts = quint32(n);
    return Error::None;
}

double AcquireTrigger::toSeconds(quint32 counts) const
{
    return double(counts) * m_model->adSampleBaseTime();
}

bool AcquireTrigger::waitsForBusOnly() const
{
    return m_sources == IoControl::tasBus;
}

void AcquireTrigger::sendIntegralCommand(ioc::IoControl::IntegralCommnd command)
{
    EngineLocker lock(&engineMutex());
    m_writer->integralCommand(command);
    m_writer->transfer();
}

} // namespace vek
