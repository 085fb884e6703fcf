#include "sim/remote/HeadlessInstrument.h"

#include "commands/CTRL_SINK.h"
#include "commands/DictIndexNative.h"
#include "commands/MyParser.h"
#include "commands/SystErrCustom.h"
#include "commands/ValueObjects.h"
#include "engine/AcquireTrigger.h"
#include "engine/Basic.h"
#include "engine/DataLogger.h"
#include "engine/Status.h"
#include "engine/ioc/IoControl.h"
#include "instrument/ModelInformation.h"
#include "instrument/PreferenceInfo.h"
#include "network/NetworkInfo.h"
#include "network/NetworkManager.h"
#include "platform/NetLink.h"
#include "remote/QueueError.h"
#include "remote/Scpi4882Starter.h"
#include "remote/StartupFileChecks.h"
#include "remote/StatusRegisters.h"
#include "remote/ZOSystErrCue.h"

#include "platform/BoardPath.h"

#include <QCoreApplication>
#include <QFileInfo>

using ioc::IoControl;

namespace {

// Built on first use and kept until the process ends, as the remote start-up keeps it.
const DictIndexNative *instrumentDictionary()
{
    static const DictIndexNative index;
    return &index;
}

} // namespace

HeadlessInstrument::HeadlessInstrument(int rawPort, int telnetPort, int hislipPort, bool vxi11)
    : m_rawPortOverride(rawPort)
    , m_telnetPortOverride(telnetPort)
    , m_hislipPortOverride(hislipPort)
    , m_vxi11(vxi11)
{
    // The error queue comes first: every later start-up problem is reported through it.
    m_errorHook = std::make_unique<SystErrCustom>(nullptr, nullptr, nullptr);
    zo4882::s_systErrCue.setHook(m_errorHook.get());
    IoControl::setErrorSink(zo4882::queueError);
    InstrumentConfigInfo::setErrorSink(zo4882::queueError);
    PreferenceInfo::setErrorSink(zo4882::queueError);
    PreferenceInfo::setStatusEnableSink([](quint8 sre, quint8 ese) {
        zo4882::s_stb.setEnabler(sre);
        zo4882::s_esr.setEnabler(ese);
    });

    createEngine();
    createRemote();
}

HeadlessInstrument::~HeadlessInstrument()
{
    stopNetwork();
    // The remote layer first, so no message arrives at an engine that is going away.
    vek::Source::setWatchdogRecovery({});
    zo4882::Scpi4882Starter::shutDown();
    // The links stop before the objects they signal to go away: a signal emitted while its
    // receiver is being destroyed in another thread would leave its queued call behind.
    for (IoControl *link : { m_writer.get(), m_monitor.get() }) {
        link->stop();
        link->wait();
    }
    // The batches the monitor link queued are delivered (and freed) before the acquisition goes.
    QCoreApplication::sendPostedEvents();
    m_acquire.reset();
    m_logger.reset();
    m_basic.reset();
    m_statusThread.quit();
    m_statusThread.wait();
    m_status.reset();
    m_info.reset();
    m_writer.reset();
    m_monitor.reset();
    m_preferences.reset();
    zo4882::s_systErrCue.setHook(nullptr);
}

void HeadlessInstrument::createEngine()
{
    m_writer = std::make_unique<IoControl>(IoControl::Writer);
    m_monitor = std::make_unique<IoControl>(IoControl::Monitor);
    m_info =
        std::make_unique<ModelInformation>(m_writer.get(), m_monitor.get(), zo4882::queueError);
    m_config.clear();
    InstrumentConfigInfo::s_pSelf = &m_config;
    m_status = std::make_unique<vek::Status>(m_writer.get());
    m_basic = std::make_unique<vek::Basic>(m_writer.get(), m_info.get(), m_status.get(), &m_config);
    m_config.loadOrRestoreDefaults();
    m_logger = std::make_unique<DataLogger>();
    m_acquire = std::make_unique<vek::AcquireTrigger>(
        m_writer.get(), m_monitor.get(), m_info.get(), m_logger.get());
    QObject::connect(m_monitor.get(),
        &IoControl::dataUpdated,
        m_acquire.get(),
        &vek::AcquireTrigger::onDataUpdate);
    QObject::connect(m_monitor.get(),
        &IoControl::acqTriggered,
        m_acquire.get(),
        &vek::AcquireTrigger::onAcqTriggered);
    // Both links report status words and cut-offs; load switches wait for them.
    for (IoControl *link : { m_writer.get(), m_monitor.get() }) {
        QObject::connect(
            link, &IoControl::statusChanged, m_status.get(), &vek::Status::onStatusChange);
        QObject::connect(
            link, &IoControl::cutoffChanged, m_status.get(), &vek::Status::onCutoffChange);
    }
    QObject::connect(m_monitor.get(),
        &IoControl::transientAddressChanged,
        m_status.get(),
        &vek::Status::onTransientAddressChange);
    // The status object's slots run in a thread of their own; its state machine stays here.
    m_status->moveToThread(&m_statusThread);
    m_statusThread.start();

    m_preferences = std::make_unique<PreferenceInfo>();
    ModelInformation *info = m_info.get();
    PreferenceInfo::setModelIdentitySource([info] {
        return PreferenceInfo::ModelIdentity::of(*info);
    });
    m_preferences->loadOrRestoreDefaults();
}

