#include "platform/BoardPath.h"
#include "platform/SpiPort.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <linux/spi/spidev.h>
#include <mutex>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using platform::BoardPath;
using platform::SpiPort;

namespace {

// A SEQPACKET peer that answers each datagram with every word plus one, or stays silent when
// told to; a settings datagram (21 bytes) it answers unchanged. It serves one connection after
// another and records every datagram it received.
class WordPeer
{
public:
    explicit WordPeer(const QString &path)
    {
        m_listen = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
        sockaddr_un addr {};
        addr.sun_family = AF_UNIX;
        qstrncpy(addr.sun_path, path.toLocal8Bit().constData(), sizeof(addr.sun_path));
        ::bind(m_listen, reinterpret_cast<sockaddr *>(&addr), sizeof(addr));
        ::listen(m_listen, 1);
        m_thread = std::thread([this] {
            serve();
        });
    }
    ~WordPeer()
    {
        ::shutdown(m_listen, SHUT_RDWR);
        ::close(m_listen);
        if (m_conn >= 0)
            ::shutdown(m_conn, SHUT_RDWR);
        m_thread.join();
        if (m_conn >= 0)
            ::close(m_conn);
    }
    std::atomic<bool> silent { false };
    std::atomic<bool> dropNext { false }; // close the connection instead of the next answer
    std::atomic<int> messages { 0 };

    QList<QByteArray> received() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_received;
    }

private:
    void serve()
    {
        for (;;) {
            const int conn = ::accept(m_listen, nullptr, nullptr);
            if (conn < 0)
                return;
            m_conn = conn;
            serveConnection();
            if (m_conn < 0)
                continue;
            ::close(m_conn);
            m_conn = -1;
        }
    }
    void serveConnection()
    {
        quint32 buf[256];
        for (;;) {
            const ssize_t n = ::recv(m_conn, buf, sizeof(buf), 0);
            if (n <= 0)
                return;
            ++messages;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_received << QByteArray(reinterpret_cast<const char *>(buf), int(n));
            }
            if (dropNext.exchange(false)) {
                ::close(m_conn);
                m_conn = -1;
                return;
            }
            if (silent)
                continue;
            if (n % 4 == 0) {
                for (ssize_t i = 0; i < n / 4; ++i)
                    buf[i] += 1;
            }
            ::send(m_conn, buf, size_t(n), MSG_NOSIGNAL);
        }
    }
    mutable std::mutex m_mutex; // guards m_received
    QList<QByteArray> m_received;
    int m_listen = -1;
    std::atomic<int> m_conn { -1 };
    std::thread m_thread;
};

} // namespace

class tst_SpiPort : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void socketExchange();
    void writeOnlyLeavesNoAnswerBehind();
    void silentPeerTimesOut();
    void settingsReachThePeer();
    void messageGoesOnePerChipSelect();
    void notADevice_data();
    void notADevice();

private:
    QTemporaryDir m_root;
};

void tst_SpiPort::init()
{
    QVERIFY(m_root.isValid());
    BoardPath::setRoot(m_root.path());
    QDir(m_root.path()).mkpath("dev");
    QFile::remove(m_root.path() + "/dev/spidev1.0");
}

void tst_SpiPort::socketExchange()
{
    WordPeer peer(BoardPath::map("/dev/spidev1.0"));
    SpiPort port;
    QCOMPARE(port.open("/dev/spidev1.0"), 0);
    QVector<quint32> rx;
    QCOMPARE(port.transfer({ 0xE0000000u, 4, 0, 0, 0, 0 }, &rx), 0);
    QCOMPARE(rx, QVector<quint32>({ 0xE0000001u, 5, 1, 1, 1, 1 }));
}

void tst_SpiPort::writeOnlyLeavesNoAnswerBehind()
{
    WordPeer peer(BoardPath::map("/dev/spidev1.0"));
    SpiPort port;
    QCOMPARE(port.open("/dev/spidev1.0"), 0);
    QCOMPARE(port.transfer({ 0x60000000u, 1, 0x01000001u }, nullptr), 0);
    QVector<quint32> rx;
    QCOMPARE(port.transfer({ 7, 8 }, &rx), 0);
    QCOMPARE(rx, QVector<quint32>({ 8, 9 }));
}

