#include "platform/BoardPath.h"
#include "platform/SpiPort.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using platform::BoardPath;
using platform::SpiPort;

namespace {

// A one-connection SEQPACKET peer that answers each datagram with every word plus one,
// or stays silent when told to.
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
        m_thread = std::thread([this] { serve(); });
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
    std::atomic<int> messages { 0 };

private:
    void serve()
    {
        m_conn = ::accept(m_listen, nullptr, nullptr);
        if (m_conn < 0)
            return;
        quint32 buf[256];
        for (;;) {
            const ssize_t n = ::recv(m_conn, buf, sizeof(buf), 0);
            if (n <= 0)
                return;
            ++messages;
            if (silent)
                continue;
            for (ssize_t i = 0; i < n / 4; ++i)
                buf[i] += 1;
            ::send(m_conn, buf, size_t(n), MSG_NOSIGNAL);
        }
    }
    int m_listen = -1;
    int m_conn = -1;
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
