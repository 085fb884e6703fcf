#include "tests/support/PowerBoard.h"
#include "tests/system/HeadlessProgram.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

using rawclient::connectClean;
using rawclient::connectTo;
using rawclient::query;
using rawclient::readLines;

namespace {

constexpr quint16 RawPort = 5025; // the preferences' default

// "maker,model,serial,revision" with no field empty.
bool isIdentity(const QByteArray &line)
{
    static const QRegularExpression form(
        QStringLiteral("^[^,\\n]+,[^,\\n]+,[^,\\n]+,[^,\\n]+\\n$"));
    return form.match(QString::fromLatin1(line)).hasMatch();
}

// A level as the instrument answers it.
QByteArray level(double amps)
{
    return QString::asprintf("%+0.5E", amps).toLatin1();
}

} // namespace

// The headless program beside the simulated board, reached over TCP on the instrument's raw
// port as clients reach it: plain sockets and the VISA library's socket resource.
class tst_RawSocket : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void identityOnTheRawPort();
    void visaClientSetsAndReadsTheLevel();
    void loadSwitchFollowsTheBoard();
    void voltageResponseByKeyword();
    void commandNotBuiltAnswersAnError();
    void twentyMessagesInOneWrite();
    void messageSplitOverTwoWritesRunsOnce();
    void overrunQueuesOneErrorAndTheNextMessageWorks();
    void twoClientsGetOnlyTheirOwnAnswers();
    void clientLeavingMidAnswerDisturbsNoOne();
    void pipedClientGetsItsAnswersBeforeTheEnd();

private:
    std::unique_ptr<PowerBoard> m_board;
    std::unique_ptr<HeadlessProgram> m_program;
    QByteArray m_identity;
};

void tst_RawSocket::init()
{
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    m_program = std::make_unique<HeadlessProgram>();
    QVERIFY2(m_program->start(m_board->root()), qPrintable(m_program->errorString()));
    QCOMPARE(m_program->port(), RawPort);
    QTcpSocket client;
    QVERIFY(connectTo(client, RawPort));
    m_identity = query(client, "*IDN?");
}

void tst_RawSocket::cleanup()
{
    const bool clean = m_program->stop();
    const QString error = m_program->errorString();
    m_program.reset();
    QVERIFY2(m_board->stop(), qPrintable(m_board->errorString()));
    m_board.reset();
    QVERIFY2(clean, qPrintable(error));
}

void tst_RawSocket::identityOnTheRawPort()
{
    QVERIFY2(isIdentity(m_identity), m_identity.constData());
    QVERIFY(!m_identity.startsWith(",,,"));
    QTcpSocket client;
    QVERIFY(connectTo(client, RawPort));
    QCOMPARE(query(client, "*idn?"), m_identity);
}

void tst_RawSocket::visaClientSetsAndReadsTheLevel()
{
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo(python).isExecutable())
        QSKIP("Debian's /usr/bin/python3 is not installed");
    const QString script = QStringLiteral(VEK_SOURCE_DIR "/tests/system/visa_raw_socket.py");
    QProcess visa;
    visa.setProcessChannelMode(QProcess::MergedChannels);
    // Isolated: no interpreter settings or user packages from the environment.
    visa.start(python, { QStringLiteral("-I"), script, QStringLiteral("127.0.0.1"), "5025" });
    QVERIFY(visa.waitForFinished(30000));
    const QByteArray output = visa.readAll();
    if (visa.exitCode() == 3)
        QSKIP(output.trimmed().constData());
    QCOMPARE(visa.exitCode(), 0);
    QCOMPARE(output, m_identity + level(2.5) + "\n" + "+0,\"No error\"\n");
}

void tst_RawSocket::loadSwitchFollowsTheBoard()
{
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    // The switch answers once the board has reported the new state.
    QCOMPARE(query(client, "INP ON;INP?"), QByteArray("1\n"));
    QCOMPARE(query(client, "OUTP:STAT OFF;:OUTP?"), QByteArray("0\n"));
    QCOMPARE(query(client, "SYST:ERR:COUN?"), QByteArray("+0\n"));
}

void tst_RawSocket::voltageResponseByKeyword()
{
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    // Any alias sets the keyword; the answer is always its first alias.
    QCOMPARE(query(client, "VOLT:RESP NORMAL;:VOLT:RESP?"), QByteArray("NORM\n"));
    QCOMPARE(query(client, "SOUR:VOLT:RESP fast;RESP?"), QByteArray("FAST\n"));
    QCOMPARE(query(client, "VOLTAGE:RESPONSE NORM;:VOLT:RESP?"), QByteArray("NORM\n"));
    QCOMPARE(query(client, "SYST:ERR:COUN?"), QByteArray("+0\n"));
}

