#include "network/NetworkManager.h"

#include "network/ArpProbe.h"
#include "network/AvahiDaemonProcess.h"
#include "network/AvahiPublishProcess.h"
#include "network/NbnsProcess.h"
#include "network/NetworkFiles.h"
#include "network/NetworkInfo.h"
#include "network/NetworkProcesses.h"
#include "network/NtpDateProcess.h"
#include "platform/AtomicFile.h"
#include "platform/BoardPath.h"
#include "platform/ChildProcess.h"
#include "platform/NetLink.h"
#include "remote/IModelInfo.h"

#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <QRegExp>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

#include <cstdlib>

NetworkManager *NetworkManager::s_pSelf = nullptr;

namespace {

NetworkManager::ErrorSink s_errorSink;
NetworkManager::ArpFactory s_arpFactory;

std::unique_ptr<ArpSocket> makeArpSocket()
{
    return s_arpFactory ? s_arpFactory() : std::make_unique<ArpSocket>();
}

constexpr int MaxQuickConflicts = 10; // RFC 3927 MAX_CONFLICTS
constexpr int ProbeTries = 3;
constexpr int ConflictReportMs = 1000; // from the end of the probe to the status -2

const QString NoAddress4 = QStringLiteral("0.0.0.0");
const QString NoAddress6 = QStringLiteral("::");
const QString Interface = QStringLiteral("eth0");
constexpr const char *ResolvConfPath = "/etc/resolv.conf";
constexpr const char *UdhcpcPidPath = "/var/run/udhcpc.eth0.pid";

void runDetached(const QString &program, const QStringList &arguments)
{
    platform::ChildProcess::startDetached(program, arguments);
}

bool isAddress6(const QString &text)
{
    QHostAddress address;
    return address.setAddress(text) && address.protocol() == QAbstractSocket::IPv6Protocol;
}

// The lines of "ifup -v eth0" that carry a value: udhcpc's, its hook script's and the commands
// ifup echoes for a static configuration. The first pattern that matches a whole line decides.
enum class IfUpLine {
    Started,
    Lease,
    SubnetMask,
    Router,
    Domain,
    Hostname,
    Dns1,
    Dns2,
    Wins1,
    Wins2,
    NoLease,
    StaticAddress,
    DefaultRoute,
};

const struct
{
    IfUpLine kind;
    const char *pattern;
} IfUpPatterns[] = {
    { IfUpLine::Started, "udhcpc .+ started" },
    { IfUpLine::Lease, "Lease of ([0-9\\.]+) obtained, lease time ([0-9]+)" },
    { IfUpLine::SubnetMask, "Subnet mask ([0-9\\.]+)" },
    { IfUpLine::Router, "Router1 ([0-9\\.]+)" },
    { IfUpLine::Domain, "Domain (.*)" },
    { IfUpLine::Hostname, "Hostname (.*)" },
    { IfUpLine::Dns1, "Adding DNS1 ([0-9\\.]+)" },
    { IfUpLine::Dns2, "Adding DNS2 ([0-9\\.]+)" },
    { IfUpLine::Wins1, "Adding WINS1 ([0-9\\.]+)" },
    { IfUpLine::Wins2, "Adding WINS2 ([0-9\\.]+)" },
    { IfUpLine::NoLease, "No lease, .+\\s*" },
    { IfUpLine::StaticAddress, "ifconfig eth0 ([0-9\\.]+) netmask ([0-9\\.]+)\\s*" },
    { IfUpLine::DefaultRoute, "route add default gw ([0-9\\.]+) eth0" },
};

} // namespace

void NetworkManager::setErrorSink(ErrorSink sink)
{
    s_errorSink = std::move(sink);
}

void NetworkManager::setArpFactory(ArpFactory factory)
{
    s_arpFactory = std::move(factory);
}

void NetworkManager::startArpProbe(
    const ArpSocket::Address &address, void (NetworkManager::*done)(bool answered))
{
    stopArpProbe();
    m_arpProbe = new ArpProbe(makeArpSocket(), m_timing.arpWindowMs);
    m_arpProbe->setParent(this);
    connect(m_arpProbe, &ArpProbe::finished, this, done);
    m_arpProbe->start(address, ProbeTries);
}

void NetworkManager::stopArpProbe()
{
    if (!m_arpProbe)
        return;
    m_arpProbe->cancel();
    // Later: this may run inside the probe's own finished().
    m_arpProbe->deleteLater();
    m_arpProbe = nullptr;
}

void NetworkManager::stopArpWork()
{
    stopArpProbe();
    m_linkLocalRetry.stop();
    m_conflictReport.stop();
}

void NetworkManager::claimLinkLocal()
{
    ArpSocket::Address candidate;
    ArpSocket::generateNewLinkLocalCandidate(candidate.data());
    startArpProbe(candidate, &NetworkManager::onLinkLocalProbed);
}