void tst_SpiPort::silentPeerTimesOut()
{
    WordPeer peer(BoardPath::map("/dev/spidev1.0"));
    SpiPort port;
    port.setSocketTimeout(50);
    QCOMPARE(port.open("/dev/spidev1.0"), 0);
    peer.silent = true;
    QVector<quint32> rx { 42 };
    QCOMPARE(port.transfer({ 1, 2 }, &rx), -ETIMEDOUT);
    QCOMPARE(rx, QVector<quint32>({ 42 }));
}

void tst_SpiPort::settingsReachThePeer()
{
    WordPeer peer(BoardPath::map("/dev/spidev1.0"));
    SpiPort port;
    QCOMPARE(port.open("/dev/spidev1.0"), 0);
    platform::SpiSettings actual;
    QCOMPARE(port.configure({ 0, 32, 24000000 }, &actual), 0);
    QVERIFY(actual == platform::SpiSettings({ 0, 32, 24000000 }));
    QCOMPARE(peer.received().size(), 1);
    const QByteArray settings = peer.received().first();
    QCOMPARE(settings.size(), 21);
    QVERIFY(settings.startsWith("VEKSPICF"));

    // A connection that was dropped is told the settings again before the next words.
    peer.dropNext = true;
    QVERIFY(port.transfer({ 1 }, nullptr) != 0);
    QCOMPARE(port.transfer({ 2 }, nullptr), 0);
    const QList<QByteArray> all = peer.received();
    QCOMPARE(all.size(), 4);
    QCOMPARE(all.at(2), settings);
    QCOMPARE(all.at(3).size(), 4);
}

void tst_SpiPort::messageGoesOnePerChipSelect()
{
    WordPeer peer(BoardPath::map("/dev/spidev1.0"));
    SpiPort port;
    QCOMPARE(port.open("/dev/spidev1.0"), 0);
    quint32 a[2] = { 10, 20 };
    quint32 b[1] = { 30 };
    quint32 c[1] = { 40 };
    quint32 rxA[2] = {};
    quint32 rxC[1] = {};
    spi_ioc_transfer xfers[3];
    std::memset(xfers, 0, sizeof(xfers));
    xfers[0].tx_buf = quintptr(a);
    xfers[0].rx_buf = quintptr(rxA);
    xfers[0].len = sizeof(a);
    xfers[1].tx_buf = quintptr(b);
    xfers[1].len = sizeof(b);
    xfers[1].cs_change = 1; // the chip select drops after the second transfer
    xfers[2].tx_buf = quintptr(c);
    xfers[2].rx_buf = quintptr(rxC);
    xfers[2].len = sizeof(c);
    QCOMPARE(port.message(xfers, 3), 0);

    const QList<QByteArray> got = peer.received();
    QCOMPARE(got.size(), 2);
    QCOMPARE(got.at(0),
        QByteArray(reinterpret_cast<const char *>(a), 8)
            + QByteArray(reinterpret_cast<const char *>(b), 4));
    QCOMPARE(got.at(1), QByteArray(reinterpret_cast<const char *>(c), 4));
    QCOMPARE(rxA[0], 11u);
    QCOMPARE(rxA[1], 21u);
    QCOMPARE(rxC[0], 41u);
}

void tst_SpiPort::notADevice_data()
{
    QTest::addColumn<bool>("createFile");
    QTest::newRow("missing") << false;
    QTest::newRow("regular file") << true;
}

void tst_SpiPort::notADevice()
{
    QFETCH(bool, createFile);
    if (createFile) {
        QFile f(BoardPath::map("/dev/spidev1.0"));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    SpiPort port;
    QVERIFY(port.open("/dev/spidev1.0") < 0);
    QVERIFY(!port.isOpen());
    QVector<quint32> rx;
    QVERIFY(port.transfer({ 1 }, &rx) < 0);
}

QTEST_GUILESS_MAIN(tst_SpiPort)
#include "tst_SpiPort.moc"
