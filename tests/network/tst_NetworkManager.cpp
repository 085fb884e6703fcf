#include "network/NetworkManager.h"

#include "network/ArpSocket.h"
#include "tests/support/FakeArpLink.h"

#include "instrument/PreferenceInfo.h"
#include "network/NetworkInfo.h"
#include "platform/BoardPath.h"
#include "platform/NetLink.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <utility>

namespace {

// eth0 as the test sets it: the carrier is whatever the test says.
class FakeLink : public platform::NetLink
{
public:
    FakeLink(std::atomic<bool> *carrier, const QList<QNetworkAddressEntry> &entries = {})
        : m_carrier(carrier)
        , m_entries(entries)
    { }
    int interfaceIndex() const override { return 2; }
    QByteArray hardwareAddress() const override
    {
        return QByteArray("\x02\x00\x0a\x0b\x0c\x0d", 6);
    }
    bool bringUp(const QString &) override { return true; }
    Carrier carrier() override { return *m_carrier ? Carrier::Up : Carrier::Down; }
    QList<QNetworkAddressEntry> addressEntries() const override { return m_entries; }

private:
    std::atomic<bool> *m_carrier;
    const QList<QNetworkAddressEntry> m_entries;
};

const char *const Tools[] = { "sbin/ifup",
    "sbin/ifdown",
    "sbin/sysctl",
    "sbin/ifconfig",
    "sbin/route",
    "sbin/ip",
    "bin/dmesg",
    "bin/kill",
    "usr/bin/zodns6" };

} // namespace

// The manager in its own thread against a board root whose tools are logging stand-ins and a
// link whose carrier the test switches. The pauses are shortened; their order is the product's.
class tst_NetworkManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void runStartsAtFirstUpEdgeInOrderAndItsOwnEdgesStartNoSecondRun();
    void unplugOutsideARunIsAnnouncedAndReplugStartsANewRun();
    void configChangedWhileTheLinkIsDownDoesNothing();
    void refusedHostnameStopsTheRunAndWritesNothing();
    void dhcpOutputFillsTheRecordAndStoresTheLease();
    void addressesGiveSourcesAndStatuses_data();
    void addressesGiveSourcesAndStatuses();
    void toolLinesReachTheRecord_data();
    void toolLinesReachTheRecord();
    void duplicateAddressLinesDeleteTheAddressOnce();
    void noLeaseTakesAFreeLinkLocalAddress();
    void staticAddressHeldByAnotherHostIsRemoved();
    void freeStaticAddressGetsTheStoredNameServers();
    void afterTenConflictsTheNextCandidateWaits();
    void theThreadServesThePollWhileAProbeRuns();
    void killUdhcpcOnlySignalsOneProcess_data();
    void killUdhcpcOnlySignalsOneProcess();
    void daemonNamePublishesTheSixServicesInOrder();
    void collidedHostnameIsCachedAndWithdrawalEndsEverything();
    void servicesOffStartNeitherDaemonNorNetbios();
    void refusedMdnsHostnameIsReportedAndStartsNoDaemon();
    void netbiosNameIsLearnedAndTheClockProgramFollowsIfup();

private:
    void start();
    // The mDNS daemon, publisher, NetBIOS and NTP stand-ins: logged like the tools; each
    // process that stays adds its pid to var/run/pids.
    void installNameServices();
    bool anyNameServiceRunning() const;
    // The logged tool runs, "name args" per line, in order.
    QStringList journal() const;
    QList<double> journalTimes() const;
    int count(const QString &entry) const { return journal().count(entry); }
    // Lines that the stand-in ifup prints.
    void writeIfUpOutput(const QByteArray &lines);
    // Hosts on eth0's LAN for the manager's ARP probes (shortened windows).
    std::shared_ptr<ArpLan> installArpLan();

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<PreferenceInfo> m_preferences;
    std::unique_ptr<NetworkInfo> m_info;
    std::unique_ptr<NetworkManager> m_manager;
    QThread m_thread;
    std::atomic<bool> m_carrier { true };
    QList<unsigned> m_codes; // networkInfoUpdated codes, in this thread
    QList<int> m_errors;
    QList<QNetworkAddressEntry> m_entries; // eth0's addresses while the link is up
    NetworkManager::Timing m_timing;
};