void NetworkManager::onLinkLocalProbed(bool answered)
{
    if (!answered) {
        takeLinkLocal();
        return;
    }
    // Past the limit the next candidate waits (a minute on the board, RFC 3927).
    if (++m_linkLocalConflicts < MaxQuickConflicts) {
        claimLinkLocal();
        return;
    }
    stopArpProbe();
    m_linkLocalRetry.start(m_timing.linkLocalRetryMs);
}

void NetworkManager::takeLinkLocal()
{
    const ArpSocket::Address candidate = m_arpProbe->address();
    m_arpProbe->socket().setLinkLocalAddress(candidate.data());
    stopArpProbe();
    m_networkInfo.modify([](NetworkInfo::Fields &f) {
        f.adrsSrc4 = 2;
    });
    const QString own = QStringLiteral("%1.%2.%3.%4")
                            .arg(candidate[0])
                            .arg(candidate[1])
                            .arg(candidate[2])
                            .arg(candidate[3]);
    runDetached(QStringLiteral("/sbin/route"),
        { QStringLiteral("-A"), QStringLiteral("inet"), QStringLiteral("add"),
            QStringLiteral("default"), QStringLiteral("gw"), own, Interface });
    killUdhcpc();
}

void NetworkManager::probeStaticAddress(const QString &address)
{
    const QHostAddress host(address);
    if (host.protocol() != QAbstractSocket::IPv4Protocol) {
        useStaticNameservers();
        return;
    }
    const quint32 value = host.toIPv4Address();
    startArpProbe({ static_cast<unsigned char>(value >> 24),
                      static_cast<unsigned char>(value >> 16),
                      static_cast<unsigned char>(value >> 8),
                      static_cast<unsigned char>(value) },
        &NetworkManager::onStaticProbed);
}

void NetworkManager::onStaticProbed(bool answered)
{
    if (!answered) {
        stopArpProbe();
        useStaticNameservers();
        return;
    }
    m_arpProbe->socket().killIpv4Address();
    stopArpProbe();
    m_conflictReport.start(ConflictReportMs);
}

void NetworkManager::reportConflict()
{
    m_networkInfo.modify([](NetworkInfo::Fields &f) {
        f.lanStatus4 = -2;
    });
    emitUpdated(430);
}

void NetworkManager::useStaticNameservers()
{
    const PreferenceInfo preferences(m_preferences);
    const QString dns1 = preferences.getPriDNS4();
    const QString dns2 = preferences.getSecDNS4();
    m_networkInfo.modify([&](NetworkInfo::Fields &f) {
        f.priDNS4 = dns1;
        f.secDNS4 = dns2;
    });
    for (const QString &server : { dns1, dns2 }) {
        if (server != NoAddress4)
            appendNameserver(server);
    }
}

NetworkManager::NetworkManager(NetworkInfo &info,
    PreferenceInfo &preferences,
    std::unique_ptr<platform::NetLink> link,
    const Timing &timing)
    : QObject(nullptr)
    , m_networkInfo(info)
    , m_preferences(preferences)
    , m_link(std::move(link))
    , m_timing(timing)
    , m_addressDetector(&info, m_link.get())
{
    s_pSelf = this;
    qRegisterMetaType<const zostd::INetworkInfo *>();
    m_linkLocalRetry.setSingleShot(true);
    connect(&m_linkLocalRetry, &QTimer::timeout, this, &NetworkManager::claimLinkLocal);
    m_conflictReport.setSingleShot(true);
    connect(&m_conflictReport, &QTimer::timeout, this, &NetworkManager::reportConflict);
}

NetworkManager::~NetworkManager()
{
    if (s_pSelf == this)
        s_pSelf = nullptr;
}

void NetworkManager::report(int code, const QString &detail) const
{
    if (s_errorSink)
        s_errorSink(code, detail);
}

void NetworkManager::emitUpdated(unsigned lctx)
{
    emit networkInfoUpdated(&m_networkInfo, lctx);
}

void NetworkManager::onThreadStarted()
{
    createProcesses();
    connect(this, &NetworkManager::configChanged, this, &NetworkManager::onConfigChange);
    connect(this, &NetworkManager::operatedService, this, &NetworkManager::onOperateService);
    connect(this, &NetworkManager::executedIfconfig, this, &NetworkManager::onExecuteIfconfig);
    m_link->bringUp(Interface);
    // The pause lets the driver settle before the first carrier read.
    QTimer::singleShot(m_timing.startPauseMs, this, &NetworkManager::finishThreadStart);
}

