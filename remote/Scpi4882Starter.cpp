#include "remote/Scpi4882Starter.h"

#include "remote/IModelInfo.h"
#include "remote/IPreferenceInfo.h"
#include "remote/StatusRegisters.h"
#include "remote/ZO4882Parser.h"
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

#include <QThread>

#include <vector>

namespace zo4882 {

namespace {

// The setting forms of the administrator-only commands (deny class 1).
constexpr unsigned DenyAdministrator = 0x1;
// Valid bits, positive filter of the questionable and operation registers after start-up.
constexpr short StatusPresetMask = 0x7FFF;

using StbNotifier = std::function<void(unsigned char)>;

// Everything start() made, kept until shutDown(). Touched only in the thread that calls
// start() and shutDown() (the GUI thread); the status-byte sinks read the notifier lists, which
// are complete before the sinks are installed and cleared only after the sinks are removed.
struct Started
{
    QString startError;
    std::unique_ptr<ZO4882Parser> parser;
    std::unique_ptr<ZO4882ParserAsync> control;
    std::unique_ptr<ZOTcpService_ScpiRaw> raw;
    std::unique_ptr<ZOTcpService_ScpiTelnet> telnet;
    std::unique_ptr<ZOTcpService_HiSLIP> hislip;
    std::unique_ptr<ZOTcpService_Vxi11Core> vxiCore;
    std::unique_ptr<ZOTcpService_Vxi11Async> vxiAsync;
    std::unique_ptr<zostd::ZOTcpService_Pmap> pmapTcp;
    std::unique_ptr<zostd::ZOUdpService_Pmap> pmapUdp;
    std::unique_ptr<ZOUsbtmcService> usbtmc;
    std::unique_ptr<QThread> usbtmcThread;
    std::unique_ptr<ZORs232Service> rs232;
    std::vector<StbNotifier> stbNotifiers;
    std::vector<StbNotifier> srqNotifiers;
};

std::unique_ptr<Started> s_started;

quint16 choosePort(int override, quint16 preferred, quint16 fallback)
{
    if (override >= 0)
        return quint16(override);
    return preferred != 0 ? preferred : fallback;
}

// Notes the first listener that could not bind its port.
void noteBind(Started &started, int &rc, int failed, const char *what, quint16 port)
{
    if (failed == 0 || rc != 0)
        return;
    rc = failed;
    started.startError = QStringLiteral("%1 port %2").arg(QLatin1String(what)).arg(port);
}

int startLan(
    Started &started, zostd::IPreferenceInfo &preferences, const Scpi4882Starter::Options &options)
{
    ZO4882Parser *parser = started.parser.get();
    int rc = 0;
    started.raw = std::make_unique<ZOTcpService_ScpiRaw>(
        choosePort(options.rawPort, preferences.getScpiRawPort(), Scpi4882Starter::DefaultRawPort),
        parser);
    noteBind(started, rc, started.raw->start(), "TCP", started.raw->port());
    started.telnet = std::make_unique<ZOTcpService_ScpiTelnet>(
        choosePort(
            options.telnetPort, preferences.getTelnetPort(), Scpi4882Starter::DefaultTelnetPort),
        parser);
    ZOTcpService_ScpiTelnet::s_pPI = &preferences;
    noteBind(started, rc, started.telnet->start(), "TCP", started.telnet->port());
    started.hislip = std::make_unique<ZOTcpService_HiSLIP>(
        choosePort(
            options.hislipPort, preferences.getHislipPort(), Scpi4882Starter::DefaultHislipPort),
        parser);
    noteBind(started, rc, started.hislip->start(), "TCP", started.hislip->port());
    started.srqNotifiers.push_back(&ZOHislipDelegate::broadcastSRQ);
    if (!options.vxi11)
        return rc;
    started.vxiCore =
        std::make_unique<ZOTcpService_Vxi11Core>(ZOTcpService_Vxi11Core::DefaultPort, parser);
    started.vxiAsync = std::make_unique<ZOTcpService_Vxi11Async>();
    started.pmapTcp = std::make_unique<zostd::ZOTcpService_Pmap>();
    started.pmapUdp = std::make_unique<zostd::ZOUdpService_Pmap>();
    for (zostd::ZOTcpService *service : std::initializer_list<zostd::ZOTcpService *> {
             started.vxiCore.get(), started.vxiAsync.get(), started.pmapTcp.get() })
        noteBind(started, rc, service->start(), "TCP", service->port());
    noteBind(started, rc, started.pmapUdp->start(), "UDP", started.pmapUdp->port());
    started.srqNotifiers.push_back(&ZOVxi11CoreDelegate::broadcastSRQ);
    return rc;
}

void startUsbtmc(Started &started, const zostd::IModelInfo &model)
{
    ZOUsbtmcService::UsbtmcParams params;
    params.vendorId = model.getUsbVID();
    params.productId = model.getUsbPID();
    params.manufacturer = model.getManufacturer();
    params.product = model.getModel();
    params.serialNumber = model.getSerial();
    started.usbtmc =
        std::make_unique<ZOUsbtmcService>(params, UsbtmcTiming(), started.parser.get());
    started.usbtmcThread = std::make_unique<QThread>();
    started.usbtmc->moveToThread(started.usbtmcThread.get());
    QObject::connect(started.usbtmcThread.get(),
        &QThread::started,
        started.usbtmc.get(),
        &ZOUsbtmcService::onThreadStarted);
    started.usbtmcThread->start(QThread::currentThread()->priority());
    started.stbNotifiers.push_back(&ZOUsbtmcService::updateSTB);
    started.srqNotifiers.push_back(&ZOUsbtmcService::broadcastSRQ);
}

void startRs232(Started &started, const zostd::IPreferenceInfo &preferences)
{
    const int flow = preferences.getRs232FlowCtrl();
    started.rs232 = std::make_unique<ZORs232Service>(QLatin1String(Scpi4882Starter::SerialPortName),
        preferences.getRs232Bitrate(),
        QSerialPort::DataBits(preferences.getRs232DataBits()),
        preferences.getRs232StopBits() == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop,
        flow == 1 ? QSerialPort::HardwareControl : QSerialPort::NoFlowControl,
        started.parser.get());
    // Status records and service requests reach the host in the meta-command mode.
    ZORs232Service *rs232 = started.rs232.get();
    const auto notify = [rs232](unsigned char stb) {
        emit rs232->safuStbChangeNotified(stb);
    };
    started.stbNotifiers.push_back(notify);
    started.srqNotifiers.push_back(notify);
}

// The status byte's two sinks call every transport that reports it (they only post).
void installStbSinks(const Started &started)
{
    if (!started.stbNotifiers.empty()) {
        s_stb.setStatusByteSink([&started](unsigned char stb) {
            for (const StbNotifier &notify : started.stbNotifiers)
                notify(stb);
        });
    }
    if (!started.srqNotifiers.empty()) {
        s_stb.setServiceRequestSink([&started](unsigned char stb) {
            for (const StbNotifier &notify : started.srqNotifiers)
                notify(stb);
        });
    }
}

void presetStatusRegisters()
{
    for (ZO_STAT_REGISTER *reg : { &s_statQues, &s_statOper }) {
        reg->setValidMask(StatusPresetMask);
        reg->setEnabler(0);
        reg->setPtr(StatusPresetMask);
        reg->setNtr(0);
    }
}

} // namespace

int Scpi4882Starter::start(const Instrument &instrument, const Options &options)
{
    Q_ASSERT(!s_started && instrument.preferences && instrument.createParser);
    // The registers' links into the status byte are made when they are built; init4882() would
    // also wipe the enables the preferences restored, so it is not called here.
    s_started = std::make_unique<Started>();
    Started &started = *s_started;
    started.parser = instrument.createParser();
    started.control =
        std::make_unique<ZO4882ParserAsync>(started.parser.get(), instrument.controlSink);
    started.parser->resetAndSetDenyFlags(0, DenyAdministrator);

    zostd::IPreferenceInfo &preferences = *instrument.preferences;
    int rc = 0;
    if (preferences.getLanEnabled())
        rc = startLan(started, preferences, options);
    if (preferences.getUsbEnabled() && options.usb && instrument.model)
        startUsbtmc(started, *instrument.model);
    if (preferences.getRs232Enabled() && options.rs232)
        startRs232(started, preferences);
    installStbSinks(started);

    s_systErrCue.setHook(instrument.errorHook);
    presetStatusRegisters();
    if (instrument.watchdogEnabled)
        started.parser->setWatchDog(instrument.watchdogDelaySeconds * 1000);
    return rc;
}

void Scpi4882Starter::shutDown()
{
    if (!s_started)
        return;
    Started &started = *s_started;
    // Transports first, so no message arrives at a parser that is going away.
    s_stb.setStatusByteSink({});
    s_stb.setServiceRequestSink({});
    if (started.usbtmc) {
        started.usbtmc->closeDevice();
        started.usbtmcThread->quit();
        started.usbtmcThread->wait();
        started.usbtmc.reset();
    }
    started.rs232.reset();
    started.pmapUdp.reset();
    started.pmapTcp.reset();
    started.vxiAsync.reset();
    started.vxiCore.reset();
    ZOVxi11_SRQ::destroy();
    started.hislip.reset();
    started.telnet.reset();
    ZOTcpService_ScpiTelnet::s_pPI = nullptr;
    started.raw.reset();
    started.control.reset();
    started.parser.reset();
    s_systErrCue.setHook(nullptr);
    s_started.reset();
}

bool Scpi4882Starter::isStarted()
{
    return s_started != nullptr;
}

QString Scpi4882Starter::startError()
{
    return s_started ? s_started->startError : QString();
}

ZO4882Parser *Scpi4882Starter::parser()
{
    return s_started ? s_started->parser.get() : nullptr;
}

quint16 Scpi4882Starter::rawPort()
{
    return s_started && s_started->raw ? s_started->raw->port() : 0;
}

quint16 Scpi4882Starter::telnetPort()
{
    return s_started && s_started->telnet ? s_started->telnet->port() : 0;
}

quint16 Scpi4882Starter::hislipPort()
{
    return s_started && s_started->hislip ? s_started->hislip->port() : 0;
}

quint16 Scpi4882Starter::vxi11CorePort()
{
    return s_started && s_started->vxiCore ? s_started->vxiCore->port() : 0;
}

bool Scpi4882Starter::servesRs232()
{
    return s_started && s_started->rs232;
}

bool Scpi4882Starter::servesUsbtmc()
{
    return s_started && s_started->usbtmc;
}

} // namespace zo4882
