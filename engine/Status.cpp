#include "engine/Status.h"

#include "remote/StatusRegisters.h"

#include <QFinalState>
#include <QMutexLocker>
#include <QSignalTransition>
#include <QState>

namespace vek {

namespace Bits = ioc::Status;

namespace {

bool has(quint32 word, quint32 bits)
{
    return (word & bits) == bits;
}

Status::StatusOperation operationOf(quint32 status)
{
    if (!(status & Bits::LoadOn))
        return Status::OperationNone;
    // The limits take precedence over the regulation mode they override.
    if (status & Bits::OverCurrent)
        return Status::OperationOverCurrent;
    if (status & Bits::OverPower)
        return Status::OperationOverPower;
    if (status & Bits::UnderVoltage)
        return Status::OperationUnderVoltage;
    if (status & Bits::CC)
        return Status::OperationCC;
    if (status & Bits::CR)
        return Status::OperationCR;
    if (status & Bits::CV)
        return Status::OperationCV;
    if (status & Bits::CP)
        return Status::OperationCP;
    return Status::OperationNone;
}

} // namespace

Status::Status(ioc::IoControl *writer)
    : QObject(nullptr)
    , m_writer(writer)
{
    qRegisterMetaType<vek::Status::StatusOperation>("StatusOperation");
    qRegisterMetaType<vek::Status::ExternalRange>("ExternalRange");
    qRegisterMetaType<vek::Status::StatusProtections>("StatusProtections");
    qRegisterMetaType<ioc::IoControl::InitiateTranState>("InitiateTranState");

    createStates();
    createTransitions();
    createEntryActions();
    m_machine.setInitialState(m_start);
    m_machine.start();
}

Status::~Status() = default;

void Status::createStates()
{
    m_start = new QState(&m_machine);
    m_normal = new QState(&m_machine);
    m_protected = new QState(&m_machine);
    m_final = new QFinalState(&m_machine);
    m_idle = new QState(m_normal);
    m_running = new QState(m_normal);
    m_paused = new QState(m_normal);
    m_waitingState = new QState(m_normal);
    m_normal->setInitialState(m_idle);
}

void Status::createTransitions()
{
    m_start->addTransition(m_start, &QState::propertiesAssigned, m_idle);
    if (m_writer) {
        m_idle->addTransition(m_writer, &ioc::IoControl::initOccurred, m_running);
        m_idle->addTransition(m_writer, &ioc::IoControl::wtgOccurred, m_waitingState);
        m_running->addTransition(m_writer, &ioc::IoControl::pauseOccurred, m_paused);
        m_paused->addTransition(m_writer, &ioc::IoControl::resumeOccurred, m_running);
        m_protected->addTransition(m_writer, &ioc::IoControl::wakeupOccurred, m_running);
    }
    m_running->addTransition(this, &Status::abortOccurred, m_idle);
    m_running->addTransition(this, &Status::wtgOccurred, m_waitingState);
    m_paused->addTransition(this, &Status::abortOccurred, m_idle);
    m_waitingState->addTransition(this, &Status::activeOccurred, m_running);
    m_waitingState->addTransition(this, &Status::abortOccurred, m_idle);
    m_normal->addTransition(this, &Status::protectOccurred, m_protected);
    m_protected->addTransition(this, &Status::abortOccurred, m_idle);
}

void Status::createEntryActions()
{
    // Direct: the actions run where the machine runs, not in this object's thread.
    connect(m_protected, &QState::entered, this, &Status::onProtectedEntered, Qt::DirectConnection);
    connect(m_idle, &QState::entered, this, &Status::onIdleEntered, Qt::DirectConnection);
    connect(m_running, &QState::entered, this, &Status::onRunningEntered, Qt::DirectConnection);
    connect(m_paused, &QState::entered, this, &Status::onPausedEntered, Qt::DirectConnection);
    connect(
        m_waitingState, &QState::entered, this, &Status::onWaitingEntered, Qt::DirectConnection);
}

void Status::onProtectedEntered()
{
    emit stateProtected(protections());
    emit alarmToneRequested(true);
}

void Status::onIdleEntered()
{
    m_inProgramStep = false;
    if (m_lastTranState == ioc::IoControl::TranStateProgram)
        emit stateProgIdle(m_currNodeAdr);
    emit alarmToneRequested(false);
    emit stateIdle();
}

void Status::onRunningEntered()
{
    m_inProgramStep = true;
    emit stateProgRunning();
}

void Status::onPausedEntered()
{
    emit stateProgPause();
}

void Status::onWaitingEntered()
{
    emit stateProgWaiting(m_inProgramStep);
}

SCPIERR_T Status::setOutputExternalLogic(KeywordBridge_PosNeg::values logic)
{
    if (m_extLogic.exchange(logic) != logic)
        emit extLoadChanged(m_extLoadInput != (logic == KeywordBridge_PosNeg::NEG), true);
    return Error::None;
}

void Status::onTransientAddressChange(unsigned int address)
{
    m_currNodeAdr = address;
}

void Status::onStatusChange(unsigned int status, ioc::IoControl::InitiateTranState initTranState)
{
    const bool load = status & Bits::LoadOn;
    bool loadChangedNow = false;
    {
        QMutexLocker lock(&m_loadMutex);
        loadChangedNow = m_load.exchange(load) != load;
        m_loadCondition.wakeAll();
    }
    if (loadChangedNow)
        emit loadChanged(load);

    const StatusOperation operation = operationOf(status);
    if (m_operation.exchange(operation) != operation)
        emit operationStatusChanged(operation);

    const bool slave = !(status & Bits::NotSlave);
    if (m_slave.exchange(slave) != slave)
        emit slaveChanged(slave);

    if (status & Bits::SlaveDetected)
        emit slaveDetected();

    const bool link = status & Bits::MSyncLinked;
    if (m_link.exchange(link) != link)
        emit linkChanged(link);

    m_lastTranState = initTranState;
    if ((initTranState == ioc::IoControl::TranStateInit
            || initTranState == ioc::IoControl::TranStateProgram)
        && !(status & Bits::TransientRunning))
        emit abortOccurred();

    const bool waiting = status & Bits::TransientWaitTrigger;
    if (m_waiting.exchange(waiting) != waiting) {
        if (waiting)
            emit wtgOccurred();
        else
            emit activeOccurred();
    }

    m_protectionActive = bool(status & Bits::Protection);
    if (status & Bits::Protection) {
        m_protections = status & Bits::ProtectionMask;
        m_protectionLatched = true;
        if (m_protections != NonAlarm)
            emit protectOccurred();
    } else if (m_protectionLatched) {
        m_protectionLatched = false;
        emit abortOccurred();
    }

    const bool released = !has(status, Bits::Protection | Bits::AlarmClearBlocked);
    if (released != m_alarmReleased) {
        m_alarmReleased = released;
        if (released)
            emit extAlarmCleared();
    }

    const bool input = status & Bits::ExtLoadOnInput;
    if (m_extLoadInput.exchange(input) != input)
        emit extLoadChanged(input != (m_extLogic == KeywordBridge_PosNeg::NEG), m_firstReport);

    const ExternalRange range = ExternalRange(status & Bits::ExtRangeMask);
    if (m_extRange.exchange(range) != range)
        emit extCurrentRangeChanged(range);

    updateConditionRegisters(status);
    m_firstReport = false;
}

// Condition bits of STATus:QUEStionable and STATus:OPERation, from status word bits.
void Status::updateConditionRegisters(quint32 status)
{
    const bool protection = status & Bits::Protection;
    const bool load = status & Bits::LoadOn;
    const struct
    {
        short bit;
        bool on;
    } questionable[] = {
        { 0x1, bool(status & Bits::OverVoltage) },
        { 0x2, protection && (status & Bits::OverCurrent) },
        { 0x8, protection && (status & Bits::OverPower) },
        { 0x10, bool(status & Bits::OverTemp) },
        { 0x20, bool(status & Bits::Watchdog) },
        { 0x40, load && (status & Bits::OverCurrent) },
        { 0x80, load && (status & Bits::OverPower) },
        { 0x200, bool(status & Bits::UnderVoltage) },
        { 0x400, bool(status & Bits::ExternalAlarm) },
        { 0x800, bool(status & Bits::Reverse) },
        { 0x1000, bool(status & Bits::AlarmCodeMask) },
        { 0x100, bool(status & Bits::FrontAlarm) },
    };
    short set = 0;
    short clear = 0;
    for (const auto &q : questionable)
        (q.on ? set : clear) |= q.bit;
    zo4882::s_statQues.setCondition(set, 1);
    zo4882::s_statQues.setCondition(clear, 0);

    const struct
    {
        short bit;
        quint32 statusBit;
    } operation[] = {
        { 0x2, Bits::CC },
        { 0x1, Bits::CV },
        { 0x4, Bits::CR },
        { 0x8, Bits::CP },
        { 0x100, Bits::LoadOn },
        { 0x400, Bits::OperationBit10 },
    };
    set = 0;
    clear = 0;
    for (const auto &o : operation)
        ((status & o.statusBit) ? set : clear) |= o.bit;
    zo4882::s_statOper.setCondition(set, 1);
    zo4882::s_statOper.setCondition(clear, 0);
}

void Status::onCutoffChange(unsigned int cutoff)
{
    emit cutoffETimeOccurred(cutoff & ioc::Cutoff::ElapsedTimeOccurred);
    emit cutoffVoltageOccurred(cutoff & ioc::Cutoff::VoltageOccurred);
    emit cutoffCapacityOccurred(cutoff & ioc::Cutoff::CapacityOccurred);
    emit cutoffEnergyOccurred(cutoff & ioc::Cutoff::EnergyOccurred);
}

} // namespace vek