void NetworkManager::createProcesses()
{
    m_ifUp = std::make_unique<IfUp>();
    m_ifDown = std::make_unique<IfDown>();
    m_ifConfig = std::make_unique<IfConfig>();
    m_route6 = std::make_unique<Route6>();
    m_route4 = std::make_unique<Route4>();
    m_zoDns6 = std::make_unique<ZoDns6>();
    m_dmesg = std::make_unique<Dmesg>();
    using P = zostd::ZOProcessWrapper;
    using M = NetworkManager;
    connect(m_ifUp.get(), &P::readyReadLines, this, &M::onReadyReadLines_IfUp);
    connect(m_ifUp.get(), &P::progFinished, this, &M::onProgFinish_IfUp);
    connect(m_ifDown.get(), &P::readyReadLines, this, &M::onReadyReadLines_IfDown);
    connect(m_ifDown.get(), &P::progFinished, this, &M::onProgFinish_IfDown);
    connect(m_ifDown.get(), &P::progStarted, this, &M::onProgStart_IfDown);
    connect(m_ifConfig.get(), &P::readyReadLines, this, &M::onReadyReadLines_IfConfig);
    connect(m_ifConfig.get(), &P::progFinished, this, &M::onProgFinish_IfConfig);
    connect(m_route6.get(), &P::readyReadLines, this, &M::onReadyReadLines_Route6);
    connect(m_route6.get(), &P::progFinished, this, &M::onProgFinish_Route6);
    connect(m_route4.get(), &P::readyReadLines, this, &M::onReadyReadLines_Route4);
    connect(m_route4.get(), &P::progFinished, this, &M::onProgFinish_Route4);
    connect(m_zoDns6.get(), &P::readyReadLines, this, &M::onReadyReadLines_ZoDns6);
    connect(m_zoDns6.get(), &P::progFinished, this, &M::onProgFinish_ZoDns6);
    connect(m_dmesg.get(), &P::readyReadLines, this, &M::onReadyReadLines_Dmesg);
    connect(m_dmesg.get(), &P::progFinished, this, &M::onProgFinish_Dmesg);

    // The ports are those of the preferences now: a later change needs a restart.
    const PreferenceInfo preferences(m_preferences);
    const zostd::IModelInfo *model = zostd::getInterface_IModelInfo();
    const auto publisher = [&](const char *type, quint16 port) {
        return std::make_unique<AvahiPublishProcess>(
            QLatin1String(type), port, model, &m_preferences);
    };
    m_avahiDaemon = std::make_unique<AvahiDaemonProcess>(&m_preferences);
    m_publishHttp = publisher("_http._tcp", 80);
    m_publishLxi = publisher("_lxi._tcp", 80);
    m_publishVxi11 = publisher("_vxi-11._tcp", 111);
    m_publishScpiRaw = publisher("_scpi-raw._tcp", preferences.getScpiRawPort());
    m_publishScpiTelnet = publisher("_scpi-telnet._tcp", preferences.getTelnetPort());
    m_publishHislip = publisher("_hislip._tcp", preferences.getHislipPort());
    connect(m_avahiDaemon.get(), &P::readyReadLines, this, &M::avahiDaemonErrout);
    connect(m_publishHttp.get(), &P::readyReadLines, this, &M::avahiPublishHttpErrout);
    connect(m_publishLxi.get(), &P::readyReadLines, this, &M::avahiPublishLxiErrout);
    connect(m_publishScpiRaw.get(), &P::readyReadLines, this, &M::avahiPublishScpiRawErrout);
    connect(m_publishHislip.get(), &P::readyReadLines, this, &M::avahiPublishHislipErrout);
    connect(m_publishVxi11.get(), &P::readyReadLines, this, &M::avahiPublishVxi11Errout);
    connect(
        m_publishScpiTelnet.get(), &P::readyReadLines, this, &M::avahiPublishScpiTelnetErrout);
    m_nbns = std::make_unique<NbnsProcess>(&m_networkInfo, &m_preferences);
    connect(m_nbns.get(), &P::readyReadLines, this, &M::nbnsStdout);
    m_ntpDate = std::make_unique<NtpDateProcess>(&m_preferences);
    connect(m_ntpDate.get(), &P::readyReadLines, this, &M::ntpStdout);
}

void NetworkManager::finishThreadStart()
{
    if (!m_ifUp)
        return;
    m_link->carrier();
    // The link-local address candidates come from random(): seeded from the MAC, so that an
    // instrument tries the same addresses after every start. Bytes 2..5, byte 2 lowest.
    const QByteArray mac = m_link->hardwareAddress();
    if (mac.size() == 6) {
        const auto byte = [&](int i) {
            return quint32(quint8(mac.at(i)));
        };
        srandom(byte(2) | byte(3) << 8 | byte(4) << 16 | byte(5) << 24);
    }
    emit configChanged();
    emitUpdated(151);
    m_pollTimer = new QTimer(this);
    connect(m_pollTimer, &QTimer::timeout, this, &NetworkManager::onTimeout);
    m_pollTimer->start(m_timing.pollMs);
}

