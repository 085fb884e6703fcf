#include "network/NetworkInfo.h"

#include <QHostAddress>
#include <QtTest>

#include <atomic>
#include <thread>

namespace {

QNetworkAddressEntry entry(const QString &address, int prefix)
{
    QNetworkAddressEntry e;
    e.setIp(QHostAddress(address));
    e.setPrefixLength(prefix);
    return e;
}

} // namespace

class tst_NetworkInfo : public QObject
{
    Q_OBJECT

private slots:
    void freshRecordReadsNoAddressAndLinkDown();
    void addressSelection_data();
    void addressSelection();
    void lanIndicator_data();
    void lanIndicator();
    void readersSeeWholeValuesWhileTheWriterChanges();
};

void tst_NetworkInfo::freshRecordReadsNoAddressAndLinkDown()
{
    NetworkInfo info;
    QCOMPARE(zostd::getInterface_INetworkInfo(), &info);
    QCOMPARE(info.getIpAdr4(), QStringLiteral("0.0.0.0"));
    QCOMPARE(info.getNetMask4(), QStringLiteral("0.0.0.0"));
    QCOMPARE(info.getLinkLocalIpAdr6(), QStringLiteral("::"));
    QCOMPARE(info.getGlobalIpAdr6(), QStringLiteral("::"));
    QCOMPARE(info.getLinkLocalPrefix6(), quint16(0));
    QCOMPARE(info.getGlobalPrefix6(), quint16(0));
    QCOMPARE(info.getDefGW4(), QStringLiteral("0.0.0.0"));
    QCOMPARE(info.getDefGW6(), QStringLiteral("::"));
    QCOMPARE(info.getPriDNS6(), QStringLiteral("::"));
    QCOMPARE(info.getLanStatus4(), -3);
    QCOMPARE(info.getLanStatus6(), -3);
    QCOMPARE(info.getAdrsSrc4(), 0);
    QVERIFY(info.getResolvedDomainName().isEmpty());
}

void tst_NetworkInfo::addressSelection_data()
{
    QTest::addColumn<QStringList>("entries"); // "address/prefix", in the interface's order
    QTest::addColumn<QString>("ip4");
    QTest::addColumn<QString>("mask4");
    QTest::addColumn<QString>("linkLocal6");
    QTest::addColumn<int>("linkLocalPrefix");
    QTest::addColumn<QString>("global6");
    QTest::addColumn<int>("globalPrefix");

    QTest::newRow("first of two IPv4 entries")
        << QStringList { "fe80::1/64", "10.0.0.5/24", "192.168.7.9/16" } << "10.0.0.5"
        << "255.255.255.0"
        << "fe80::1" << 64 << "::" << 0;
    QTest::newRow("loopback and link-local are not global")
        << QStringList { "::1/128", "fe80::2/64", "::ffff:10.0.0.1/96" } << "0.0.0.0"
        << "0.0.0.0"
        << "fe80::2" << 64 << "::" << 0;
    QTest::newRow("febf:: counts as global, fe80 only is link-local")
        << QStringList { "febf::1/48", "2001:db8::5/64", "fe80::9/64" } << "0.0.0.0"
        << "0.0.0.0"
        << "fe80::9" << 64 << "febf::1" << 48;
    QTest::newRow("scope suffix dropped from the link-local address")
        << QStringList { "fe80::abcd%eth0/64", "2001:db8::1/56" } << "0.0.0.0"
        << "0.0.0.0"
        << "fe80::abcd" << 64 << "2001:db8::1" << 56;
}

void tst_NetworkInfo::addressSelection()
{
    QFETCH(QStringList, entries);
    NetworkInfo info;
    info.modify([&](NetworkInfo::Fields &f) {
        for (const QString &text : entries) {
            const int slash = text.lastIndexOf('/');
            f.addressEntries.append(entry(text.left(slash), text.mid(slash + 1).toInt()));
        }
    });
    QTEST(info.getIpAdr4(), "ip4");
    QTEST(info.getNetMask4(), "mask4");
    QTEST(info.getLinkLocalIpAdr6(), "linkLocal6");
    QTEST(int(info.getLinkLocalPrefix6()), "linkLocalPrefix");
    QTEST(info.getGlobalIpAdr6(), "global6");
    QTEST(int(info.getGlobalPrefix6()), "globalPrefix");
}

void tst_NetworkInfo::lanIndicator_data()
{
    QTest::addColumn<bool>("ipv4");
    QTest::addColumn<bool>("ipv6");
    QTest::addColumn<int>("status4");
    QTest::addColumn<int>("status6");
    QTest::addColumn<int>("lamp");

    QTest::newRow("v4 only, not yet confirmed") << true << false << 1 << -3 << 0;
    QTest::newRow("v4 only, configured") << true << false << 0 << -3 << 1;
    QTest::newRow("v4 only, address lost") << true << false << -1 << 0 << -1;
    QTest::newRow("v6 only, fault") << false << true << 0 << -2 << -1;
    QTest::newRow("v6 only, configured") << false << true << 1 << 0 << 1;
    QTest::newRow("both, 0 and 1") << true << true << 0 << 1 << 0;
    QTest::newRow("both, 0 and 0") << true << true << 0 << 0 << 1;
    QTest::newRow("both, 0 and -3") << true << true << 0 << -3 << -1;
    QTest::newRow("neither, faults ignored") << false << false << -2 << -1 << 0;
}

void tst_NetworkInfo::lanIndicator()
{
    QFETCH(bool, ipv4);
    QFETCH(bool, ipv6);
    QFETCH(int, status4);
    QFETCH(int, status6);
    QTEST(NetworkInfo::lanIndicator(ipv4, ipv6, status4, status6), "lamp");
}

// Run under the sanitizer build too: a reader must never see a text or list being replaced.
void tst_NetworkInfo::readersSeeWholeValuesWhileTheWriterChanges()
{
    NetworkInfo info;
    std::atomic<bool> stop { false };
    const QStringList addresses { "10.0.0.5", "192.168.100.200" };
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) {
            const QString address = addresses.at(i % 2);
            info.modify([&](NetworkInfo::Fields &f) {
                f.addressEntries = { entry(address, 24), entry("2001:db8::1", 64) };
                f.defGW4 = address;
                f.priDNS4 = address;
                f.resolvedDomainName = QString(i % 50, QLatin1Char('d'));
                f.lanStatus4 = i % 2 ? 0 : 1;
            });
        }
        stop = true;
    });
    int reads = 0;
    bool whole = true;
    while (!stop) {
        const QString ip = info.getIpAdr4();
        const QString gateway = info.getDefGW4();
        const QString domain = info.getResolvedDomainName();
        whole = whole && (ip == "0.0.0.0" || addresses.contains(ip))
            && (gateway == "0.0.0.0" || addresses.contains(gateway))
            && domain.count(QLatin1Char('d')) == domain.size()
            && info.getGlobalIpAdr6() != QString() && info.getLanStatus4() >= -3;
        ++reads;
    }
    writer.join();
    QVERIFY(whole);
    QVERIFY(reads > 0);
}

QTEST_GUILESS_MAIN(tst_NetworkInfo)
#include "tst_NetworkInfo.moc"