void tst_NetworkManager::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    platform::BoardPath::setRoot(m_root->path());
    QDir dir(m_root->path());
    for (const char *sub :
        { "sbin", "bin", "usr/bin", "etc/instr", "etc/network", "var/run", "var/log" })
        QVERIFY(dir.mkpath(sub));
    for (const char *tool : Tools) {
        QFile script(dir.filePath(tool));
        QVERIFY(script.open(QIODevice::WriteOnly));
        // Logs the time and its own name with its arguments; ifup prints the test's lines.
        script.write(
            "#!/bin/sh\n"
            "echo \"$(date +%s.%N) $(basename \"$0\") $*\" >> \"$BOARD_ROOT/var/log/tools.log\"\n"
            "[ \"$(basename \"$0\")\" = ifup ] && [ -f \"$BOARD_ROOT/ifup.out\" ] "
            "&& cat \"$BOARD_ROOT/ifup.out\"\n"
            "[ \"$(basename \"$0\")\" = dmesg ] && [ -f \"$BOARD_ROOT/kernel.out\" ] "
            "&& cat \"$BOARD_ROOT/kernel.out\"\n"
            // The two route listings and zodns6 print the test's lines too.
            "[ \"$(basename \"$0\") $*\" = \"route -A inet\" ] && [ -f \"$BOARD_ROOT/route4.out\" "
            "] "
            "&& cat \"$BOARD_ROOT/route4.out\"\n"
            "[ \"$(basename \"$0\") $*\" = \"route -A inet6\" ] && [ -f \"$BOARD_ROOT/route6.out\" "
            "] "
            "&& cat \"$BOARD_ROOT/route6.out\"\n"
            "[ \"$(basename \"$0\")\" = zodns6 ] && [ -f \"$BOARD_ROOT/zodns6.out\" ] "
            "&& cat \"$BOARD_ROOT/zodns6.out\"\n"
            "exit 0\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    m_preferences = std::make_unique<PreferenceInfo>();
    m_preferences->modify([](PreferenceInfo::Values &v) {
        v.adrsAssign4 = 2;
        v.adrsAssign6 = 0;
        v.ddnsEnabled = true;
        v.hostname = QStringLiteral("VEK3R-00042");
    });
    m_info = std::make_unique<NetworkInfo>();
    m_codes.clear();
    m_errors.clear();
    NetworkManager::setErrorSink([this](int code, const QString &) {
        QMetaObject::invokeMethod(this, [this, code] {
            m_errors.append(code);
        });
    });
    m_timing = NetworkManager::Timing { 40, 10, 300, 300, 10, 30, 60000 };
    m_carrier = true;
    m_entries.clear();
}

void tst_NetworkManager::start()
{
    m_manager = std::make_unique<NetworkManager>(
        *m_info, *m_preferences, std::make_unique<FakeLink>(&m_carrier, m_entries), m_timing);
    m_manager->moveToThread(&m_thread);
    connect(&m_thread, &QThread::started, m_manager.get(), &NetworkManager::onThreadStarted);
    connect(m_manager.get(),
        &NetworkManager::networkInfoUpdated,
        this,
        [this](const zostd::INetworkInfo *, unsigned lctx) {
            m_codes.append(lctx);
        });
    m_thread.start();
}

void tst_NetworkManager::cleanup()
{
    if (m_manager) {
        QMetaObject::invokeMethod(
            m_manager.get(), &NetworkManager::shutDown, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
        m_manager.reset();
    }
    NetworkManager::setErrorSink({});
    NetworkManager::setArpFactory({});
    m_info.reset();
    m_preferences.reset();
    platform::BoardPath::setRoot(QString());
    m_root.reset();
}

QStringList tst_NetworkManager::journal() const
{
    QFile file(m_root->filePath("var/log/tools.log"));
    QStringList entries;
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            entries.append(QString::fromLatin1(line.mid(line.indexOf(' ') + 1)));
    }
    return entries;
}

QList<double> tst_NetworkManager::journalTimes() const
{
    QFile file(m_root->filePath("var/log/tools.log"));
    QList<double> times;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (!line.isEmpty())
                times.append(line.left(line.indexOf(' ')).toDouble());
        }
    }
    return times;
}

void tst_NetworkManager::runStartsAtFirstUpEdgeInOrderAndItsOwnEdgesStartNoSecondRun()
{
    start();
    QTRY_VERIFY_WITH_TIMEOUT(journal().contains("ifup -v eth0"), 10000);
    // dmesg may follow at once, 2 s after ifup on the board.
    QCOMPARE(journal().mid(0, 3).join(" | "),
        QStringLiteral("ifdown -v eth0 | sysctl -p | ifup -v eth0"));
    const QList<double> times = journalTimes();
    QVERIFY2(times.at(1) - times.at(0) >= 0.25, "sysctl -p follows the files after its pause");
    QVERIFY2(times.at(2) - times.at(1) >= 0.25, "ifup follows sysctl -p after its pause");
    QTRY_VERIFY_WITH_TIMEOUT(m_codes.contains(536u), 5000);
    QCOMPARE(m_codes.mid(0, 3), QList<unsigned>({ 151u, 1057u, 1096u }));
    QCOMPARE(m_info->getLanStatus4(), 1);
    QCOMPARE(m_info->getLanStatus6(), -3); // IPv6 off: the run sets it back from the edge's 1
    QFile interfaces(m_root->filePath("etc/network/interfaces"));
    QVERIFY(interfaces.open(QIODevice::ReadOnly));
    QVERIFY(interfaces.readAll().endsWith("udhcpc_opts -t 5 -O 44 -x hostname:VEK3R-00042\n\n"));

    // The run's own ifdown/ifup edges: down and up again, no announcement, no second run.
    m_carrier = false;
    QTRY_COMPARE_WITH_TIMEOUT(m_info->getLanStatus4(), -3, 5000);
    m_carrier = true;
    QTRY_COMPARE_WITH_TIMEOUT(m_info->getLanStatus4(), 1, 5000);
    QTest::qWait(m_timing.pollMs * 5);
    QVERIFY(!m_codes.contains(827u));
    QCOMPARE(count("ifdown -v eth0"), 1);
}

