#include "sim/remote/HeadlessInstrument.h"

#include "commands/CTRL_SINK.h"
#include "commands/DictIndexNative.h"
#include "commands/IFMAIN_Syst.h"
#include "commands/MyParser.h"
#include "commands/SystErrCustom.h"
#include "commands/ValueObjects.h"
#include "engine/Basic.h"
#include "engine/ELoad.h"
#include "instrument/ModelInformation.h"
#include "instrument/PreferenceInfo.h"
#include "network/NetworkInfo.h"
#include "network/NetworkManager.h"
#include "network/NtpDateProcess.h"
#include "platform/NetLink.h"
#include "remote/QueueError.h"
#include "remote/StatusRegisters.h"
#include "remote/ZO4882ParserAsync.h"
#include "remote/ZOHislipDelegate.h"
#include "remote/ZOPortmapper.h"
#include "remote/ZORs232Service.h"
#include "remote/ZOSystErrCue.h"
#include "remote/ZOTcpService_HiSLIP.h"
#include "remote/ZOTcpService_ScpiRaw.h"
#include "remote/ZOTcpService_ScpiTelnet.h"
#include "remote/ZOTcpSession_Vxi11Async.h"
#include "remote/ZOTcpSession_Vxi11Core.h"
#include "remote/ZOUsbtmcService.h"
#include "remote/ZOVxi11_SRQ.h"

#include "platform/BoardPath.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

constexpr quint16 DefaultRawPort = 5025;
constexpr quint16 DefaultTelnetPort = 5024;
constexpr quint16 DefaultHislipPort = 4880;
// The instrument's serial port, under /dev.
const char *const SerialPortName = "ttyO1";

// A port from the command line (>= 0), else the preferences' or, when they name none, the
// product's default.
quint16 choosePort(int override, quint16 preferred, quint16 fallback)
{
    if (override >= 0)
        return quint16(override);
    return preferred != 0 ? preferred : fallback;
}

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
    // Transports first, so no message arrives at a parser that is going away.
    zo4882::s_stb.setStatusByteSink({});
    zo4882::s_stb.setServiceRequestSink({});
    if (m_usbtmc) {
        m_usbtmc->closeDevice();
        m_usbtmcThread.quit();
        m_usbtmcThread.wait();
        m_usbtmc.reset();
    }
    m_rs232.reset();
    m_pmapUdp.reset();
    m_pmapTcp.reset();
    m_vxiAsync.reset();
    m_vxiCore.reset();
    zo4882::ZOVxi11_SRQ::destroy();
    m_hislip.reset();
    m_telnet.reset();
    zo4882::ZOTcpService_ScpiTelnet::s_pPI = nullptr;
    m_raw.reset();
    m_control.reset();
    vek::Source::setWatchdogRecovery({});
    // A program command waiting for this thread would keep the parser's thread from ending.
    vek::Source::interruptRequests();
    m_parser.reset();
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
    m_preferences->loadOrRestoreDefaults();
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
    m_parser = std::make_unique<MyParser>(instrumentDictionary(), [basic] {
        basic->setWatchdogProtection();
    });
    MyParser *parser = m_parser.get();
    vek::Source::setWatchdogRecovery([parser] {
        parser->recoverWatchDog();
    });
    m_controlSink = std::make_unique<CTRL_SINK>();
    m_control = std::make_unique<zo4882::ZO4882ParserAsync>(parser, m_controlSink.get());
    m_parser->resetAndSetDenyFlags(0, MyParser::DenyAdministrator);
    const InstrumentConfigInfo *config = m_engine->config();
    if (config->wdogEnabled)
        m_parser->setWatchDog(config->wdogDelay * 1000);

    m_raw = std::make_unique<zo4882::ZOTcpService_ScpiRaw>(
        choosePort(m_rawPortOverride, m_preferences->getScpiRawPort(), DefaultRawPort), parser);
    zo4882::ZOTcpService_ScpiTelnet::s_pPI = m_preferences.get();
    m_telnet = std::make_unique<zo4882::ZOTcpService_ScpiTelnet>(
        choosePort(m_telnetPortOverride, m_preferences->getTelnetPort(), DefaultTelnetPort),
        parser);
    createRs232();
    createVxi11();
    createHislip();
    createUsbtmc();
    installStbSinks();
}

void HeadlessInstrument::addStatusByteNotifier(StbNotifier notify)
{
    m_stbNotifiers.push_back(std::move(notify));
}

void HeadlessInstrument::addServiceRequestNotifier(StbNotifier notify)
{
    m_srqNotifiers.push_back(std::move(notify));
}

void HeadlessInstrument::installStbSinks()
{
    if (!m_stbNotifiers.empty()) {
        zo4882::s_stb.setStatusByteSink([this](unsigned char stb) {
            for (const StbNotifier &notify : m_stbNotifiers)
                notify(stb);
        });
    }
    if (!m_srqNotifiers.empty()) {
        zo4882::s_stb.setServiceRequestSink([this](unsigned char stb) {
            for (const StbNotifier &notify : m_srqNotifiers)
                notify(stb);
        });
    }
}