void NetworkManager::shutDown()
{
    delete m_pollTimer;
    m_pollTimer = nullptr;
    stopArpWork();
    // The daemon's own end handler removes its configuration folder.
    if (m_avahiDaemon && m_avahiDaemon->state() != QProcess::NotRunning) {
        m_avahiDaemon->disconnect(this);
        m_avahiDaemon->stopService();
        m_avahiDaemon->waitForFinished(1000);
    }
    // The tools go in this thread, where they live. Disconnected first: a QProcess destroyed
    // while its child runs still announces the end, which must reach no handler by then.
    const auto end = [](auto &process) {
        if (!process)
            return;
        process->disconnect();
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(1000);
        }
        process.reset();
    };
    end(m_ifUp);
    end(m_ifDown);
    end(m_ifConfig);
    end(m_route6);
    end(m_route4);
    end(m_zoDns6);
    end(m_dmesg);
    end(m_avahiDaemon);
    end(m_publishHttp);
    end(m_publishLxi);
    end(m_publishVxi11);
    end(m_publishScpiRaw);
    end(m_publishScpiTelnet);
    end(m_publishHislip);
    end(m_nbns);
    end(m_ntpDate);
}

void NetworkManager::onTimeout()
{
    if (!m_ifUp)
        return;
    const platform::NetLink::Carrier carrier = m_link->carrier();
    const bool up = carrier == platform::NetLink::Carrier::Up;
    if (up == m_prevLinkUp) {
        if (up && m_addressDetector.detect()) {
            update_status_and_source();
            emitUpdated(199);
            m_route6->run();
            m_route4->run();
        }
        return;
    }
    m_prevLinkUp = up;
    if (up) {
        m_networkInfo.modify([](NetworkInfo::Fields &f) {
            f.lanStatus4 = 1;
            f.lanStatus6 = 1;
        });
        m_linkUp = true;
        if (m_configuring)
            m_configuring = false; // the up edge of the run's own ifup
        else
            emit configChanged();
        return;
    }
    m_networkInfo.modify([](NetworkInfo::Fields &f) {
        f.addressEntries.clear();
        f.adrsSrc4 = 0;
        f.globAdrsSrc6 = 0;
        f.lanStatus4 = -3;
        f.lanStatus6 = -3;
    });
    onLinkDown();
}

void NetworkManager::onLinkDown()
{
    m_linkUp = false;
    stopArpWork();
    m_networkInfo.modify([](NetworkInfo::Fields &f) {
        f.defGW4 = NoAddress4;
        f.defGW6 = NoAddress6;
    });
    if (!m_configuring)
        emitUpdated(827);
}

void NetworkManager::onConfigChange()
{
    if (!m_linkUp)
        return;
    const PreferenceInfo preferences(m_preferences);
    // A value that would reach ifup's shell unchecked refuses the whole run: eth0 keeps the
    // configuration it has.
    const QString refusal = NetworkFiles::refusal(preferences);
    if (!refusal.isEmpty()) {
        report(-224, refusal);
        return;
    }
    m_configuring = true;
    stopArpWork(); // a probe of the old configuration decides nothing for the new one
    m_networkInfo.modify([&](NetworkInfo::Fields &f) {
        f.lanStatus4 = preferences.getIpv4Enabled() ? 1 : -3;
        f.lanStatus6 = preferences.getIpv6Enabled() ? 1 : -3;
    });
    emitUpdated(1057);

    const QString global6 = m_networkInfo.getGlobalIpAdr6();
    if (global6.size() > 2)
        runDetached(QStringLiteral("/sbin/ifconfig"),
            { Interface,
                QStringLiteral("del"),
                QStringLiteral("%1/%2").arg(global6).arg(m_networkInfo.getGlobalPrefix6()) });
    const QString address4 = m_networkInfo.getIpAdr4();
    if (address4 != NoAddress4)
        runDetached(
            QStringLiteral("/sbin/ifconfig"), { Interface, QStringLiteral("del"), address4 });
    m_ifDown->run();

    genfile_Etc_Network_Interfaces(&preferences);
    genfile_Etc_Sysctl_conf(&preferences);
    emitUpdated(1096);
    QTimer::singleShot(m_timing.sysctlDelayMs, this, &NetworkManager::runSysctl);
}

void NetworkManager::runSysctl()
{
    runDetached(QStringLiteral("/sbin/sysctl"), { QStringLiteral("-p") });
    QTimer::singleShot(m_timing.ifupDelayMs, this, &NetworkManager::runIfUp);
}

void NetworkManager::runIfUp()
{
    if (m_ifUp)
        m_ifUp->run();
}

bool NetworkManager::genfile_Etc_Network_Interfaces(const zostd::IPreferenceInfo *preferences)
{
    const QString refusal = NetworkFiles::refusal(*preferences);
    if (!refusal.isEmpty()) {
        report(-224, refusal);
        return false;
    }
    const QString path = platform::BoardPath::map(NetworkFiles::InterfacesPath);
    QString reason;
    const int rc =
        platform::AtomicFile::write(path, NetworkFiles::interfaces(*preferences), &reason);
    if (rc != 0)
        report(rc, reason);
    return rc == 0;
}

