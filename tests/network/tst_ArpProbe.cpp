#include "network/ArpProbe.h"

#include "tests/support/FakeArpLink.h"

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

namespace {

const ArpSocket::Address Probed { 169, 254, 7, 9 };
constexpr int WindowMs = 60;

// A link whose packet socket could not be opened.
class ClosedLink : public ArpSocket::Link
{
public:
    QByteArray hardwareAddress() const override { return {}; }
    int descriptor() const override { return -1; }
    bool send(const QByteArray &) override { return false; }
    bool receive(QByteArray *) override { return false; }
    int setAddress(const ArpSocket::Address &, const ArpSocket::Address &) override { return -1; }
};

} // namespace

// The probe on this thread's event loop: a ticking timer shows that the loop stays free.
class tst_ArpProbe : public QObject
{
    Q_OBJECT

private slots:
    void outcome_data();
    void outcome();
    void cancelledProbeSendsAndReportsNothingMore();
};

void tst_ArpProbe::outcome_data()
{
    QTest::addColumn<bool>("taken");
    QTest::addColumn<int>("silentProbes");
    QTest::addColumn<int>("noise");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("probes");
    QTest::newRow("free address: three probes, three windows")
        << false << 0 << 0 << false << false << 3;
    QTest::newRow("taken: the first answer ends it") << true << 0 << 0 << false << true << 1;
    QTest::newRow("answered at the third probe") << true << 2 << 0 << false << true << 3;
    QTest::newRow("answer behind a flood") << true << 1 << 100 << false << true << 2;
    QTest::newRow("flood without an answer") << false << 0 << 100 << false << false << 3;
    QTest::newRow("link not opened counts as free") << false << 0 << 0 << true << false << 3;
}

void tst_ArpProbe::outcome()
{
    QFETCH(bool, taken);
    QFETCH(int, silentProbes);
    QFETCH(int, noise);
    QFETCH(bool, closed);
    QFETCH(bool, answered);
    QFETCH(int, probes);
    auto lan = std::make_shared<ArpLan>();
    if (taken)
        lan->taken.append(ArpLan::bytes(Probed));
    lan->silentProbes = silentProbes;
    // Other hosts' requests, as an arping flood sends them.
    for (int i = 0; i < noise; ++i)
        lan->noise.append(ArpLan::frame(1,
            ArpLan::OtherMac,
            QByteArray::fromHex("0a000001"),
            QByteArray(6, '\0'),
            QByteArray::fromHex("0a000002")));
    std::unique_ptr<ArpSocket::Link> link;
    if (closed)
        link = std::make_unique<ClosedLink>();
    else
        link = std::make_unique<FakeArpLink>(lan);
    ArpProbe probe(std::make_unique<ArpSocket>(std::move(link)), WindowMs);
    QSignalSpy finished(&probe, &ArpProbe::finished);
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
    });
    ticker.start(5);
    QElapsedTimer clock;
    clock.start();
    probe.start(Probed, 3);
    QVERIFY(probe.running());
    QVERIFY(finished.wait(5000));
    const qint64 took = clock.elapsed();
    ticker.stop();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toBool(), answered);
    if (!closed)
        QCOMPARE(lan->probes().size(), probes);
    if (!answered) {
        QVERIFY2(took >= 3 * WindowMs - 5, "every probe has its window");
        QVERIFY2(ticks > 0, "the thread serves its other timers during the probe");
    }
    QVERIFY(!probe.running());
    QVERIFY(!finished.wait(3 * WindowMs));
}

void tst_ArpProbe::cancelledProbeSendsAndReportsNothingMore()
{
    auto lan = std::make_shared<ArpLan>();
    ArpProbe probe(std::make_unique<ArpSocket>(std::make_unique<FakeArpLink>(lan)), WindowMs);
    QSignalSpy finished(&probe, &ArpProbe::finished);
    probe.start(Probed, 3);
    probe.cancel();
    QVERIFY(!finished.wait(4 * WindowMs));
    QCOMPARE(lan->probes().size(), 1);
}

QTEST_GUILESS_MAIN(tst_ArpProbe)
#include "tst_ArpProbe.moc"