void HeadlessInstrument::createRemote()
{
    // The engine root will make the value objects; until it exists, they are made here.
    createValueObjects(ValueEngine {
        m_basic.get(), m_status.get(), m_info.get(), &m_config, m_acquire.get(), m_logger.get() });

    vek::Basic *basic = m_basic.get();
    zo4882::Scpi4882Starter::Instrument instrument;
    instrument.createParser = [basic] {
        auto parser = std::make_unique<MyParser>(instrumentDictionary(), [basic] {
            basic->setWatchdogProtection();
        });
        MyParser *self = parser.get();
        vek::Source::setWatchdogRecovery([self] {
            self->recoverWatchDog();
        });
        return std::unique_ptr<zo4882::ZO4882Parser>(std::move(parser));
    };
    m_controlSink = std::make_unique<CTRL_SINK>();
    instrument.controlSink = m_controlSink.get();
    instrument.errorHook = m_errorHook.get();
    instrument.preferences = m_preferences.get();
    instrument.model = m_info.get();
    instrument.watchdogEnabled = m_config.wdogEnabled;
    instrument.watchdogDelaySeconds = m_config.wdogDelay;

    zo4882::Scpi4882Starter::Options options;
    options.rawPort = m_rawPortOverride;
    options.telnetPort = m_telnetPortOverride;
    options.hislipPort = m_hislipPortOverride;
    options.vxi11 = m_vxi11;
    // A desktop root without a serial line (no pty linked in) or without a stand-in gadget has
    // no RS-232 or USB device port to serve.
    options.rs232 = QFileInfo::exists(platform::BoardPath::map(
        QStringLiteral("/dev/") + QLatin1String(zo4882::Scpi4882Starter::SerialPortName)));
    options.usb = QFileInfo::exists(platform::BoardPath::map(QStringLiteral("/dev/g_usbtmc")));
    m_startResult = zo4882::Scpi4882Starter::start(instrument, options);
    zostd::checkStartupFiles();
}

int HeadlessInstrument::start()
{
    return m_startResult;
}

QString HeadlessInstrument::startError() const
{
    return zo4882::Scpi4882Starter::startError();
}

quint16 HeadlessInstrument::rawPort() const
{
    return zo4882::Scpi4882Starter::rawPort();
}

quint16 HeadlessInstrument::telnetPort() const
{
    return zo4882::Scpi4882Starter::telnetPort();
}

void HeadlessInstrument::startNetwork(LanUpdate onUpdate)
{
    NetworkManager::setErrorSink(zo4882::queueError);
    m_networkInfo = std::make_unique<NetworkInfo>();
    m_network = std::make_unique<NetworkManager>(*m_networkInfo,
        *m_preferences,
        std::make_unique<platform::NetLinkIoctl>(QStringLiteral("eth0")));
    m_network->moveToThread(&m_networkThread);
    QObject::connect(
        &m_networkThread, &QThread::started, m_network.get(), &NetworkManager::onThreadStarted);
    const NetworkInfo *info = m_networkInfo.get();
    QObject::connect(m_network.get(),
        &NetworkManager::networkInfoUpdated,
        QCoreApplication::instance(),
        [info, onUpdate](const zostd::INetworkInfo *, unsigned lctx) {
            onUpdate(*info, lctx);
        });
    m_networkThread.start();
}

void HeadlessInstrument::stopNetwork()
{
    if (!m_network)
        return;
    QMetaObject::invokeMethod(
        m_network.get(), &NetworkManager::shutDown, Qt::BlockingQueuedConnection);
    m_networkThread.quit();
    m_networkThread.wait();
    m_network.reset();
    NetworkManager::setErrorSink({});
}

quint16 HeadlessInstrument::hislipPort() const
{
    return zo4882::Scpi4882Starter::hislipPort();
}