bool NetworkManager::genfile_Etc_Sysctl_conf(const zostd::IPreferenceInfo *preferences)
{
    const QString path = platform::BoardPath::map(NetworkFiles::SysctlPath);
    QString reason;
    const int rc =
        platform::AtomicFile::write(path, NetworkFiles::sysctlConf(*preferences), &reason);
    if (rc != 0)
        report(rc, reason);
    return rc == 0;
}

bool NetworkManager::killUdhcpc() const
{
    QFile file(platform::BoardPath::map(UdhcpcPidPath));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString text = QString::fromLatin1(file.readLine(256)).trimmed();
    bool ok = false;
    const qint64 pid = text.toLongLong(&ok, 10);
    // kill with 0, -1 or a negative number would signal a process group or every process.
    if (!ok || pid <= 1)
        return false;
    runDetached(QStringLiteral("/bin/kill"), { QString::number(pid) });
    return true;
}

void NetworkManager::startNameServices(const PreferenceInfo &preferences)
{
    if (preferences.getMdnsEnabled()) {
        QString detail;
        const int rc = m_avahiDaemon->startService(&detail);
        // Error numbers from -200 down are the daemon's own; a small negative errno means the
        // program could not be started at all.
        if (rc != 0)
            report(rc > -200 ? -310 : rc, detail);
    }
    if (preferences.getNbnsEnabled())
        m_nbns->startService();
}

void NetworkManager::onOperateService(int action)
{
    if (!m_avahiDaemon)
        return;
    if (action != 0) {
        // The request names both services; each still follows its own switch.
        const PreferenceInfo preferences(m_preferences);
        startNameServices(preferences);
        return;
    }
    for (AvahiPublishProcess *publisher : { m_publishHttp.get(),
             m_publishLxi.get(),
             m_publishVxi11.get(),
             m_publishScpiRaw.get(),
             m_publishScpiTelnet.get(),
             m_publishHislip.get() })
        publisher->unpublish();
    // The goodbye packets of the publishers go out before the daemon ends.
    QThread::msleep(m_timing.withdrawPauseMs);
    m_avahiDaemon->stopService();
    m_nbns->stopService();
}

void NetworkManager::onExecuteIfconfig()
{
    if (m_ifConfig)
        m_ifConfig->run();
}

void NetworkManager::onProgStart_IfDown()
{
    m_avahiDaemon->stopService();
    m_nbns->stopService();
    QFile::remove(platform::BoardPath::map(ResolvConfPath));
    m_networkInfo.modify([](NetworkInfo::Fields &f) {
        f.resolvedMdnsHostname.clear();
        f.resolvedNbnsName.clear();
        f.resolvedMdnsServiceName.clear();
        f.resolvedDdnsHostname.clear();
        f.resolvedDomainName.clear();
    });
}

void NetworkManager::onReadyReadLines_IfDown() { }

void NetworkManager::onProgFinish_IfDown() { }

void NetworkManager::onReadyReadLines_IfConfig() { }

void NetworkManager::onProgFinish_IfConfig() { }

void NetworkManager::onReadyReadLines_IfUp()
{
    for (const QString &line : m_ifUp->lines())
        handleIfUpLine(line);
}

void NetworkManager::storeLease(QString PreferenceInfo::Values::*member, const QString &value)
{
    m_preferences.modify([&](PreferenceInfo::Values &v) {
        v.*member = value;
    });
    m_preferences.save();
}

void NetworkManager::handleIfUpLine(const QString &line)
{
    for (const auto &row : IfUpPatterns) {
        QRegExp pattern(QLatin1String(row.pattern));
        if (!pattern.exactMatch(line))
            continue;
        const QString value = pattern.cap(1);
        // Leased values go to the preferences only as well-formed addresses.
        const bool address = NetworkFiles::isDottedQuad(value);
        using F = NetworkInfo::Fields;
        using V = PreferenceInfo::Values;
        const auto setServer = [&](QString F::*field, QString V::*preference) {
            if (!address)
                return;
            m_networkInfo.modify([&](F &f) {
                f.*field = value;
            });
            storeLease(preference, value);
        };
        switch (row.kind) {
        case IfUpLine::Started:
            m_networkInfo.modify([](F &f) {
                f.priDNS4 = f.secDNS4 = f.priWINS4 = f.secWINS4 = NoAddress4;
            });
            break;
        case IfUpLine::Lease:
            if (address) {
                m_networkInfo.modify([](F &f) {
                    f.adrsSrc4 = 1;
                });
                storeLease(&V::IpAdr4, value);
            }
            break;
        case IfUpLine::SubnetMask:
            if (address)
                storeLease(&V::NetMask4, value);
            break;
        case IfUpLine::Router:
            setServer(&F::defGW4, &V::DefGW4);
            break;
        case IfUpLine::Domain:
            m_networkInfo.modify([&](F &f) {
                f.resolvedDomainName = value;
            });
            break;
        case IfUpLine::Hostname:
            m_networkInfo.modify([&](F &f) {
                f.resolvedDdnsHostname = value;
            });
            break;
        case IfUpLine::Dns1:
            setServer(&F::priDNS4, &V::PriDNS4);
            break;
        case IfUpLine::Dns2:
            setServer(&F::secDNS4, &V::SecDNS4);
            break;
        case IfUpLine::Wins1:
            setServer(&F::priWINS4, &V::PriWINS4);
            break;
        case IfUpLine::Wins2:
            setServer(&F::secWINS4, &V::SecWINS4);
            break;
        case IfUpLine::NoLease:
            m_linkLocalConflicts = 0;
            claimLinkLocal();
            break;
        case IfUpLine::StaticAddress:
            m_networkInfo.modify([&](F &f) {
                f.adrsSrc4 = 3;
            });
            probeStaticAddress(value);
            break;
        case IfUpLine::DefaultRoute:
            if (address)
                m_networkInfo.modify([&](F &f) {
                    f.defGW4 = value;
                });
            break;
        }
        return;
    }
}