void tst_NetworkManager::unplugOutsideARunIsAnnouncedAndReplugStartsANewRun()
{
    m_timing.sysctlDelayMs = m_timing.ifupDelayMs = 20;
    start();
    QTRY_VERIFY_WITH_TIMEOUT(m_codes.contains(536u), 10000);
    // The run's own edges end it.
    m_carrier = false;
    QTRY_COMPARE_WITH_TIMEOUT(m_info->getLanStatus4(), -3, 5000);
    m_carrier = true;
    QTRY_COMPARE_WITH_TIMEOUT(m_info->getLanStatus4(), 1, 5000);
    QTest::qWait(m_timing.pollMs * 3);
    m_info->modify([](NetworkInfo::Fields &f) {
        f.defGW4 = QStringLiteral("10.0.0.1");
        f.priDNS4 = QStringLiteral("10.0.0.53");
    });
    m_codes.clear();

    m_carrier = false;
    QTRY_VERIFY_WITH_TIMEOUT(m_codes.contains(827u), 5000);
    QCOMPARE(m_info->getLanStatus4(), -3);
    QCOMPARE(m_info->getLanStatus6(), -3);
    QCOMPARE(m_info->getDefGW4(), QStringLiteral("0.0.0.0"));
    QCOMPARE(m_info->getDefGW6(), QStringLiteral("::"));
    QCOMPARE(m_info->getPriDNS4(), QStringLiteral("10.0.0.53")); // servers stay
    m_carrier = true;
    QTRY_COMPARE_WITH_TIMEOUT(count("ifup -v eth0"), 2, 10000);
    QCOMPARE(count("ifdown -v eth0"), 2);
}

void tst_NetworkManager::configChangedWhileTheLinkIsDownDoesNothing()
{
    m_carrier = false;
    start();
    QTRY_VERIFY_WITH_TIMEOUT(m_codes.contains(151u), 5000);
    emit m_manager->configChanged();
    QTest::qWait(m_timing.pollMs * 5);
    QCOMPARE(journal(), QStringList());
    m_carrier = true;
    QTRY_VERIFY_WITH_TIMEOUT(journal().contains("ifdown -v eth0"), 5000);
}