void tst_RawSocket::commandNotBuiltAnswersAnError()
{
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    QCOMPARE(query(client, "OUTP:TRIG ON;:SYST:ERR?"),
        QByteArray("-200,\"Execution error;not available\"\n"));
    QCOMPARE(query(client, "SYST:ERR?"), QByteArray("+0,\"No error\"\n"));
}

void tst_RawSocket::twentyMessagesInOneWrite()
{
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    QByteArray messages;
    QByteArray expected;
    for (int i = 1; i <= 20; ++i) {
        const double amps = 0.1 * i;
        messages += "CURR " + QByteArray::number(amps) + ";CURR?\n";
        expected += level(amps) + '\n';
    }
    client.write(messages);
    QCOMPARE(readLines(client, 20), expected);
    QCOMPARE(query(client, "SYST:ERR?"), QByteArray("+0,\"No error\"\n"));
}

void tst_RawSocket::messageSplitOverTwoWritesRunsOnce()
{
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    client.write("*ES");
    QVERIFY(client.waitForBytesWritten(5000));
    // The other connection's round trip gives the first piece time to arrive alone.
    QTcpSocket other;
    QVERIFY(connectTo(other, RawPort));
    QCOMPARE(query(other, "*IDN?"), m_identity);
    client.write("E 36;*ESE?\n");
    QCOMPARE(readLines(client, 1), QByteArray("+36\n"));
    // A second run would have put another answer before this one.
    QCOMPARE(query(client, "SYST:ERR:COUN?"), QByteArray("+0\n"));
}

void tst_RawSocket::overrunQueuesOneErrorAndTheNextMessageWorks()
{
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    // The refused message ends at its newline; the one after it runs.
    client.write(QByteArray(4096, 'A') + '\n');
    QCOMPARE(query(client, "*IDN?"), m_identity);
    QCOMPARE(query(client, "SYST:ERR?"), QByteArray("-363,\"Input buffer overrun\"\n"));
    QCOMPARE(query(client, "SYST:ERR?"), QByteArray("+0,\"No error\"\n"));
}

void tst_RawSocket::twoClientsGetOnlyTheirOwnAnswers()
{
    QTcpSocket first;
    QTcpSocket second;
    QVERIFY(connectClean(first, RawPort));
    QVERIFY(connectTo(second, RawPort));
    const QByteArray maximum = query(second, "CURR? MAX");
    QVERIFY(maximum.startsWith('+'));
    QVERIFY(maximum != m_identity);

    QByteArray firstExpected;
    QByteArray secondExpected;
    for (int i = 0; i < 200; ++i) {
        first.write("*IDN?\n");
        second.write("CURR? MAX\n");
        firstExpected += m_identity;
        secondExpected += maximum;
    }
    QCOMPARE(readLines(second, 200), secondExpected);
    QCOMPARE(readLines(first, 200), firstExpected);
    QCOMPARE(query(first, "SYST:ERR:COUN?"), QByteArray("+0\n"));
}

void tst_RawSocket::clientLeavingMidAnswerDisturbsNoOne()
{
    QTcpSocket stay;
    QVERIFY(connectClean(stay, RawPort));
    {
        // Far more answers than the socket buffers hold: the client takes a few and leaves.
        QTcpSocket leaver;
        QVERIFY(connectTo(leaver, RawPort));
        QByteArray flood;
        for (int i = 0; i < 20000; ++i)
            flood += "*IDN?\n";
        leaver.write(flood);
        QCOMPARE(readLines(leaver, 10).count('\n'), 10);
        QCOMPARE(query(stay, "*IDN?"), m_identity);
        leaver.abort();
    }
    for (int i = 0; i < 20; ++i)
        QCOMPARE(query(stay, "*IDN?"), m_identity);
    QTcpSocket next;
    QVERIFY(connectTo(next, RawPort));
    QCOMPARE(query(next, "*IDN?"), m_identity);
    QCOMPARE(query(stay, "SYST:ERR:COUN?"), QByteArray("+0\n"));
}

// A pipe into a socket tool: it ends its sending side at the end of input and prints what
// arrives until the instrument ends the connection.
void tst_RawSocket::pipedClientGetsItsAnswersBeforeTheEnd()
{
    const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
    if (socat.isEmpty())
        QSKIP("socat is not installed");
    QProcess client;
    client.start(socat,
        { QStringLiteral("-t10"), QStringLiteral("-"), QStringLiteral("TCP:127.0.0.1:5025") });
    QVERIFY(client.waitForStarted(5000));
    client.write("*IDN?\n*CLS;SYST:ERR:COUN?\n*IDN?\n");
    client.closeWriteChannel();
    QVERIFY(client.waitForFinished(10000));
    QCOMPARE(client.exitCode(), 0);
    QCOMPARE(client.readAllStandardOutput(), m_identity + "+0\n" + m_identity);
}

QTEST_GUILESS_MAIN(tst_RawSocket)
#include "tst_RawSocket.moc"