void NetworkManager::appendNameserver(const QString &server) const
{
    // Only an address may become a line of the resolver file.
    QHostAddress address;
    if (!address.setAddress(server))
        return;
    QFile file(platform::BoardPath::map(ResolvConfPath));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write("nameserver " + address.toString().toLatin1() + "\n");
}

void NetworkManager::onProgFinish_IfUp()
{
    const PreferenceInfo preferences(m_preferences);
    if (preferences.getIpv6Enabled()) {
        if (preferences.getStaticIp4Enabled()) {
            const QString dns1 = preferences.getPriDNS6();
            const QString dns2 = preferences.getSecDNS6();
            m_networkInfo.modify([&](NetworkInfo::Fields &f) {
                f.priDNS6 = dns1;
                f.secDNS6 = dns2;
            });
            for (const QString &server : { dns1, dns2 }) {
                if (server.size() > 2)
                    appendNameserver(server);
            }
        } else {
            m_networkInfo.modify([](NetworkInfo::Fields &f) {
                f.priDNS6 = f.secDNS6 = NoAddress6;
            });
            m_zoDns6->run();
        }
        if (preferences.getStaticIp6Enabled() && isAddress6(preferences.getIpAdr6()))
            runDetached(QStringLiteral("/sbin/ifconfig"),
                { Interface,
                    QStringLiteral("add"),
                    QStringLiteral("%1/%2")
                        .arg(preferences.getIpAdr6())
                        .arg(preferences.getPrefix6()) });
    }
    QTimer::singleShot(m_timing.dadCheckDelayMs, this, [this] {
        if (!m_dmesg)
            return;
        m_dmesg->run();
        emitUpdated(536);
        const PreferenceInfo preferences(m_preferences);
        startNameServices(preferences);
        const bool autoClock = preferences.getAutoClockAdjEnabled();
        const QString server = preferences.getNtpServerHostname();
        if (autoClock)
            QTimer::singleShot(m_timing.ntpDelayMs, this, [this, server] {
                if (m_ntpDate)
                    m_ntpDate->launch(true, 0.1, server);
            });
        m_link->bringUp(QStringLiteral("lo"));
    });
}

void NetworkManager::update_status_and_source()
{
    const PreferenceInfo preferences(m_preferences);
    const QList<QNetworkAddressEntry> entries = m_networkInfo.fields().addressEntries;
    bool seen4 = false;
    bool seenGlobal6 = false;
    int source4 = 0;
    for (const QNetworkAddressEntry &entry : entries) {
        const QHostAddress ip = entry.ip();
        if (ip.protocol() == QAbstractSocket::IPv6Protocol) {
            const Q_IPV6ADDR bytes = ip.toIPv6Address();
            if (bytes[0] == 0xFE && bytes[1] == 0x80)
                continue;
            if (preferences.getStaticIp6Enabled() && isAddress6(preferences.getDefGW6())) {
                runDetached(QStringLiteral("/sbin/ip"),
                    { QStringLiteral("route"), QStringLiteral("del"), QStringLiteral("::/0") });
                runDetached(QStringLiteral("/sbin/route"),
                    { QStringLiteral("-A"),
                        QStringLiteral("inet6"),
                        QStringLiteral("add"),
                        QStringLiteral("::/0"),
                        QStringLiteral("gw"),
                        preferences.getDefGW6(),
                        Interface });
            }
            seenGlobal6 = true;
        } else if (ip.protocol() == QAbstractSocket::IPv4Protocol) {
            if (!preferences.getLinkLocal4Enabled())
                source4 = 3;
            else
                source4 = QHostAddress(QStringLiteral("169.254.0.0")).isInSubnet(ip, 16) ? 2 : 1;
            seen4 = true;
        }
    }
    const bool configuring = m_configuring;
    m_networkInfo.modify([&](NetworkInfo::Fields &f) {
        if (seen4)
            f.adrsSrc4 = source4;
        else if (preferences.getDhcpv4Enabled() && f.lanStatus4 == 0)
            f.lanStatus4 = -1;
        else if (preferences.getStaticIp4Enabled())
            f.lanStatus4 = -2;
        if (seenGlobal6)
            f.globAdrsSrc6 = preferences.getSlaac6Enabled() ? 2 : 3;
        else if (f.globAdrsSrc6 == 2 && !configuring)
            f.lanStatus6 = -1;
    });
}

