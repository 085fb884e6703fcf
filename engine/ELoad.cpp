#include "engine/ELoad.h"

#include "engine/AbcMemory.h"
#include "engine/AcquireTrigger.h"
#include "engine/ArbitraryModel.h"
#include "engine/Basic.h"
#include "engine/Calibration.h"
#include "engine/DataLogger.h"
#include "engine/Program.h"
#include "engine/Status.h"
#include "engine/ioc/IoControl.h"
#include "instrument/ModelInformation.h"
#include "remote/QueueError.h"

#include <QCoreApplication>

namespace vek {

using ioc::IoControl;

ELoad *ELoad::s_pSelf = nullptr;

ELoad::ELoad(ValueObjectsHook createValueObjects, int settleMs)
{
    createMembers();
    s_pSelf = this;
    createConnections();
    reportStartupErrors();
    if (createValueObjects)
        createValueObjects(*this);
    // The status object's slots run in a thread of their own; its state machine stays here.
    m_status->moveToThread(&m_statusThread);
    m_statusThread.start(QThread::InheritPriority);
    if (settleMs > 0)
        QThread::msleep(static_cast<unsigned long>(settleMs));
}

ELoad::~ELoad()
{
    // The links stop before the objects they signal to go away: a signal emitted while its
    // receiver is being destroyed in another thread would leave its queued call behind.
    for (IoControl *link : { m_writer.get(), m_monitor.get() }) {
        link->stop();
        link->wait();
    }
    s_pSelf = nullptr;
    m_statusThread.quit();
    m_statusThread.wait();
    // The batches the monitor link queued are delivered (and freed) before the acquisition goes.
    QCoreApplication::sendPostedEvents();
    m_presets.reset();
    m_arbitrary.reset();
    if (InstrumentConfigInfo::s_pSelf == m_config.get())
        InstrumentConfigInfo::s_pSelf = nullptr;
    m_config.reset();
    m_calibration.reset();
    m_acquire.reset();
    m_status.reset();
    m_program.reset();
    m_basic.reset();
    m_logger.reset();
    m_info.reset();
    m_monitor.reset();
    m_writer.reset();
    InstrumentConfigInfo::setErrorSink({});
    IoControl::setErrorSink({});
}

void ELoad::createMembers()
{
    // The links' and the configuration's own reports go to the error queue.
    IoControl::setErrorSink(zo4882::queueError);
    InstrumentConfigInfo::setErrorSink(zo4882::queueError);
    m_writer = std::make_unique<IoControl>(IoControl::Writer);
    m_monitor = std::make_unique<IoControl>(IoControl::Monitor);
    // Starts both link threads and reads the controller's identification. Its reports wait
    // behind -313: a controller that did not identify itself is the cause of what follows.
    m_info = std::make_unique<ModelInformation>(m_writer.get(), m_monitor.get());
    m_logger = std::make_unique<DataLogger>(this);
    // The settings objects read the configuration from their first setter on: it exists (with
    // its defaults) before them and is loaded from its file once everything is wired.
    m_config = std::make_unique<InstrumentConfigInfo>();
    InstrumentConfigInfo::s_pSelf = m_config.get();
    m_config->clear();
    m_status = std::make_unique<Status>(m_writer.get());
    m_basic = std::make_unique<Basic>(m_writer.get(), m_info.get(), m_status.get(), m_config.get());
    m_acquire = std::make_unique<AcquireTrigger>(
        m_writer.get(), m_monitor.get(), m_info.get(), m_logger.get());
    m_program = std::make_unique<Program>(m_writer.get(),
        m_info.get(),
        m_status.get(),
        m_config.get(),
        m_basic.get(),
        m_acquire.get());
    m_calibration = std::make_unique<Calibration>(m_writer.get());
    m_arbitrary = std::make_unique<ArbitraryModel>(m_writer.get(), m_info.get());
    // Three presets, every level 0, the points (1 V, 0 A), (2 V, 0 A), (3 V, 0 A).
    m_presets = std::make_unique<AbcMemories>();
    m_presets->setArbitraryModel(m_arbitrary.get());
    ABC_MEMORY preset;
    preset.arbitraryPoints = { { 1.0, 0.0 }, { 2.0, 0.0 }, { 3.0, 0.0 } };
    m_presets->replace(QVector<ABC_MEMORY>(AbcMemories::Count, preset));
}

void ELoad::createConnections()
{
    // Both links report status words and cut-offs; load switches wait for them.
    for (IoControl *link : { m_writer.get(), m_monitor.get() }) {
        connect(link, &IoControl::statusChanged, m_status.get(), &Status::onStatusChange);
        connect(link, &IoControl::cutoffChanged, m_status.get(), &Status::onCutoffChange);
    }
    IoControl *monitor = m_monitor.get();
    connect(monitor, &IoControl::dataUpdated, m_acquire.get(), &AcquireTrigger::onDataUpdate);
    connect(monitor, &IoControl::acqTriggered, m_acquire.get(), &AcquireTrigger::onAcqTriggered);
    connect(monitor,
        &IoControl::transientAddressChanged,
        m_status.get(),
        &Status::onTransientAddressChange);

    Program *program = m_program.get();
    connect(
        monitor, &IoControl::transientAddressChanged, program, &Program::onTransientAddressChange);
    connect(monitor, &IoControl::transientLoopChanged, program, &Program::onTransientLoopChange);
    Status *status = m_status.get();
    connect(status, &Status::stateProgIdle, program, &Program::onStateIdle);
    connect(status, &Status::stateProgRunning, program, &Program::onStateRun);
    connect(status, &Status::stateProgPause, program, &Program::onStatePause);
    connect(status, &Status::stateProgWaiting, program, &Program::onStateWait);
    Basic *basic = m_basic.get();
    connect(basic, &Source::operationModeChanged, program, &Program::onFunctionModeChange);
    connect(basic, &Source::currRangeChanged, program, &Program::onCurrRangeChange);
    connect(basic, &Source::voltRangeChanged, program, &Program::onVoltRangeChange);
    // The programs tree of the mode the engine starts in.
    program->onFunctionModeChange(Source::m_functionMode, Source::m_functionModeCvOption);
}

void ELoad::reportStartupErrors()
{
    if (!IoControl::calInfo().valid)
        zo4882::queueError(-313, QString());
    for (const auto &report : m_info->startupErrors())
        zo4882::queueError(report.first, report.second);
    // Loads the file; a file that cannot be loaded is replaced by the defaults and -315 queued.
    m_config->loadOrRestoreDefaults();
}

} // namespace vek
