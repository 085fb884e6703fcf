#include "network/NetworkFiles.h"

#include "instrument/PreferenceInfo.h"

#include <QtTest>

// The generated files byte for byte, and the values that may never reach them.
class tst_NetworkFiles : public QObject
{
    Q_OBJECT

private slots:
    void files_data();
    void files();
    void refusedValues_data();
    void refusedValues();
};

namespace {

const QByteArray Loopback = "auto lo\niface lo inet loopback\n\n";
const QByteArray Sysctl6Off = "net.ipv6.conf.all.disable_ipv6 = 1\n"
                              "net.ipv6.conf.default.disable_ipv6 = 1\n"
                              "net.ipv6.conf.eth0.autoconf=0\n\n";

void setLan(PreferenceInfo &p, int assign4, int assign6, bool ddns, const QString &hostname)
{
    p.modify([&](PreferenceInfo::Values &v) {
        v.adrsAssign4 = assign4;
        v.adrsAssign6 = assign6;
        v.ddnsEnabled = ddns;
        v.hostname = hostname;
        v.IpAdr4 = QStringLiteral("192.168.1.20");
        v.NetMask4 = QStringLiteral("255.255.255.0");
        v.DefGW4 = QStringLiteral("192.168.1.1");
    });
}

} // namespace

void tst_NetworkFiles::files_data()
{
    QTest::addColumn<int>("assign4"); // 0 off, 1 static, 2 DHCP
    QTest::addColumn<int>("assign6"); // 0 off, 1 static, 2 autoconfiguration
    QTest::addColumn<bool>("ddns");
    QTest::addColumn<QByteArray>("interfaces");
    QTest::addColumn<QByteArray>("sysctl");

    QTest::newRow("DHCP with dynamic DNS") << 2 << 0 << true
                                           << Loopback
            + "auto eth0\niface eth0 inet dhcp\nudhcpc_opts -t 5 -O 44 -x hostname:VEK3R-00042\n\n"
                                           << Sysctl6Off;
    QTest::newRow("DHCP without dynamic DNS: the line ends at hostname:")
        << 2 << 2 << false
        << Loopback + "auto eth0\niface eth0 inet dhcp\nudhcpc_opts -t 5 -O 44 -x hostname:\n\n"
        << QByteArray("net.ipv6.conf.all.disable_ipv6 = 0\n"
                      "net.ipv6.conf.default.disable_ipv6 = 0\n"
                      "net.ipv6.conf.eth0.autoconf=1\n\n");
    QTest::newRow("static IPv4, static IPv6")
        << 1 << 1 << true
        << Loopback
            + "auto eth0\niface eth0 inet static\n    address 192.168.1.20\n"
              "    netmask 255.255.255.0\n    gateway 192.168.1.1\n\n"
        << QByteArray("net.ipv6.conf.all.disable_ipv6 = 0\n"
                      "net.ipv6.conf.default.disable_ipv6 = 0\n"
                      "net.ipv6.conf.eth0.autoconf=0\n\n");
    QTest::newRow("IPv4 off: loopback only") << 0 << 0 << true << Loopback << Sysctl6Off;
}

void tst_NetworkFiles::files()
{
    QFETCH(int, assign4);
    QFETCH(int, assign6);
    QFETCH(bool, ddns);
    PreferenceInfo p;
    setLan(p, assign4, assign6, ddns, QStringLiteral("VEK3R-00042"));
    QCOMPARE(NetworkFiles::refusal(p), QString());
    QTEST(NetworkFiles::interfaces(p), "interfaces");
    QTEST(NetworkFiles::sysctlConf(p), "sysctl");
}

void tst_NetworkFiles::refusedValues_data()
{
    QTest::addColumn<int>("assign4");
    QTest::addColumn<QString>("hostname");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("refused");

    QTest::newRow("shell character in the host name") << 2 << "x;reboot"
                                                      << "10.0.0.2" << true;
    QTest::newRow("line feed in the host name") << 2 << "x\nup reboot"
                                                << "10.0.0.2" << true;
    QTest::newRow("blank in the host name") << 2 << "x y"
                                            << "10.0.0.2" << true;
    QTest::newRow("carriage return in the host name") << 2 << "x\r"
                                                      << "10.0.0.2" << true;
    QTest::newRow("64 characters") << 2 << QString(64, 'a') << "10.0.0.2" << true;
    QTest::newRow("leading dash") << 2 << "-x"
                                  << "10.0.0.2" << true;
    QTest::newRow("usual host name") << 2 << "VEK3R_A.lab-2"
                                     << "10.0.0.2" << false;
    QTest::newRow("empty host name sends none") << 2 << ""
                                                << "10.0.0.2" << false;
    QTest::newRow("static: line feed in the address") << 1 << "x;reboot"
                                                      << "10.0.0.2\nup x" << true;
    QTest::newRow("static: address out of range") << 1 << "h"
                                                  << "10.0.0.256" << true;
    QTest::newRow("static: command in the address") << 1 << "h"
                                                    << "$(reboot)" << true;
    QTest::newRow("static: host name not written, not checked") << 1 << "x;reboot"
                                                                << "10.0.0.2" << false;
    QTest::newRow("IPv4 off: nothing checked") << 0 << "x;reboot"
                                               << "bad" << false;
}

void tst_NetworkFiles::refusedValues()
{
    QFETCH(int, assign4);
    QFETCH(QString, hostname);
    QFETCH(QString, address);
    QFETCH(bool, refused);
    PreferenceInfo p;
    setLan(p, assign4, 0, true, hostname);
    p.modify([&](PreferenceInfo::Values &v) {
        v.IpAdr4 = address;
    });
    const QString refusal = NetworkFiles::refusal(p);
    QCOMPARE(!refusal.isEmpty(), refused);
    // The message quotes the value without its control characters.
    QVERIFY(!refusal.contains('\n') && !refusal.contains('\r'));
    if (!refused) {
        QVERIFY(!NetworkFiles::interfaces(p).contains('\r'));
        QCOMPARE(NetworkFiles::interfaces(p).count('\n'), assign4 == 0 ? 3 : assign4 == 2 ? 7 : 9);
    }
}

QTEST_GUILESS_MAIN(tst_NetworkFiles)
#include "tst_NetworkFiles.moc"