void NetworkManager::onReadyReadLines_Route4()
{
    QRegExp pattern(QStringLiteral("default\\s+([-0-9a-zA-Z.]+)\\s+([-0-9a-zA-Z.]+)\\s+([UG]+)\\s+"
                                   "([-0-9]+)\\s+([-0-9]+)\\s+([-0-9]+)\\s+eth0\\s*"));
    const QRegExp dotted(QStringLiteral("[0-9]{1,3}\\.[0-9]{1,3}\\.[0-9]{1,3}\\.[0-9]{1,3}"));
    for (const QString &line : m_route4->lines()) {
        if (!pattern.exactMatch(line))
            continue;
        const QString gateway = pattern.cap(1);
        if (dotted.exactMatch(gateway)) {
            m_networkInfo.modify([&](NetworkInfo::Fields &f) {
                f.defGW4 = gateway;
            });
            continue;
        }
        for (const QHostAddress &address : QHostInfo::fromName(gateway).addresses()) {
            if (address.protocol() == QAbstractSocket::IPv4Protocol)
                m_networkInfo.modify([&](NetworkInfo::Fields &f) {
                    f.defGW4 = address.toString();
                });
        }
    }
    emitUpdated(671);
}

void NetworkManager::onProgFinish_Route4()
{
    const QString address4 = m_networkInfo.getIpAdr4();
    m_networkInfo.modify([&](NetworkInfo::Fields &f) {
        const int s = f.lanStatus4;
        if ((s == 1 || s == -1 || s == -3) && address4 != NoAddress4)
            f.lanStatus4 = 0;
    });
    emitUpdated(688);
}

void NetworkManager::onReadyReadLines_Route6()
{
    QRegExp pattern(QStringLiteral("(::\\/0)\\s+([-0-9A-Za-z:.]+)\\s+([A-Za-z]+)\\s+([-0-9]+)\\s+"
                                   "([-0-9]+)\\s+([-0-9]+)\\s+eth0\\s*"));
    const QRegExp hex(QStringLiteral("[0-9a-f:]+"));
    for (const QString &line : m_route6->lines()) {
        if (!pattern.exactMatch(line))
            continue;
        const QString hop = pattern.cap(2);
        if (hex.exactMatch(hop)) {
            m_networkInfo.modify([&](NetworkInfo::Fields &f) {
                f.defGW6 = hop;
            });
            continue;
        }
        for (const QHostAddress &address : QHostInfo::fromName(hop).addresses()) {
            if (address.protocol() == QAbstractSocket::IPv6Protocol)
                m_networkInfo.modify([&](NetworkInfo::Fields &f) {
                    f.defGW6 = address.toString();
                });
        }
    }
    emitUpdated(615);
}

void NetworkManager::onProgFinish_Route6()
{
    const QString global6 = m_networkInfo.getGlobalIpAdr6();
    m_networkInfo.modify([&](NetworkInfo::Fields &f) {
        const int s = f.lanStatus6;
        if (s == 1 || s == -3 || (s == -1 && global6.size() > 2))
            f.lanStatus6 = 0;
    });
    emitUpdated(633);
}

void NetworkManager::onReadyReadLines_ZoDns6()
{
    QRegExp dns1(QStringLiteral("DNS1\\s(.+)"));
    QRegExp dns2(QStringLiteral("DNS2\\s(.+)"));
    QRegExp domain(QStringLiteral("Domain\\s(.+)"));
    const QRegExp hex(QStringLiteral("[0-9a-f:]+"));
    for (const QString &line : m_zoDns6->lines()) {
        for (auto [pattern, field] : { std::pair { &dns1, &NetworkInfo::Fields::priDNS6 },
                 std::pair { &dns2, &NetworkInfo::Fields::secDNS6 } }) {
            if (!pattern->exactMatch(line) || !hex.exactMatch(pattern->cap(1)))
                continue;
            const QString server = pattern->cap(1);
            const auto member = field;
            m_networkInfo.modify([&](NetworkInfo::Fields &f) {
                f.*member = server;
            });
            appendNameserver(server);
        }
        if (domain.exactMatch(line)) {
            const QString name = domain.cap(1);
            m_networkInfo.modify([&](NetworkInfo::Fields &f) {
                f.resolvedDomainName = name;
            });
        }
    }
    emitUpdated(746);
}

void NetworkManager::onProgFinish_ZoDns6() { }