void tst_NetworkManager::refusedHostnameStopsTheRunAndWritesNothing()
{
    QFile old(m_root->filePath("etc/network/interfaces"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("auto lo\n");
    old.close();
    m_preferences->modify([](PreferenceInfo::Values &v) {
        v.hostname = QStringLiteral("x;reboot");
    });
    start();
    QTRY_COMPARE_WITH_TIMEOUT(m_errors, QList<int>({ -224 }), 5000);
    QTest::qWait(m_timing.pollMs * 5);
    QCOMPARE(journal(), QStringList());
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("auto lo\n"));
    QVERIFY(!QFile::exists(m_root->filePath("etc/sysctl.conf")));
}

void tst_NetworkManager::dhcpOutputFillsTheRecordAndStoresTheLease()
{
    QFile out(m_root->filePath("ifup.out"));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("udhcpc (v1.35.0) started\n"
              "Lease of 10.9.8.7 obtained, lease time 600\n"
              "Subnet mask 255.255.255.0\n"
              "Router1 10.9.8.1\n"
              "Domain lab.example\n"
              "Adding DNS1 10.9.8.53\n"
              "Adding DNS1 10.9.8.53;reboot\n");
    out.close();
    m_info->modify([](NetworkInfo::Fields &f) {
        f.secDNS4 = QStringLiteral("1.2.3.4");
    });
    QNetworkAddressEntry leased;
    leased.setIp(QHostAddress(QStringLiteral("10.9.8.7")));
    leased.setPrefixLength(24);
    m_entries = { leased };
    start();
    QTRY_VERIFY_WITH_TIMEOUT(m_codes.contains(536u), 10000);
    // The poll finds the address; the route listing's end confirms the configuration.
    QTRY_VERIFY_WITH_TIMEOUT(m_codes.contains(688u), 5000);
    QVERIFY(m_codes.indexOf(199u) < m_codes.indexOf(688u));
    QCOMPARE(m_info->getIpAdr4(), QStringLiteral("10.9.8.7"));
    QCOMPARE(m_info->getNetMask4(), QStringLiteral("255.255.255.0"));
    QCOMPARE(m_info->getLanStatus4(), 0);
    QCOMPARE(m_info->getDefGW4(), QStringLiteral("10.9.8.1"));
    QCOMPARE(m_info->getPriDNS4(), QStringLiteral("10.9.8.53"));
    QCOMPARE(m_info->getSecDNS4(), QStringLiteral("0.0.0.0"));
    QCOMPARE(m_info->getPriWINS4(), QStringLiteral("0.0.0.0"));
    QCOMPARE(m_info->getAdrsSrc4(), 1);
    QCOMPARE(m_info->getResolvedDomainName(), QStringLiteral("lab.example"));
    PreferenceInfo stored;
    QVERIFY(stored.load());
    QCOMPARE(stored.getIpAdr4(), QStringLiteral("10.9.8.7"));
    QCOMPARE(stored.getNetMask4(), QStringLiteral("255.255.255.0"));
    QCOMPARE(stored.getDefGW4(), QStringLiteral("10.9.8.1"));
    QCOMPARE(stored.getPriDNS4(), QStringLiteral("10.9.8.53"));
}

void tst_NetworkManager::addressesGiveSourcesAndStatuses_data()
{
    QTest::addColumn<QStringList>("addresses"); // "address/prefix" on eth0
    QTest::addColumn<int>("assign4");
    QTest::addColumn<int>("assign6");
    QTest::addColumn<QList<int>>("before"); // source 6, status 4, status 6
    QTest::addColumn<QList<int>>("after"); // source 4, status 4, source 6, status 6
    QTest::addColumn<int>("gatewayRuns"); // "ip route del ::/0" + "route -A inet6 add"
    const QList<int> fresh { 0, 1, 1 };
    QTest::newRow("leased address")
        << QStringList { "10.9.8.7/24" } << 2 << 0 << fresh << QList<int> { 1, 1, 0, 1 } << 0;
    QTest::newRow("link-local address")
        << QStringList { "169.254.3.4/16" } << 2 << 0 << fresh << QList<int> { 2, 1, 0, 1 } << 0;
    QTest::newRow("static address")
        << QStringList { "10.9.8.7/24" } << 1 << 0 << fresh << QList<int> { 3, 1, 0, 1 } << 0;
    QTest::newRow("no IPv4 in DHCP mode while running")
        << QStringList() << 2 << 0 << QList<int> { 0, 0, 1 } << QList<int> { 0, -1, 0, 1 } << 0;
    QTest::newRow("no IPv4 in DHCP mode while starting")
        << QStringList() << 2 << 0 << fresh << QList<int> { 0, 1, 0, 1 } << 0;
    QTest::newRow("no IPv4 in static mode while running")
        << QStringList() << 1 << 0 << QList<int> { 0, 0, 1 } << QList<int> { 0, -2, 0, 1 } << 0;
    QTest::newRow("two global IPv6 addresses in static mode")
        << QStringList { "2001:db8::7/64", "2001:db8::8/64", "fe80::1/64" } << 0 << 1 << fresh
        << QList<int> { 0, 1, 3, 1 } << 2;
    QTest::newRow("global IPv6 address by autoconfiguration")
        << QStringList { "2001:db8::7/64", "fe80::1/64" } << 0 << 2 << fresh
        << QList<int> { 0, 1, 2, 1 } << 0;
    QTest::newRow("autoconfigured global IPv6 address gone")
        << QStringList { "fe80::1/64" } << 0 << 2 << QList<int> { 2, 1, 0 }
        << QList<int> { 0, 1, 2, -1 } << 0;
}

void tst_NetworkManager::addressesGiveSourcesAndStatuses()
{
    QFETCH(QStringList, addresses);
    QFETCH(int, assign4);
    QFETCH(int, assign6);
    QFETCH(QList<int>, before);
    QFETCH(QList<int>, after);
    QFETCH(int, gatewayRuns);
    m_preferences->modify([&](PreferenceInfo::Values &v) {
        v.adrsAssign4 = assign4;
        v.adrsAssign6 = assign6;
        v.DefGW6 = QStringLiteral("2001:db8::1");
    });
    QList<QNetworkAddressEntry> entries;
    for (const QString &text : addresses) {
        QNetworkAddressEntry entry;
        entry.setIp(QHostAddress(text.section(QLatin1Char('/'), 0, 0)));
        entry.setPrefixLength(text.section(QLatin1Char('/'), 1).toInt());
        entries.append(entry);
    }
    m_info->modify([&](NetworkInfo::Fields &f) {
        f.addressEntries = entries;
        f.globAdrsSrc6 = before.at(0);
        f.lanStatus4 = before.at(1);
        f.lanStatus6 = before.at(2);
    });
    NetworkManager manager(*m_info, *m_preferences, std::make_unique<FakeLink>(&m_carrier));
    manager.update_status_and_source();
    const NetworkInfo::Fields f = m_info->fields();
    QCOMPARE(QList<int>({ f.adrsSrc4, f.lanStatus4, f.globAdrsSrc6, f.lanStatus6 }), after);
    if (gatewayRuns) {
        QTRY_COMPARE_WITH_TIMEOUT(
            count("route -A inet6 add ::/0 gw 2001:db8::1 eth0"), gatewayRuns, 5000);
        QCOMPARE(count("ip route del ::/0"), gatewayRuns);
    }
}

void tst_NetworkManager::toolLinesReachTheRecord_data()
{
    QTest::addColumn<QString>("tool"); // the stand-in's output file
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");
    const QByteArray header4 = "Kernel IP routing table\n"
                               "Destination     Gateway         Genmask         Flags Metric Ref"
                               "    Use Iface\n";
    const QByteArray header6 = "Kernel IPv6 routing table\n"
                               "Destination                                 Next Hop"
                               "                                Flags Metric Ref    Use Iface\n";
    // ifup: whole lines only; the value must be an address.
    QTest::newRow("ifup: router") << "ifup" << QByteArray("Router1 10.9.8.1\n") << "gw4"
                                  << "10.9.8.1";
    QTest::newRow("ifup: router with a trailing blank")
        << "ifup" << QByteArray("Router1 10.9.8.1 \n") << "gw4"
        << "0.0.0.0";
    QTest::newRow("ifup: router with a leading blank")
        << "ifup" << QByteArray(" Router1 10.9.8.1\n") << "gw4"
        << "0.0.0.0";
    QTest::newRow("ifup: second DNS server")
        << "ifup" << QByteArray("Adding DNS2 10.9.8.54\n") << "dns2"
        << "10.9.8.54";
    QTest::newRow("ifup: second WINS server")
        << "ifup" << QByteArray("Adding WINS2 10.9.8.45\n") << "wins2"
        << "10.9.8.45";
    QTest::newRow("ifup: empty host name") << "ifup" << QByteArray("Hostname \n") << "host"
                                           << "";
    QTest::newRow("ifup: static default route")
        << "ifup" << QByteArray("route add default gw 10.9.8.2 eth0\n") << "gw4"
        << "10.9.8.2";
    QTest::newRow("ifup: default route of another interface")
        << "ifup" << QByteArray("route add default gw 10.9.8.2 eth1\n") << "gw4"
        << "0.0.0.0";
    // Route listings: eth0's default route only; a name is looked up.
    QTest::newRow("route: gateway address") << "route4"
                                            << header4
            + "default         10.9.8.1        0.0.0.0         UG    0      0        0 eth0\n"
                                            << "gw4"
                                            << "10.9.8.1";
    QTest::newRow("route: another interface's default route is ignored") << "route4"
                                                                         << header4
            + "default         10.9.8.1        0.0.0.0         UG    0      0        0 eth0\n"
              "default         10.7.7.1        0.0.0.0         UG    0      0        0 eth1\n"
                                                                         << "gw4"
                                                                         << "10.9.8.1";
    QTest::newRow("route: gateway name") << "route4"
                                         << header4
            + "default         localhost       0.0.0.0         UG    0      0        0 eth0\n"
                                         << "gw4"
                                         << "127.0.0.1";
    QTest::newRow("route: network route") << "route4"
                                          << header4
            + "10.9.8.0        0.0.0.0         255.255.255.0   U     0      0        0 eth0\n"
                                          << "gw4"
                                          << "0.0.0.0";
    QTest::newRow("route6: next hop") << "route6"
                                      << header6
            + "::/0                                        fe80::1"
              "                                 UG     1024   0        0 eth0\n"
                                      << "gw6"
                                      << "fe80::1";
    QTest::newRow("route6: another interface") << "route6"
                                               << header6
            + "::/0                                        fe80::1"
              "                                 UG     1024   0        0 eth1\n"
                                               << "gw6"
                                               << "::";
    // zodns6: hexadecimal addresses only; its domain line too.
    QTest::newRow("zodns6: first server") << "zodns6" << QByteArray("DNS1 2001:db8::53\n") << "dns6"
                                          << "2001:db8::53";
    QTest::newRow("zodns6: a name is no server")
        << "zodns6" << QByteArray("DNS1 ns.example\n") << "dns6"
        << "::";
    QTest::newRow("zodns6: domain") << "zodns6" << QByteArray("Domain v6.example\n") << "domain"
                                    << "v6.example";
}

void tst_NetworkManager::toolLinesReachTheRecord()
{
    QFETCH(QString, tool);
    QFETCH(QByteArray, lines);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    QFile out(m_root->filePath(tool + QStringLiteral(".out")));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(lines);
    out.close();
    // An address on eth0 makes the poll list the routes; IPv6 in automatic mode runs zodns6.
    QNetworkAddressEntry own;
    own.setIp(QHostAddress(QStringLiteral("10.9.8.7")));
    own.setPrefixLength(24);
    m_entries = { own };
    m_preferences->modify([](PreferenceInfo::Values &v) {
        v.adrsAssign6 = 2;
    });
    const QMap<QString, std::function<QString()>> fields {
        { "gw4",
            [this] {
                return m_info->getDefGW4();
            } },
        { "dns2",
            [this] {
                return m_info->getSecDNS4();
            } },
        { "wins2",
            [this] {
                return m_info->getSecWINS4();
            } },
        { "host",
            [this] {
                return m_info->getResolvedDdnsHostname();
            } },
        { "gw6",
            [this] {
                return m_info->getDefGW6();
            } },
        { "dns6",
            [this] {
                return m_info->getPriDNS6();
            } },
        { "domain",
            [this] {
                return m_info->getResolvedDomainName();
            } },
    };
    start();
    // The run's end, the two route listings' ends and zodns6's lines have all been handled.
    QTRY_VERIFY_WITH_TIMEOUT(
        m_codes.contains(536u) && m_codes.contains(688u) && m_codes.contains(633u), 10000);
    if (tool == QLatin1String("zodns6"))
        QTRY_VERIFY_WITH_TIMEOUT(m_codes.contains(746u), 5000);
    QCOMPARE(fields.value(field)(), expected);
}

void tst_NetworkManager::duplicateAddressLinesDeleteTheAddressOnce()
{
    QFile out(m_root->filePath("kernel.out"));
    QVERIFY(out.open(QIODevice::WriteOnly));
    // The board's form, the current kernel's form, another interface, a line already handled.
    out.write("[   12.500000] IPv6: eth0: duplicate address fe80::1 detected!\n"
              "[   13.250000] IPv6: eth1: IPv6 duplicate address fe80::3 used by "
              "02:00:00:00:00:09 detected!\n"
              "[   14.000100] IPv6: eth0: IPv6 duplicate address 2001:db8::7 used by "
              "02:00:00:00:00:09 detected!\n"
              "[   14.000100] IPv6: eth0: IPv6 duplicate address 2001:db8::7 used by "
              "02:00:00:00:00:09 detected!\n"
              "[   14.000200] IPv6: eth0: link becomes ready\n");
    out.close();
    m_preferences->modify([](PreferenceInfo::Values &v) {
        v.Prefix6 = 64;
    });
    start();
    QTRY_VERIFY_WITH_TIMEOUT(m_codes.contains(536u), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(journal().filter(QStringLiteral("ifconfig eth0 del")).size() == 2, 5000);
    // The deletions run detached: their log lines can come in either order.
    QStringList deleted = journal().filter(QStringLiteral("ifconfig eth0 del"));
    deleted.sort();
    QCOMPARE(deleted,
        QStringList({ QStringLiteral("ifconfig eth0 del 2001:db8::7/64"),
            QStringLiteral("ifconfig eth0 del fe80::1/64") }));
    QTRY_COMPARE(m_info->getLanStatus6(), -2);
    QVERIFY(!journal().contains(QStringLiteral("dmesg -c")));
}

void tst_NetworkManager::writeIfUpOutput(const QByteArray &lines)
{
    QFile out(m_root->filePath("ifup.out"));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(lines);
}

std::shared_ptr<ArpLan> tst_NetworkManager::installArpLan()
{
    auto lan = std::make_shared<ArpLan>();
    NetworkManager::setArpFactory([lan] {
        return std::make_unique<ArpSocket>(std::make_unique<FakeArpLink>(lan));
    });
    return lan;
}

void tst_NetworkManager::noLeaseTakesAFreeLinkLocalAddress()
{
    writeIfUpOutput("udhcpc (v1.35.0) started\nNo lease, forking to background\n");
    QFile pid(m_root->filePath("var/run/udhcpc.eth0.pid"));
    QVERIFY(pid.open(QIODevice::WriteOnly));
    pid.write("4242\n");
    pid.close();
    // The first candidate the seeded generator draws is taken by another host.
    const auto lan = installArpLan();
    srandom(0x0d0c0b0a); // as the manager seeds it from bytes 2..5 of the MAC
    unsigned char first[4];
    ArpSocket::generateNewLinkLocalCandidate(first);
    lan->taken.append(QByteArray(reinterpret_cast<char *>(first), 4));
    start();
    QTRY_VERIFY_WITH_TIMEOUT(
        !journal().filter(QStringLiteral("route -A inet add default gw 169.254.")).isEmpty(),
        15000);
    QCOMPARE(lan->settings().size(), 1);
    const QByteArray own = lan->settings().at(0).first;
    QCOMPARE(lan->settings().at(0).second, QByteArray::fromHex("ffff0000"));
    const QList<QByteArray> probed = lan->probedAddresses();
    QCOMPARE(probed.first(), lan->taken.first());
    QCOMPARE(probed.count(lan->taken.first()), 1); // the answer ends that probe
    QVERIFY(own != lan->taken.first());
    QCOMPARE(probed.count(own), 3);
    QCOMPARE(m_info->fields().adrsSrc4, 2);
    const QString dotted = QStringLiteral("169.254.%1.%2").arg(quint8(own[2])).arg(quint8(own[3]));
    QVERIFY(journal().contains(QStringLiteral("route -A inet add default gw %1 eth0").arg(dotted)));
    QTRY_VERIFY_WITH_TIMEOUT(journal().contains(QStringLiteral("kill 4242")), 5000);
}

void tst_NetworkManager::staticAddressHeldByAnotherHostIsRemoved()
{
    writeIfUpOutput("ifconfig eth0 10.1.2.3 netmask 255.255.255.0\n");
    const auto lan = installArpLan();
    lan->taken.append(QByteArray::fromHex("0a010203"));
    start();
    QTRY_VERIFY_WITH_TIMEOUT(m_codes.contains(430u), 15000);
    QCOMPARE(lan->settings().size(), 1);
    QCOMPARE(lan->settings().at(0).first, QByteArray(4, '\0'));
    QCOMPARE(m_info->getLanStatus4(), -2);
    QCOMPARE(m_info->fields().adrsSrc4, 3);
    QVERIFY(!QFile::exists(m_root->filePath("etc/resolv.conf")));
}

void tst_NetworkManager::freeStaticAddressGetsTheStoredNameServers()
{
    writeIfUpOutput("ifconfig eth0 10.1.2.3 netmask 255.255.255.0\n");
    m_preferences->modify([](PreferenceInfo::Values &v) {
        v.PriDNS4 = QStringLiteral("10.1.2.53");
        v.SecDNS4 = QStringLiteral("0.0.0.0");
    });
    const auto lan = installArpLan();
    start();
    const auto resolvConf = [this] {
        QFile resolv(m_root->filePath("etc/resolv.conf"));
        return resolv.open(QIODevice::ReadOnly) ? resolv.readAll() : QByteArray();
    };
    // The record's servers are set before the resolver file is appended to.
    QTRY_COMPARE_WITH_TIMEOUT(resolvConf(), QByteArray("nameserver 10.1.2.53\n"), 15000);
    QCOMPARE(m_info->getPriDNS4(), QStringLiteral("10.1.2.53"));
    const QByteArray address = QByteArray::fromHex("0a010203");
    QCOMPARE(lan->probedAddresses(), QList<QByteArray>({ address, address, address }));
    QCOMPARE(lan->settings().size(), 0);
    QVERIFY(!m_codes.contains(430u));
}

void tst_NetworkManager::afterTenConflictsTheNextCandidateWaits()
{
    writeIfUpOutput("No lease, forking to background\n");
    m_timing.linkLocalRetryMs = 1500;
    const auto lan = installArpLan();
    lan->everyAddressTaken = true;
    start();
    // Each candidate is answered at its first probe: ten of them at once, then one a while.
    QTRY_COMPARE_WITH_TIMEOUT(lan->probes().size(), 10, 15000);
    QElapsedTimer wait;
    wait.start();
    QTRY_COMPARE_WITH_TIMEOUT(lan->probes().size(), 11, 5000);
    QVERIFY2(wait.elapsed() >= 1000, "the eleventh candidate waits for the retry interval");
    QCOMPARE(lan->settings().size(), 0);
    QCOMPARE(m_info->fields().adrsSrc4, 0);
}

void tst_NetworkManager::theThreadServesThePollWhileAProbeRuns()
{
    writeIfUpOutput("No lease, forking to background\n");
    m_timing.arpWindowMs = 5000; // the probe would take 15 s
    const auto lan = installArpLan();
    start();
    QTRY_COMPARE_WITH_TIMEOUT(lan->probes().size(), 1, 15000);
    QCOMPARE(m_info->getLanStatus4(), 1);
    // The poll notices the carrier's loss within its period; the probe ends with the link.
    m_carrier = false;
    QTRY_COMPARE_WITH_TIMEOUT(m_info->getLanStatus4(), -3, 3000);
    QCOMPARE(lan->probes().size(), 1);
    QCOMPARE(lan->settings().size(), 0);
}

void tst_NetworkManager::killUdhcpcOnlySignalsOneProcess_data()
{
    QTest::addColumn<QByteArray>("pidFile");
    QTest::addColumn<bool>("killed");
    QTest::newRow("a pid") << QByteArray(" 4242 \n") << true;
    QTest::newRow("minus one would signal every process") << QByteArray("-1\n") << false;
    QTest::newRow("zero would signal the group") << QByteArray("0\n") << false;
    QTest::newRow("not a number") << QByteArray("4242; reboot\n") << false;
    QTest::newRow("missing") << QByteArray() << false;
}

void tst_NetworkManager::killUdhcpcOnlySignalsOneProcess()
{
    QFETCH(QByteArray, pidFile);
    QFETCH(bool, killed);
    if (!pidFile.isEmpty()) {
        QFile file(m_root->filePath("var/run/udhcpc.eth0.pid"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(pidFile);
    }
    NetworkManager manager(*m_info, *m_preferences, std::make_unique<FakeLink>(&m_carrier));
    QCOMPARE(manager.killUdhcpc(), killed);
    if (killed)
        QTRY_COMPARE_WITH_TIMEOUT(journal(), QStringList({ "kill 4242" }), 5000);
}

void tst_NetworkManager::installNameServices()
{
    QDir dir(m_root->path());
    QVERIFY(dir.mkpath("usr/sbin"));
    const char *const log =
        "#!/bin/sh\n"
        "echo \"$(date +%s.%N) $(basename \"$0\") $*\" >> \"$BOARD_ROOT/var/log/tools.log\"\n";
    const struct
    {
        const char *path;
        const char *body;
    } standIns[] = {
        { "usr/sbin/avahi-daemon",
            "echo $$ >> \"$BOARD_ROOT/var/run/pids\"\n"
            "host=$(sed -n 's/^host-name=//p' \"$BOARD_ROOT/etc/avahi/avahi-daemon.conf\")\n"
            "[ -f \"$BOARD_ROOT/collide\" ] && host=$host-2\n"
            "echo \"Server startup complete. Host name is $host.local. Local service cookie is "
            "7.\" >&2\n"
            "exec sleep 30\n" },
        { "usr/bin/avahi-publish",
            "echo $$ >> \"$BOARD_ROOT/var/run/pids\"\n"
            "[ \"$3\" = _lxi._tcp ] && echo \"Name collision, picking new name '$2 #2'\" >&2 "
            "&& echo \"Established under name '$2 #2'\" >&2\n"
            "exec sleep 30\n" },
        { "usr/bin/zonbns",
            "[ \"$1\" = -kill:1 ] && kill \"$(cat \"$BOARD_ROOT/var/run/zonbns.pid\")\" && exit 0\n"
            "echo $$ >> \"$BOARD_ROOT/var/run/pids\"\n"
            "echo $$ > \"$BOARD_ROOT/var/run/zonbns.pid\"\n"
            "echo 'FOO has been advertized'\n"
            "exec sleep 30\n" },
        { "usr/bin/zontpdate", "exit 0\n" },
    };
    for (const auto &standIn : standIns) {
        QFile script(dir.filePath(standIn.path));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QByteArray(log) + standIn.body);
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QFile conf(dir.filePath("usr/bin/avahi-daemon.conf.template"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("[server]\nhost-name=%1\n");
    m_preferences->modify([](PreferenceInfo::Values &v) {
        v.description = QStringLiteral("VL-300 SN0042");
        v.scpiRawPort = 5025;
        v.telnetPort = 5024;
        v.hislipPort = 4880;
        v.ntpServerHostname = QStringLiteral("ntp.lab.test");
    });
}

bool tst_NetworkManager::anyNameServiceRunning() const
{
    QFile file(m_root->filePath("var/run/pids"));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &pid : file.readAll().split('\n')) {
        if (!pid.isEmpty() && QFileInfo::exists("/proc/" + QString::fromLatin1(pid)))
            return true;
    }
    return false;
}

void tst_NetworkManager::daemonNamePublishesTheSixServicesInOrder()
{
    installNameServices();
    m_preferences->modify([](PreferenceInfo::Values &v) {
        v.mdnsEnabled = true;
    });
    start();
    const auto publications = [this] {
        static const QRegularExpression publication(
            "^avahi-publish -s .* (_[-a-z0-9]+\\._tcp [0-9]+) ");
        QStringList types;
        for (const QString &entry : journal()) {
            const QRegularExpressionMatch match = publication.match(entry);
            if (match.hasMatch())
                types.append(match.captured(1));
        }
        return types;
    };
    QTRY_COMPARE_WITH_TIMEOUT(publications().size(), 6, 10000);
    // HTTP, a pause, LXI, a pause, then the other four at once (their logs may interleave).
    const QStringList order = publications();
    QCOMPARE(order.mid(0, 2), QStringList({ "_http._tcp 80", "_lxi._tcp 80" }));
    QStringList rest = order.mid(2);
    rest.sort();
    QCOMPARE(rest,
        QStringList({ "_hislip._tcp 4880",
            "_scpi-raw._tcp 5025",
            "_scpi-telnet._tcp 5024",
            "_vxi-11._tcp 111" }));
    const QList<double> times = journalTimes();
    const QStringList entries = journal();
    const auto timeOf = [&](const char *type) {
        for (int i = 0; i < entries.size(); ++i) {
            if (entries.at(i).contains(QLatin1String(type)))
                return times.at(i);
        }
        return 0.0;
    };
    QVERIFY2(timeOf("_lxi._tcp") - timeOf("_http._tcp") >= 0.4, "LXI follows HTTP after 500 ms");
    QVERIFY2(timeOf("_vxi-11._tcp") - timeOf("_lxi._tcp") >= 0.4, "the rest follow after 500 ms");
    QVERIFY(journal().contains("avahi-publish -s VL-300 SN0042 _http._tcp 80 txtvers=1 path=/"));
    QCOMPARE(m_info->getResolvedMdnsHostname(), QStringLiteral("VEK3R-00042.local."));
    QFile cache(m_root->filePath("etc/instr/avahi-hostname-cache"));
    QVERIFY(cache.open(QIODevice::ReadOnly));
    QCOMPARE(cache.readAll(), QByteArray("VEK3R-00042"));
    // The LXI publisher's collision names the service; the last name line wins.
    QTRY_COMPARE_WITH_TIMEOUT(
        m_info->getResolvedMdnsServiceName(), QStringLiteral("VL-300 SN0042 #2"), 5000);
    QFile service(m_root->filePath("etc/instr/avahi-service-cache"));
    QVERIFY(service.open(QIODevice::ReadOnly));
    QCOMPARE(service.readAll(), QByteArray("VL-300 SN0042 #2"));
    QCOMPARE(m_errors, QList<int>());
}

void tst_NetworkManager::collidedHostnameIsCachedAndWithdrawalEndsEverything()
{
    installNameServices();
    m_preferences->modify([](PreferenceInfo::Values &v) {
        v.mdnsEnabled = true;
        v.nbnsEnabled = true;
    });
    QFile(m_root->filePath("collide")).open(QIODevice::WriteOnly);
    start();
    QTRY_COMPARE_WITH_TIMEOUT(
        m_info->getResolvedMdnsHostname(), QStringLiteral("VEK3R-00042-2.local."), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(journal().filter("avahi-publish ").size(), 6, 5000);
    QVERIFY(QFileInfo::exists(m_root->filePath("etc/avahi/avahi-daemon.conf")));

    emit m_manager->operatedService(0);
    QTRY_VERIFY_WITH_TIMEOUT(!anyNameServiceRunning(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(m_root->filePath("etc/avahi")), 5000);
    QVERIFY(journal().contains("zonbns -kill:1"));

    // The name the daemon took is the one it is started with next time.
    QFile::remove(m_root->filePath("collide"));
    emit m_manager->operatedService(1);
    QTRY_COMPARE_WITH_TIMEOUT(
        journal().filter(QRegularExpression("^avahi-daemon")).size(), 2, 5000);
    QFile conf(m_root->filePath("etc/avahi/avahi-daemon.conf"));
    QVERIFY(conf.open(QIODevice::ReadOnly));
    QCOMPARE(conf.readAll(), QByteArray("[server]\nhost-name=VEK3R-00042-2\n"));
    QTRY_COMPARE_WITH_TIMEOUT(journal().filter("zonbns -hostname:").size(), 2, 5000);
}

void tst_NetworkManager::servicesOffStartNeitherDaemonNorNetbios()
{
    installNameServices();
    m_timing.ntpDelayMs = 50;
    m_preferences->modify([](PreferenceInfo::Values &v) {
        v.mdnsEnabled = false;
        v.nbnsEnabled = false;
        v.autoClockAdjEnabled = false;
    });
    start();
    QTRY_VERIFY_WITH_TIMEOUT(m_codes.contains(536u), 10000);
    QTest::qWait(300);
    emit m_manager->operatedService(1);
    QTest::qWait(300);
    QCOMPARE(
        journal().filter(QRegularExpression("^(avahi|zonbns|zontpdate)")).join('|'), QString());
}

void tst_NetworkManager::refusedMdnsHostnameIsReportedAndStartsNoDaemon()
{
    installNameServices();
    m_preferences->modify([](PreferenceInfo::Values &v) {
        v.mdnsEnabled = true;
        v.adrsAssign4 = 0; // the interfaces file takes no host name then
        v.hostname = QStringLiteral("VEK_3R");
    });
    start();
    QTRY_VERIFY_WITH_TIMEOUT(m_errors.contains(-224), 10000);
    QTest::qWait(200);
    QCOMPARE(journal().filter("avahi-"), QStringList());
    QVERIFY(!QFileInfo::exists(m_root->filePath("etc/avahi/avahi-daemon.conf")));
}

void tst_NetworkManager::netbiosNameIsLearnedAndTheClockProgramFollowsIfup()
{
    installNameServices();
    m_timing.ntpDelayMs = 600;
    m_preferences->modify([](PreferenceInfo::Values &v) {
        v.mdnsEnabled = false;
        v.nbnsEnabled = true;
        v.autoClockAdjEnabled = true;
    });
    start();
    QTRY_VERIFY_WITH_TIMEOUT(m_codes.contains(1265u), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(m_info->getResolvedNbnsName(), QStringLiteral("FOO"), 2000);
    // Static or DHCP without option 44: the WINS servers are unknown and not passed.
    QVERIFY(journal().contains("zonbns -hostname:VEK3R-00042"));
    const QString ntp = QStringLiteral("zontpdate -server:ntp.lab.test -hwclock:1 -thresh:0.1");
    QTRY_VERIFY_WITH_TIMEOUT(journal().contains(ntp), 5000);
    const QStringList entries = journal();
    const QList<double> times = journalTimes();
    const double ifup = times.at(entries.indexOf("ifup -v eth0"));
    QVERIFY2(times.at(entries.indexOf(ntp)) - ifup >= 0.55, "the clock program waits its delay");
    QCOMPARE(entries.count(ntp), 1);
}

QTEST_GUILESS_MAIN(tst_NetworkManager)
#include "tst_NetworkManager.moc"
