#include "gui/shell/HeadlessInstrument.h"

#include "commands/CTRL_SINK.h"
#include "commands/DictIndexNative.h"
#include "commands/IFMAIN_Syst.h"
#include "commands/MyParser.h"
#include "commands/SystErrCustom.h"
#include "commands/ValueObjects.h"
#include "engine/AbcMemory.h"
#include "engine/Basic.h"
#include "engine/ELoad.h"
#include "engine/PanelMemory.h"
#include "engine/ioc/IoControl.h"
#include "instrument/ModelInformation.h"
#include "instrument/PreferenceInfo.h"
#include "network/NetworkInfo.h"
#include "network/NetworkManager.h"
#include "network/NtpDateProcess.h"
#include "platform/NetLink.h"
#include "remote/QueueError.h"
#include "remote/Scpi4882Starter.h"
#include "remote/StartupFileChecks.h"
#include "remote/StatusRegisters.h"
#include "remote/ZOSystErrCue.h"

#include "platform/BoardPath.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <utility>

namespace {

// Built on first use and kept until the process ends, as the remote start-up keeps it.
const DictIndexNative *instrumentDictionary()
{
    static const DictIndexNative index;
    return &index;
}

} // namespace

HeadlessInstrument::HeadlessInstrument(
    int rawPort, int telnetPort, int hislipPort, bool vxi11, Notify queued, Notify dequeued)
    : m_rawPortOverride(rawPort)
    , m_telnetPortOverride(telnetPort)
    , m_hislipPortOverride(hislipPort)
    , m_vxi11(vxi11)
{
    // The error queue comes first: every later start-up problem is reported through it.
    m_errorHook = std::make_unique<SystErrCustom>(nullptr, std::move(queued), std::move(dequeued));
    zo4882::s_systErrCue.setHook(m_errorHook.get());
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
    // A program command waiting for this thread would keep the parser's thread from ending.
    vek::Source::interruptRequests();
    zo4882::Scpi4882Starter::shutDown();
    IFMAIN_SystTimeAdj::setLauncher({});
    m_engine.reset();
    m_preferences.reset();
    zo4882::s_systErrCue.setHook(nullptr);
}

void HeadlessInstrument::createEngine()
{
    m_engine = std::make_unique<vek::ELoad>([](vek::ELoad &root) {
        createValueObjects(ValueEngine { root.basic(),
            root.status(),
            root.info(),
            root.config(),
            root.acquire(),
            root.logger(),
            root.program(),
            root.arbitrary(),
            root.presets(),
            root.calibration() });
    });

    m_preferences = std::make_unique<PreferenceInfo>();
    ModelInformation *info = m_engine->info();
    PreferenceInfo::setModelIdentitySource([info] {
        return PreferenceInfo::ModelIdentity::of(*info);
    });
    m_preferencesRestored = !m_preferences->loadOrRestoreDefaults();
    createClockAdjust();
}

void HeadlessInstrument::createClockAdjust()
{
    // The clock-adjust command runs the NTP program in the parser's thread, one process a call.
    const PreferenceInfo *preferences = m_preferences.get();
    IFMAIN_SystTimeAdj::setLauncher([preferences]() -> zostd::ZOProcessWrapper * {
        auto *ntp = new NtpDateProcess(preferences);
        QObject::connect(ntp, &NtpDateProcess::progfinished, ntp, &QObject::deleteLater);
        if (ntp->launch(false, 1.0, QString()) != 0) {
            delete ntp;
            return nullptr;
        }
        return ntp;
    });
}

void HeadlessInstrument::createRemote()
{
    vek::Basic *basic = m_engine->basic();
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
    instrument.model = m_engine->info();
    const InstrumentConfigInfo *config = m_engine->config();
    instrument.watchdogEnabled = config->wdogEnabled;
    instrument.watchdogDelaySeconds = config->wdogDelay;

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

void HeadlessInstrument::applyPowerOnSetting()
{
    const vek::PanelMemory memory;
    vek::AbcMemories *presets = m_engine->presets();
    const auto recall = [&](const char *name, const char *detail) {
        if (memory.rcl(QLatin1String(name), presets) == 0)
            return;
        memory.rst(presets);
        zo4882::queueError(-314, QLatin1String(detail));
    };
    switch (m_engine->config()->pon) {
    case 1:
        recall("00.info", "RCL0 at power-on");
        break;
    case 2:
        recall(vek::PanelMemory::AutomaticSetup, "AUTO at power-on");
        break;
    default:
        memory.rst(presets);
        break;
    }
}

bool HeadlessInstrument::saveForShutDown(QString *failure)
{
    QStringList failed;
    QString setupFailure;
    if (vek::PanelMemory().sav(
            QLatin1String(vek::PanelMemory::AutomaticSetup), *m_engine->presets(), &setupFailure)
        != 0)
        failed << setupFailure;
    if (!m_preferences->save())
        failed << QStringLiteral("the preferences cannot be written");
    if (!m_engine->config()->save())
        failed << QStringLiteral("the instrument configuration cannot be written");
    *failure = failed.join(QStringLiteral("; "));
    return failed.isEmpty();
}