void NetworkManager::onReadyReadLines_Dmesg()
{
    // The kernel log is read whole, never cleared: lines up to the last time stamp handled are
    // skipped. Both the older form "duplicate address X detected!" and the current one
    // "IPv6 duplicate address X used by MAC detected!" count.
    QRegExp pattern(QStringLiteral("\\[([0-9 ]+)\\.([0-9 ]+)\\]\\s+IPv6: eth0:.+duplicate "
                                   "address\\s+([0-9a-f:]{4,})(\\s+used by [0-9a-f:]+)?\\s+detected!"));
    for (const QString &line : m_dmesg->lines()) {
        if (!line.contains(Interface) || !pattern.exactMatch(line))
            continue;
        const qint64 seconds = pattern.cap(1).trimmed().toLongLong();
        const QString fraction = pattern.cap(2).trimmed().leftJustified(6, QLatin1Char('0'), true);
        const qint64 stamp = seconds * 1000000 + fraction.toLongLong();
        if (stamp <= m_lastDadStamp)
            continue;
        m_lastDadStamp = stamp;
        const PreferenceInfo preferences(m_preferences);
        runDetached(QStringLiteral("/sbin/ifconfig"),
            { Interface,
                QStringLiteral("del"),
                QStringLiteral("%1/%2").arg(pattern.cap(3)).arg(preferences.getPrefix6()) });
        m_networkInfo.modify([](NetworkInfo::Fields &f) {
            f.lanStatus6 = -2;
        });
    }
}

void NetworkManager::onProgFinish_Dmesg() { }

void NetworkManager::avahiDaemonErrout()
{
    static const QRegularExpression startLine(
        QStringLiteral("\\AServer startup complete\\. Host name is ([-A-Za-z0-9]+\\.local\\.) "
                       "Local service cookie is ([0-9]+)\\.\\z"));
    static const QRegularExpression bareName(QStringLiteral("\\A([^.]+)\\.local\\.?\\z"));
    for (const QString &line : m_avahiDaemon->lines()) {
        const QRegularExpressionMatch match = startLine.match(line);
        if (!match.hasMatch())
            continue;
        const QString hostname = match.captured(1);
        m_networkInfo.modify([&](NetworkInfo::Fields &f) {
            f.resolvedMdnsHostname = hostname;
        });
        const QRegularExpressionMatch bare = bareName.match(hostname);
        if (bare.hasMatch()) {
            const int rc = AvahiDaemonProcess::writeHostnameCache(bare.captured(1));
            if (rc != 0)
                report(rc,
                    QStringLiteral("%1: cannot be written")
                        .arg(QLatin1String(AvahiDaemonProcess::HostnameCachePath)));
        }
        m_publishHttp->publish();
        QThread::msleep(m_timing.publishPauseMs);
        m_publishLxi->publish();
        QThread::msleep(m_timing.publishPauseMs);
        m_publishScpiRaw->publish();
        m_publishHislip->publish();
        m_publishVxi11->publish();
        m_publishScpiTelnet->publish();
    }
}

void NetworkManager::sub_publishErrout(AvahiPublishProcess *publisher)
{
    static const QRegularExpression nameLine(
        QStringLiteral("\\A(Established under name|Name collision, picking new name) '(.+)'\\.?\\z"));
    for (const QString &line : publisher->lines()) {
        const QRegularExpressionMatch match = nameLine.match(line);
        if (!match.hasMatch())
            continue;
        const QString name = match.captured(2);
        m_networkInfo.modify([&](NetworkInfo::Fields &f) {
            f.resolvedMdnsServiceName = name;
        });
        if (AvahiPublishProcess::writeServiceCache(name) != 0)
            report(-310, QStringLiteral("%1: cannot be written")
                             .arg(QLatin1String(AvahiPublishProcess::ServiceCachePath)));
    }
}

void NetworkManager::avahiPublishHttpErrout()
{
    sub_publishErrout(m_publishHttp.get());
}

void NetworkManager::avahiPublishLxiErrout()
{
    sub_publishErrout(m_publishLxi.get());
}

void NetworkManager::avahiPublishScpiRawErrout()
{
    sub_publishErrout(m_publishScpiRaw.get());
}

void NetworkManager::avahiPublishHislipErrout()
{
    sub_publishErrout(m_publishHislip.get());
}

void NetworkManager::avahiPublishVxi11Errout()
{
    sub_publishErrout(m_publishVxi11.get());
}

void NetworkManager::avahiPublishScpiTelnetErrout()
{
    sub_publishErrout(m_publishScpiTelnet.get());
}

void NetworkManager::nbnsStdout()
{
    for (const QString &line : m_nbns->lines()) {
        const QString name = NbnsProcess::advertisedName(line);
        if (name.isEmpty())
            continue;
        m_networkInfo.modify([&](NetworkInfo::Fields &f) {
            f.resolvedNbnsName = name;
        });
        emitUpdated(1265);
    }
}

void NetworkManager::ntpStdout()
{
    // The clock program's lines carry nothing the record keeps.
}