void HeadlessInstrument::createRs232()
{
    // A desktop root without a serial line (no pty linked in) has no RS-232 to serve.
    const QString device = QStringLiteral("/dev/") + QLatin1String(SerialPortName);
    if (!m_preferences->getRs232Enabled() || !QFileInfo::exists(platform::BoardPath::map(device)))
        return;
    const int flow = m_preferences->getRs232FlowCtrl();
    m_rs232 = std::make_unique<zo4882::ZORs232Service>(QLatin1String(SerialPortName),
        m_preferences->getRs232Bitrate(),
        QSerialPort::DataBits(m_preferences->getRs232DataBits()),
        m_preferences->getRs232StopBits() == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop,
        flow == 1 ? QSerialPort::HardwareControl : QSerialPort::NoFlowControl,
        m_parser.get());
    // Status records and service requests reach the host in the meta-command mode.
    zo4882::ZORs232Service *rs232 = m_rs232.get();
    const auto notify = [rs232](unsigned char stb) {
        emit rs232->safuStbChangeNotified(stb);
    };
    addStatusByteNotifier(notify);
    addServiceRequestNotifier(notify);
}

void HeadlessInstrument::createVxi11()
{
    if (!m_vxi11 || !m_preferences->getLanEnabled() || !m_preferences->getVxi11Enabled())
        return;
    m_vxiCore = std::make_unique<zo4882::ZOTcpService_Vxi11Core>(
        zo4882::ZOTcpService_Vxi11Core::DefaultPort, m_parser.get());
    m_vxiAsync = std::make_unique<zo4882::ZOTcpService_Vxi11Async>();
    m_pmapTcp = std::make_unique<zostd::ZOTcpService_Pmap>();
    m_pmapUdp = std::make_unique<zostd::ZOUdpService_Pmap>();
    addServiceRequestNotifier(&zo4882::ZOVxi11CoreDelegate::broadcastSRQ);
}

void HeadlessInstrument::createHislip()
{
    if (!m_preferences->getLanEnabled() || !m_preferences->getHislipEnabled())
        return;
    m_hislip = std::make_unique<zo4882::ZOTcpService_HiSLIP>(
        choosePort(m_hislipPortOverride, m_preferences->getHislipPort(), DefaultHislipPort),
        m_parser.get());
    addServiceRequestNotifier(&zo4882::ZOHislipDelegate::broadcastSRQ);
}

void HeadlessInstrument::createUsbtmc()
{
    // A desktop root without a stand-in gadget has no USB device port to serve.
    const QString device = QStringLiteral("/dev/g_usbtmc");
    if (!m_preferences->getUsbEnabled() || !QFileInfo::exists(platform::BoardPath::map(device)))
        return;
    zo4882::ZOUsbtmcService::UsbtmcParams params;
    params.vendorId = m_engine->info()->getUsbVID();
    params.productId = m_engine->info()->getUsbPID();
    params.manufacturer = m_engine->info()->getManufacturer();
    params.product = m_engine->info()->getModel();
    params.serialNumber = m_engine->info()->getSerial();
    m_usbtmc =
        std::make_unique<zo4882::ZOUsbtmcService>(params, zo4882::UsbtmcTiming(), m_parser.get());
    m_usbtmc->moveToThread(&m_usbtmcThread);
    QObject::connect(&m_usbtmcThread,
        &QThread::started,
        m_usbtmc.get(),
        &zo4882::ZOUsbtmcService::onThreadStarted);
    m_usbtmcThread.start();
    addStatusByteNotifier(&zo4882::ZOUsbtmcService::updateSTB);
    addServiceRequestNotifier(&zo4882::ZOUsbtmcService::broadcastSRQ);
}

int HeadlessInstrument::start()
{
    int rc = 0;
    // Each failure is queued with its port; the rest still start.
    const auto note = [this, &rc](int failed, const char *what, quint16 port) {
        if (failed != 0 && rc == 0) {
            rc = failed;
            m_startError = QStringLiteral("%1 port %2").arg(QLatin1String(what)).arg(port);
        }
    };
    note(m_raw->start(), "TCP", m_raw->port());
    note(m_telnet->start(), "TCP", m_telnet->port());
    if (m_vxiCore) {
        for (zostd::ZOTcpService *service : std::initializer_list<zostd::ZOTcpService *> {
                 m_vxiCore.get(), m_vxiAsync.get(), m_pmapTcp.get() })
            note(service->start(), "TCP", service->port());
        note(m_pmapUdp->start(), "UDP", m_pmapUdp->port());
    }
    if (m_hislip)
        note(m_hislip->start(), "TCP", m_hislip->port());
    return rc;
}

quint16 HeadlessInstrument::rawPort() const
{
    return m_raw->port();
}

quint16 HeadlessInstrument::telnetPort() const
{
    return m_telnet->port();
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
    return m_hislip ? m_hislip->port() : 0;
}
