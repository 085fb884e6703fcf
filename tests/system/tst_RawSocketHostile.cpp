#include "tests/support/PowerBoard.h"
#include "tests/system/HeadlessProgram.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QtTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using rawclient::connectClean;
using rawclient::connectTo;
using rawclient::query;

namespace {

constexpr quint16 RawPort = 5025;
constexpr int SessionLimit = 32;

// Seconds of flooding; the default keeps the test run short, VEK_FLOOD_SECONDS=30 is the
// long check.
int floodSeconds()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("VEK_FLOOD_SECONDS", &ok);
    return ok && seconds > 0 ? seconds : 6;
}

// A non-blocking connection to the raw port on a plain descriptor, -1 when none could be had.
int openConnection()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(RawPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        && errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether the peer has ended the connection (end of stream or reset).
bool endedByPeer(int fd)
{
    char byte;
    const ssize_t n = ::recv(fd, &byte, 1, MSG_DONTWAIT | MSG_PEEK);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

// Writes as much of the repeated line as the connection takes for seconds; returns the bytes.
qint64 flood(int fd, const QByteArray &line, int seconds, qint64 most = -1)
{
    const QByteArray chunk = line.repeated(64 * 1024 / line.size());
    qint64 sent = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000 && (most < 0 || sent < most)) {
        pollfd p { fd, POLLOUT, 0 };
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const ssize_t n = ::send(fd, chunk.constData(), size_t(chunk.size()), MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN)
            break;
        sent += std::max<ssize_t>(n, 0);
    }
    return sent;
}

} // namespace

// Hostile clients against the whole program: more connections than it serves, floods, clients
// that never read, over-long messages. The program stays up, serves the others in time and
// keeps its memory bounded; no fragment of a refused message runs.
class tst_RawSocketHostile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void connectionsBeyondTheLimitAreRefused();
    void floodDoesNotDelayOtherClients();
    void clientNeverReadingIsHeldBack();
    void overlongMessageNeverRuns_data();
    void overlongMessageNeverRuns();
    void errorAnswerStaysOneBoundedLine_data();
    void errorAnswerStaysOneBoundedLine();
    void commandsNotBuiltChangeNothing();

private:
    bool startProgram(const QStringList &launcher = {});

    std::unique_ptr<PowerBoard> m_board;
    std::unique_ptr<HeadlessProgram> m_program;
    QByteArray m_identity;
};

void tst_RawSocketHostile::init()
{
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    m_program = std::make_unique<HeadlessProgram>();
}

void tst_RawSocketHostile::cleanup()
{
    const bool clean = m_program->stop();
    const QString error = m_program->errorString();
    m_program.reset();
    QVERIFY2(m_board->stop(), qPrintable(m_board->errorString()));
    m_board.reset();
    QVERIFY2(clean, qPrintable(error));
}

bool tst_RawSocketHostile::startProgram(const QStringList &launcher)
{
    if (!m_program->start(m_board->root(), {}, launcher)) {
        qWarning("%s", qPrintable(m_program->errorString()));
        return false;
    }
    QTcpSocket client;
    if (!connectTo(client, RawPort))
        return false;
    m_identity = query(client, "*IDN?");
    return m_identity.count(',') == 3;
}

// 2,000 idle connections against a program limited to 256 descriptors: those beyond the limit
// are closed at once, the program lives and answers on a session it already had and on a new
// one once the idle ones have gone.
void tst_RawSocketHostile::connectionsBeyondTheLimitAreRefused()
{
    if (!QFileInfo::exists(QStringLiteral("/usr/bin/prlimit")))
        QSKIP("prlimit (util-linux) is not installed");
    QVERIFY(startProgram({ QStringLiteral("/usr/bin/prlimit"),
        QStringLiteral("--nofile=256"),
        QStringLiteral("--") }));
    const int attempts = 2000;
    rlimit limit {};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < rlim_t(attempts + 100)) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, attempts + 100);
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_cur < rlim_t(attempts + 100))
        QSKIP("the test cannot open 2,000 descriptors");

    QTcpSocket early;
    QVERIFY(connectClean(early, RawPort));
    // In batches, so that the listen backlog never overflows into the clients' SYN retries.
    // Every connection is either served (and idle) or has been closed by the program.
    std::vector<int> idle;
    const auto ended = [&idle] {
        int count = 0;
        for (const int fd : idle)
            count += endedByPeer(fd) ? 1 : 0;
        return count;
    };
    while (int(idle.size()) < attempts) {
        for (int i = 0; i < 100; ++i) {
            const int fd = openConnection();
            QVERIFY(fd >= 0);
            idle.push_back(fd);
        }
        QTRY_VERIFY2_WITH_TIMEOUT(ended() >= int(idle.size()) - SessionLimit + 1,
            qPrintable(QStringLiteral("%1 of %2 ended").arg(ended()).arg(idle.size())),
            10000);
    }
    QCOMPARE(query(early, "*IDN?"), m_identity);

    for (const int fd : idle)
        ::close(fd);
    QTcpSocket late;
    QTRY_VERIFY_WITH_TIMEOUT(connectTo(late, RawPort) && query(late, "*IDN?") == m_identity, 10000);
    QCOMPARE(query(early, "SYST:ERR:COUN?"), QByteArray("+0\n"));
}

