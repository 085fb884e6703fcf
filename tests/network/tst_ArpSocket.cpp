#include "network/ArpSocket.h"

#include "tests/support/FakeArpLink.h"

#include <QtTest>

#include <cstdlib>
#include <memory>

namespace {

const ArpSocket::Address Probed { 169, 254, 7, 9 };
const QByteArray ProbedIp = ArpLan::bytes(Probed);
const QByteArray NoIp(4, '\0');

} // namespace

class tst_ArpSocket : public QObject
{
    Q_OBJECT

private slots:
    void probeIsARequestFromZeroAddress();
    void answerNeedsTheAddressAndOurHardwareAddress_data();
    void answerNeedsTheAddressAndOurHardwareAddress();
    void everyWaitingFrameIsTested_data();
    void everyWaitingFrameIsTested();
    void candidatesAreLinkLocalAndRepeatWithTheSeed();
};

void tst_ArpSocket::probeIsARequestFromZeroAddress()
{
    auto lan = std::make_shared<ArpLan>();
    ArpSocket arp(std::make_unique<FakeArpLink>(lan));
    QVERIFY(arp.sendProbe(Probed.data()));
    QCOMPARE(lan->probes().size(), 1);
    QCOMPARE(lan->probes().first().toHex(),
        QByteArray("0001080006040001"
                   "02000a0b0c0d"
                   "00000000"
                   "000000000000"
                   "a9fe0709"));
}

void tst_ArpSocket::answerNeedsTheAddressAndOurHardwareAddress_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("answer");
    const QByteArray other = ArpLan::OtherMac;
    QTest::newRow("reply to us") << ArpLan::frame(2, other, ProbedIp, ArpLan::Mac, NoIp) << true;
    // The operation is not looked at.
    QTest::newRow("request to us")
        << ArpLan::frame(1, other, ProbedIp, ArpLan::Mac, ProbedIp) << true;
    QTest::newRow("another address")
        << ArpLan::frame(2, other, QByteArray::fromHex("a9fe070a"), ArpLan::Mac, NoIp) << false;
    QTest::newRow("to another host") << ArpLan::frame(2, other, ProbedIp, other, ProbedIp) << false;
    QTest::newRow("short") << ArpLan::frame(2, other, ProbedIp, ArpLan::Mac, ProbedIp).left(27)
                           << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void tst_ArpSocket::answerNeedsTheAddressAndOurHardwareAddress()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, answer);
    QCOMPARE(ArpSocket::isAnswer(frame, Probed.data(), ArpLan::Mac), answer);
}

void tst_ArpSocket::everyWaitingFrameIsTested_data()
{
    QTest::addColumn<int>("noise");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<bool>("answered");
    QTest::newRow("answer alone") << 0 << true << true;
    QTest::newRow("answer behind 50 other frames") << 50 << true << true;
    // Past one read's bound the answer waits for the next read, and is found there.
    QTest::newRow("answer behind 100 other frames") << 100 << true << true;
    QTest::newRow("other traffic only") << 50 << false << false;
}

void tst_ArpSocket::everyWaitingFrameIsTested()
{
    QFETCH(int, noise);
    QFETCH(bool, taken);
    QFETCH(bool, answered);
    auto lan = std::make_shared<ArpLan>();
    // Requests of other hosts, a reply for another address, a runt and an empty frame.
    for (int i = 0; i < noise; ++i) {
        const QByteArray sender = QByteArray::fromHex("0a000001");
        switch (i % 4) {
        case 0:
            lan->noise.append(ArpLan::frame(1, ArpLan::OtherMac, sender, ArpLan::Mac, ProbedIp));
            break;
        case 1:
            lan->noise.append(ArpLan::frame(2, ArpLan::OtherMac, sender, ArpLan::Mac, NoIp));
            break;
        case 2:
            lan->noise.append(ProbedIp);
            break;
        default:
            lan->noise.append(QByteArray());
        }
    }
    if (taken)
        lan->taken.append(ProbedIp);
    ArpSocket arp(std::make_unique<FakeArpLink>(lan));
    QVERIFY(arp.descriptor() >= 0);
    arp.sendProbe(Probed.data());
    bool found = false;
    for (int read = 0; read < 3 && !found; ++read)
        found = arp.readAnswer(Probed.data());
    QCOMPARE(found, answered);
}

void tst_ArpSocket::candidatesAreLinkLocalAndRepeatWithTheSeed()
{
    std::srand(0x0a0b0c0d);
    QList<QByteArray> first;
    for (int i = 0; i < 2000; ++i) {
        unsigned char c[4];
        ArpSocket::generateNewLinkLocalCandidate(c);
        QCOMPARE(int(c[0]), 169);
        QCOMPARE(int(c[1]), 254);
        QVERIFY(c[2] >= 1 && c[2] <= 254);
        QVERIFY(c[3] >= 1 && c[3] <= 254);
        if (i < 3)
            first.append(QByteArray(reinterpret_cast<char *>(c), 4));
    }
    std::srand(0x0a0b0c0d);
    for (const QByteArray &expected : first) {
        unsigned char c[4];
        ArpSocket::generateNewLinkLocalCandidate(c);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(c), 4), expected);
    }
}

QTEST_GUILESS_MAIN(tst_ArpSocket)
#include "tst_ArpSocket.moc"
