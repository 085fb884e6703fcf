#include "tests/support/PowerBoard.h"
#include "tests/system/HeadlessProgram.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

using rawclient::connectTo;
using rawclient::query;

namespace {

constexpr quint16 RawPort = 5025;
const QString Python = QStringLiteral("/usr/bin/python3");

// Runs a client script to its end; its output and exit status.
struct Run
{
    QByteArray output;
    int status = -1;
};

Run runClient(const QString &program, const QStringList &arguments, int timeoutMs = 60000)
{
    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(program, arguments);
    Run run;
    if (!client.waitForFinished(timeoutMs)) {
        client.kill();
        client.waitForFinished(5000);
        run.output = "timed out: " + client.readAll();
        return run;
    }
    run.output = client.readAll();
    run.status = client.exitStatus() == QProcess::NormalExit ? client.exitCode() : -1;
    return run;
}

} // namespace

// The headless program serving VXI-11 and the portmapper on their fixed ports, reached as
// clients reach them: the VISA library, the LXI command-line tool, and the project's own RPC
// client for what the libraries do not reach (error paths, framing, the side channels).
class tst_Vxi11 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void visaClientOverTheCoreChannel();
    void lxiToolAnswersPromptly();
    void rpcClient_data();
    void rpcClient();
    void takenPortIsReported();

private:
    std::unique_ptr<PowerBoard> m_board;
    std::unique_ptr<HeadlessProgram> m_program;
    QByteArray m_identity;
};

void tst_Vxi11::init()
{
    m_identity.clear();
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    m_program = std::make_unique<HeadlessProgram>();
    if (QByteArray(QTest::currentTestFunction()) == "takenPortIsReported")
        return; // starts the program itself
    QVERIFY2(m_program->start(m_board->root(), { QStringLiteral("--vxi11") }),
        qPrintable(m_program->errorString()));
    QTcpSocket client;
    QVERIFY(connectTo(client, RawPort));
    m_identity = query(client, "*IDN?");
    QVERIFY(m_identity.count(',') == 3);
}

void tst_Vxi11::cleanup()
{
    const bool clean = m_program->stop() || m_identity.isEmpty();
    const QString error = m_program->errorString();
    m_program.reset();
    m_board.reset();
    QVERIFY2(clean, qPrintable(error));
}

void tst_Vxi11::visaClientOverTheCoreChannel()
{
    if (!QFileInfo(Python).isExecutable())
        QSKIP("Debian's /usr/bin/python3 is not installed");
    const Run run = runClient(Python,
        { QStringLiteral("-I"),
            QStringLiteral(VEK_SOURCE_DIR "/tests/system/visa_vxi11.py"),
            QStringLiteral("127.0.0.1") });
    if (run.status == 3)
        QSKIP(run.output.trimmed().constData());
    QVERIFY2(run.status == 0, run.output.constData());
    QCOMPARE(run.output, m_identity + "0\n" + m_identity);
}

void tst_Vxi11::lxiToolAnswersPromptly()
{
    const QString lxi = QStandardPaths::findExecutable(QStringLiteral("lxi"));
    if (lxi.isEmpty())
        QSKIP("lxi-tools is not installed");
    // The tool finds the core channel through the portmapper over libtirpc, which asks the
    // newer rpcbind versions first: a version it does not get an answer to costs a timeout.
    QElapsedTimer clock;
    clock.start();
    const Run run = runClient(lxi,
        { QStringLiteral("scpi"),
            QStringLiteral("--address"),
            QStringLiteral("127.0.0.1"),
            QStringLiteral("*IDN?") });
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(run.status == 0, run.output.constData());
    QCOMPARE(run.output, m_identity);
    QVERIFY2(elapsed < 3000, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
}

void tst_Vxi11::rpcClient_data()
{
    QTest::addColumn<QString>("name");
    const char *const cases[][2] = {
        { "portmapper over UDP: GETPORT, rpcbind versions, NULL, garbage", "getport_udp" },
        { "portmapper over TCP: GETPORT, other procedures and versions", "getport_tcp" },
        { "links: inst0 only, four at most, freed with their connection", "links" },
        { "device_read: request size, term character, END", "read_sizes" },
        { "device_read without an answer: error 15 before the I/O timeout", "io_timeout" },
        { "a write overtaking a buffered answer queues -410", "overtaken" },
        { "two links keep their own input and answers", "two_clients" },
        { "reads waiting for their answers, on two connections at once", "waiting_reads" },
        { "device lock: refusal, timed wait, release", "lock" },
        { "input limit: 4097 bytes and held input overrun", "overflow" },
        { "device_abort on the abort channel ends a lock wait", "abort" },
        { "service requests on the interrupt channel, gated by readstb", "srq" },
        { "record framing: pieces, batches, fragments, lies", "framing" },
    };
    for (const auto &row : cases)
        QTest::newRow(row[0]) << QString::fromLatin1(row[1]);
}

void tst_Vxi11::rpcClient()
{
    QFETCH(QString, name);
    if (!QFileInfo(Python).isExecutable())
        QSKIP("Debian's /usr/bin/python3 is not installed");
    const Run run = runClient(Python,
        { QStringLiteral("-I"),
            QStringLiteral(VEK_SOURCE_DIR "/tests/system/vxi11_rpc.py"),
            QStringLiteral("127.0.0.1"),
            name });
    QVERIFY2(run.status == 0, run.output.constData());
}

void tst_Vxi11::takenPortIsReported()
{
    // Another program holds the portmapper's UDP port without sharing it.
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::Any, 111, QUdpSocket::DontShareAddress));
    QVERIFY(!m_program->start(m_board->root(), { QStringLiteral("--vxi11") }));
    QVERIFY2(m_program->errorString().contains(QStringLiteral("UDP port 111 cannot be bound")),
        qPrintable(m_program->errorString()));
}

QTEST_GUILESS_MAIN(tst_Vxi11)
#include "tst_Vxi11.moc"