// One client floods *CLS lines without reading while another asks *IDN? every 100 ms: every
// query is answered, right. (Answer times and memory are measured by bench/raw_hostile.py.)
void tst_RawSocketHostile::floodDoesNotDelayOtherClients()
{
    QVERIFY(startProgram());
    const int seconds = floodSeconds();
    const int flooder = openConnection();
    QVERIFY(flooder >= 0);
    std::atomic<qint64> flooded { 0 };
    std::thread floodThread([&] {
        flooded = flood(flooder, "*CLS\n", seconds);
    });

    QTcpSocket client;
    QVERIFY(connectTo(client, RawPort));
    QElapsedTimer clock;
    clock.start();
    int queries = 0;
    int failures = 0;
    while (clock.elapsed() < seconds * 1000) {
        failures += query(client, "*IDN?") == m_identity ? 0 : 1;
        ++queries;
        QTest::qWait(100);
    }
    floodThread.join();
    ::close(flooder);
    QCOMPARE(failures, 0);
    QVERIFY(queries > 0 && flooded.load() > 0);
    QCOMPARE(query(client, "SYST:ERR:COUN?"), QByteArray("+0\n"));
}

// A client that sends queries and never reads their answers is held back by its connection
// (TCP pushes back long before 100 MB went out) and other clients are served meanwhile.
void tst_RawSocketHostile::clientNeverReadingIsHeldBack()
{
    QVERIFY(startProgram());
    const int hog = openConnection();
    QVERIFY(hog >= 0);
    const int small = 4096;
    ::setsockopt(hog, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    const qint64 most = 100LL * 1024 * 1024;
    const qint64 sent = flood(hog, "*IDN?\n", 5, most);
    QVERIFY2(sent < most / 10, qPrintable(QString::number(sent)));

    QTcpSocket other;
    QVERIFY(connectTo(other, RawPort));
    QCOMPARE(query(other, "*IDN?"), m_identity);
    ::close(hog);
    QCOMPARE(query(other, "*IDN?"), m_identity);
}

void tst_RawSocketHostile::overlongMessageNeverRuns_data()
{
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("blanks, then further units")
        << ("CURR 2" + QByteArray(4994, ' ') + ";INP ON;CURR 7\n");
    QByteArray data(5000, 'b');
    data.replace(1000, 8, "\nINP ON\n");
    QTest::newRow("block holding a message") << ("CURR #45000" + data + "\n");
}

// The load stays off and its level unchanged, one -363 is queued and the next message runs.
void tst_RawSocketHostile::overlongMessageNeverRuns()
{
    QFETCH(QByteArray, message);

    QVERIFY(startProgram());
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    QCOMPARE(query(client, "INP OFF;CURR 1;INP?"), QByteArray("0\n"));
    const QByteArray level = query(client, "CURR?");
    client.write(message);
    QCOMPARE(query(client, "INP?"), QByteArray("0\n"));
    QCOMPARE(query(client, "CURR?"), level);
    QCOMPARE(query(client, "SYST:ERR?"), QByteArray("-363,\"Input buffer overrun\"\n"));
    QCOMPARE(query(client, "SYST:ERR?"), QByteArray("+0,\"No error\"\n"));
}

void tst_RawSocketHostile::errorAnswerStaysOneBoundedLine_data()
{
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("3006-byte bad parameter") << ("CURR " + QByteArray(3006, 'x'));
    QTest::newRow("line feed inside a block") << QByteArray("CURR #16ab\ncd;*IDN");
}

// SYST:ERR? answers one line: the code, and at most 255 characters in quotes.
void tst_RawSocketHostile::errorAnswerStaysOneBoundedLine()
{
    QFETCH(QByteArray, message);

    QVERIFY(startProgram());
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    client.write(message + '\n');
    const QByteArray answer = query(client, "SYST:ERR?");
    QVERIFY2(answer.startsWith('-'), answer.constData());
    QCOMPARE(answer.count('\n'), 1);
    const int text = answer.indexOf('"');
    QVERIFY(text > 0);
    QVERIFY2(answer.size() - text - 3 <= 255, qPrintable(QString::number(answer.size())));
    QCOMPARE(query(client, "*IDN?"), m_identity);
}

// A command whose work is not built yet, and a recall of a setup never saved, queue an error
// and leave the load as it was.
void tst_RawSocketHostile::commandsNotBuiltChangeNothing()
{
    QVERIFY(startProgram());
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    QCOMPARE(query(client, "CURR 1;INP ON;INP?"), QByteArray("1\n"));
    const QByteArray level = query(client, "CURR?");
    const QByteArray notAvailable("-200,\"Execution error;not available\"\n");
    const QByteArray notSaved("-314,\"Save/recall memory lost;*RCL 17\"\n");
    for (const auto &[command, error] :
        { std::pair { "OUTP:TRIG ON", notAvailable }, std::pair { "*RCL 17", notSaved } }) {
        QCOMPARE(query(client, QByteArray(command) + ";:SYST:ERR?"), error);
        QCOMPARE(query(client, "INP?"), QByteArray("1\n"));
        QCOMPARE(query(client, "CURR?"), level);
    }
    QCOMPARE(query(client, "INP OFF;SYST:ERR?"), QByteArray("+0,\"No error\"\n"));
}

QTEST_GUILESS_MAIN(tst_RawSocketHostile)
#include "tst_RawSocketHostile.moc"
