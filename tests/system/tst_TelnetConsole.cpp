#include "tests/support/PowerBoard.h"
#include "tests/support/ReadUntil.h"
#include "tests/system/HeadlessProgram.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

constexpr quint16 TelnetPort = 5024; // the preferences' default
const QByteArray Prompt = "SCPI>";

} // namespace

// The headless program's telnet console as users reach it: the netkit telnet client, socat,
// a client that opens with option negotiation, and hostile ones.
class tst_TelnetConsole : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void telnetClientSession();
    void socatClientSession();
    void negotiatingClientGetsACleanAnswer();
    void hostileClientsLeaveTheConsoleWorking();

private:
    bool connectClient(QTcpSocket &client);
    QByteArray query(QTcpSocket &client, const QByteArray &line);

    std::unique_ptr<PowerBoard> m_board;
    std::unique_ptr<HeadlessProgram> m_program;
    QByteArray m_greeting;
    QByteArray m_identity;
};

void tst_TelnetConsole::init()
{
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    m_program = std::make_unique<HeadlessProgram>();
    QVERIFY2(m_program->start(m_board->root()), qPrintable(m_program->errorString()));
    QCOMPARE(m_program->telnetPort(), TelnetPort);
    QTcpSocket raw;
    QVERIFY(rawclient::connectTo(raw, m_program->port()));
    m_identity = rawclient::query(raw, "*IDN?");
    // A fresh root has no stored files yet; their -315 entries are not this test's business.
    QCOMPARE(rawclient::query(raw, "*CLS;SYST:ERR:COUN?"), QByteArray("+0\n"));
    // "maker,model,serial,revision": the greeting names model and serial number.
    const QList<QByteArray> fields = m_identity.trimmed().split(',');
    QCOMPARE(fields.size(), 4);
    m_greeting = "Welcome to SCPI Telnet - " + fields[1] + ' ' + fields[2] + "\r\n" + Prompt;
}

void tst_TelnetConsole::cleanup()
{
    const bool clean = m_program->stop();
    const QString error = m_program->errorString();
    m_program.reset();
    QVERIFY2(m_board->stop(), qPrintable(m_board->errorString()));
    m_board.reset();
    QVERIFY2(clean, qPrintable(error));
}

bool tst_TelnetConsole::connectClient(QTcpSocket &client)
{
    client.connectToHost(QHostAddress::LocalHost, TelnetPort);
    if (!client.waitForConnected(5000))
        return false;
    const QByteArray greeting = readUntil(client, Prompt);
    return greeting == m_greeting && query(client, "*CLS") == "\r" + Prompt;
}

QByteArray tst_TelnetConsole::query(QTcpSocket &client, const QByteArray &line)
{
    client.write(line + "\r\n");
    return readUntil(client, "\r" + Prompt);
}

void tst_TelnetConsole::telnetClientSession()
{
    const QString telnet = QStandardPaths::findExecutable(QStringLiteral("telnet"));
    if (telnet.isEmpty())
        QSKIP("the telnet client is not installed");
    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(telnet, { QStringLiteral("127.0.0.1"), QString::number(TelnetPort) });
    QVERIFY(client.waitForStarted(5000));
    // The client shows the greeting's CR LF as a plain line end.
    const QByteArray opening = readUntil(client, Prompt);
    QVERIFY2(opening.endsWith(QByteArray(m_greeting).replace("\r\n", "\n")),
        opening.toPercentEncoding(" \n").constData());
    client.write("*IDN?\n");
    QCOMPARE(readUntil(client, "\r" + Prompt), m_identity + "\r" + Prompt);
    // A typo mended with backspace runs the right command: *RST is found (*RSU would be an
    // undefined header), *CLS empties the queue.
    client.write("*RSU\bT\n");
    QCOMPARE(readUntil(client, "\r" + Prompt), "\r" + Prompt);
    client.write("SYST:ERR?;:OUTP:TRIG ON\n");
    QCOMPARE(readUntil(client, "\r" + Prompt), "+0,\"No error\"\n\r" + Prompt);
    client.write("*CLT\bS;SYST:ERR?\n");
    QCOMPARE(readUntil(client, "\r" + Prompt), "+0,\"No error\"\n\r" + Prompt);
    // ETX on an empty line ends the session; the client reports the closed connection.
    client.write("\x03\n");
    QVERIFY(client.waitForFinished(10000));
    QVERIFY(client.readAll().contains("Connection closed by foreign host"));
}

