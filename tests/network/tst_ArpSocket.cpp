#include "network/ArpSocket.h"

#include <QtTest>

#include <cstdlib>
#include <memory>

namespace {

const QByteArray Mac("\x02\x00\x0a\x0b\x0c\x0d", 6);
const QByteArray OtherMac("\x02\x00\x0a\x0b\x0c\x0e", 6);

// An ARP payload as another host sends it.
QByteArray arpFrame(int operation, const QByteArray &senderMac, ArpSocket::Address senderIp,
    const QByteArray &targetMac, ArpSocket::Address targetIp)
{
    QByteArray p = QByteArray::fromHex("000108000604");
    p += char(0);
    p += char(operation);
    p += senderMac;
    p += QByteArray(reinterpret_cast<const char *>(senderIp.data()), 4);
    p += targetMac;
    p += QByteArray(reinterpret_cast<const char *>(targetIp.data()), 4);
    return p;
}

// eth0 as the test sets it: each probe is answered by the queued frames of its turn.
struct LinkState
{
    QList<QByteArray> sent;
    QList<QList<QByteArray>> replies; // one list per probe; missing lists mean silence
    QList<QByteArray> pending;
};

class FakeArpLink : public ArpSocket::Link
{
public:
    explicit FakeArpLink(std::shared_ptr<LinkState> state)
        : m_state(std::move(state))
    { }
    QByteArray hardwareAddress() const override { return Mac; }
    bool send(const QByteArray &payload) override
    {
        const int turn = m_state->sent.size();
        m_state->sent.append(payload);
        m_state->pending = turn < m_state->replies.size() ? m_state->replies.at(turn)
                                                          : QList<QByteArray>();
        return true;
    }
    QByteArray receive(int) override
    {
        return m_state->pending.isEmpty() ? QByteArray() : m_state->pending.takeFirst();
    }
    int setAddress(const ArpSocket::Address &, const ArpSocket::Address &) override { return 0; }

private:
    std::shared_ptr<LinkState> m_state;
};

const ArpSocket::Address Probed { 169, 254, 7, 9 };

} // namespace

class tst_ArpSocket : public QObject
{
    Q_OBJECT

private slots:
    void probeIsARequestFromZeroAddress();
    void answerNeedsTheAddressAndOurHardwareAddress_data();
    void answerNeedsTheAddressAndOurHardwareAddress();
    void otherTrafficDoesNotHideAnAnswer();
    void silenceTakesEveryTry();
    void candidatesAreLinkLocalAndRepeatWithTheSeed();
};

void tst_ArpSocket::probeIsARequestFromZeroAddress()
{
    const QByteArray p = ArpSocket::probePayload(Mac, Probed.data());
    QCOMPARE(p.size(), 28);
    QCOMPARE(p.toHex(),
        QByteArray("0001080006040001" "02000a0b0c0d" "00000000" "000000000000" "a9fe0709"));
}

void tst_ArpSocket::answerNeedsTheAddressAndOurHardwareAddress_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("answer");
    QTest::newRow("reply to us") << arpFrame(2, OtherMac, Probed, Mac, { 0, 0, 0, 0 }) << true;
    // The operation is not looked at.
    QTest::newRow("request to us") << arpFrame(1, OtherMac, Probed, Mac, Probed) << true;
    QTest::newRow("another address")
        << arpFrame(2, OtherMac, { 169, 254, 7, 10 }, Mac, { 0, 0, 0, 0 }) << false;
    QTest::newRow("to another host") << arpFrame(2, OtherMac, Probed, OtherMac, Probed) << false;
    QTest::newRow("short") << arpFrame(2, OtherMac, Probed, Mac, Probed).left(27) << false;
}

void tst_ArpSocket::answerNeedsTheAddressAndOurHardwareAddress()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, answer);
    QCOMPARE(ArpSocket::isAnswer(frame, Probed.data(), Mac), answer);
}

void tst_ArpSocket::otherTrafficDoesNotHideAnAnswer()
{
    auto state = std::make_shared<LinkState>();
    QList<QByteArray> flood;
    for (int i = 0; i < 50; ++i)
        flood.append(arpFrame(1, OtherMac, { 10, 0, 0, 1 }, QByteArray(6, '\0'), Probed));
    flood.append(arpFrame(2, OtherMac, Probed, Mac, { 0, 0, 0, 0 }));
    state->replies = { {}, flood };
    ArpSocket arp(std::make_unique<FakeArpLink>(state));
    QCOMPARE(arp.sendGratuitousArp(Probed.data(), 3), 1);
    QCOMPARE(state->sent.size(), 2); // stops at the answer
}

void tst_ArpSocket::silenceTakesEveryTry()
{
    auto state = std::make_shared<LinkState>();
    state->replies = { { arpFrame(2, OtherMac, { 169, 254, 7, 10 }, Mac, {}) } };
    ArpSocket arp(std::make_unique<FakeArpLink>(state));
    QCOMPARE(arp.sendGratuitousArp(Probed.data(), 3), 0);
    QCOMPARE(state->sent.size(), 3);
    for (const QByteArray &p : state->sent)
        QCOMPARE(p, ArpSocket::probePayload(Mac, Probed.data()));
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