void tst_TelnetConsole::socatClientSession()
{
    const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
    if (socat.isEmpty())
        QSKIP("socat is not installed");
    QProcess client;
    client.start(socat,
        { QStringLiteral("-t5"),
            QStringLiteral("-"),
            QStringLiteral("TCP:127.0.0.1:%1").arg(TelnetPort) });
    QVERIFY(client.waitForStarted(5000));
    QCOMPARE(readUntil(client, Prompt), m_greeting);
    client.write("*IDN?\r\n");
    QCOMPARE(readUntil(client, "\r" + Prompt), m_identity + "\r" + Prompt);
    // ETX on an empty line: the instrument ends the connection and socat with it.
    client.write("\x03");
    QVERIFY(client.waitForFinished(10000));
    QCOMPARE(client.exitCode(), 0);
}

void tst_TelnetConsole::negotiatingClientGetsACleanAnswer()
{
    // Bytes as a negotiating client opens with: it will send its terminal type and window
    // size, asks the server to echo and to suppress go-ahead, then the window size itself.
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, TelnetPort);
    QVERIFY(client.waitForConnected(5000));
    static const char opening[] = "\xff\xfb\x18\xff\xfb\x1f\xff\xfd\x01\xff\xfd\x03"
                                  "\xff\xfa\x1f\x00\x50\x00\x18\xff\xf0";
    client.write(opening, sizeof opening - 1);
    QCOMPARE(readUntil(client, Prompt), m_greeting);
    QCOMPARE(query(client, "*IDN?"), m_identity + "\r" + Prompt);
    QCOMPARE(query(client, "SYST:ERR?"), "+0,\"No error\"\n\r" + Prompt);
}

void tst_TelnetConsole::hostileClientsLeaveTheConsoleWorking()
{
    QTcpSocket idle;
    QVERIFY(connectClient(idle));
    // Garbage with every byte value (and telnet commands) and no line end; a flood of long
    // lines; a client that leaves in the middle of a line.
    QTcpSocket garbage;
    QVERIFY(connectClient(garbage));
    QByteArray bytes;
    for (int i = 0; i < 20000; ++i)
        bytes += char((i * 7919) % 256 == 3 ? 'x' : (i * 7919) % 256);
    bytes.replace('\n', 'x').replace('\r', 'x');
    garbage.write(bytes);
    QTcpSocket flood;
    QVERIFY(connectClient(flood));
    for (int i = 0; i < 50; ++i)
        flood.write("SYST:ERR?" + QByteArray(3000, ' ') + "\r\n");
    {
        QTcpSocket leaving;
        QVERIFY(connectClient(leaving));
        leaving.write("*IDN");
        leaving.waitForBytesWritten(1000);
        leaving.abort();
    }
    QVERIFY(garbage.waitForBytesWritten(10000));
    QVERIFY(flood.waitForBytesWritten(10000));
    // The console a user keeps open is unaffected.
    QCOMPARE(query(idle, "*IDN?"), m_identity + "\r" + Prompt);
    // The flooding client still gets its answers, in order, after all of the flood's.
    flood.write("*IDN?\r\n");
    const QByteArray last = m_identity + "\r" + Prompt;
    QVERIFY(readUntil(flood, last, 30000).endsWith(last));
}

QTEST_GUILESS_MAIN(tst_TelnetConsole)
#include "tst_TelnetConsole.moc"
