#include "remote/ZO4882Parser.h"
#include "remote/ZOSystErrCue.h"
#include "remote/ZOTcpService_ScpiTelnet.h"
#include "remote/ZOTelnetInput.h"
#include "tests/remote/support/ErrorEntries.h"
#include "tests/remote/support/FakePreferences.h"
#include "tests/remote/support/ParserTestDictionary.h"
#include "tests/support/ReadUntil.h"

#include <QTcpSocket>
#include <QtTest>

#include <memory>

using zo4882::s_systErrCue;
using zo4882::ZO4882Parser;
using zo4882::ZOTcpService_ScpiTelnet;
using zo4882::ZOTelnetInput;

namespace {

class TelnetPreferences : public FakePreferences
{
public:
    QString getTelnetWelcomeMessage() const override
    {
        return QStringLiteral("Welcome to SCPI Telnet - ZO TEST");
    }
    QString getTelnetPrompt() const override { return QStringLiteral("SCPI>"); }
};

const QByteArray Greeting = "Welcome to SCPI Telnet - ZO TEST\r\nSCPI>";
const QByteArray Prompt = "\rSCPI>";
const QByteArray Identity = "ZO,TEST,0,1.0\n";

// Bytes of a literal, NULs included.
template <int N> QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, N - 1);
}

} // namespace

// The telnet console: line editing and telnet commands on their own, then what a client on a
// real connection sees.
class tst_ZOTcpSession_ScpiTelnet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void editing_data();
    void editing();
    void editingInPieces();
    void console_data();
    void console();
    void etxOnAnEmptyLineCloses_data();
    void etxOnAnEmptyLineCloses();
    void overrunQueuesOneErrorAndTheConsoleGoesOn();
    void endlessSubnegotiationIsDropped();
    void linesBeyondTheQueueBoundAllRun_data();
    void linesBeyondTheQueueBoundAllRun();
    void clientNotReadingIsHeldBack();

private:
    bool connectClient(QTcpSocket &client);

    std::unique_ptr<TelnetPreferences> m_preferences;
    std::unique_ptr<ZO4882Parser> m_parser;
    std::unique_ptr<ZOTcpService_ScpiTelnet> m_service;
};

void tst_ZOTcpSession_ScpiTelnet::init()
{
    s_systErrCue.clear();
    parsertest::log().clear();
    m_preferences = std::make_unique<TelnetPreferences>();
    ZOTcpService_ScpiTelnet::s_pPI = m_preferences.get();
    m_parser = std::make_unique<ZO4882Parser>(parsertest::dictionary(), zo4882::NODE_SOURCE);
    m_service =
        std::make_unique<ZOTcpService_ScpiTelnet>(0, m_parser.get(), QHostAddress::LocalHost);
    QCOMPARE(m_service->start(), 0);
}

void tst_ZOTcpSession_ScpiTelnet::cleanup()
{
    m_service.reset();
    m_parser.reset();
    ZOTcpService_ScpiTelnet::s_pPI = nullptr;
    m_preferences.reset();
    QCoreApplication::sendPostedEvents();
    s_systErrCue.clear();
}

bool tst_ZOTcpSession_ScpiTelnet::connectClient(QTcpSocket &client)
{
    client.connectToHost(QHostAddress::LocalHost, m_service->port());
    if (!client.waitForConnected(5000))
        return false;
    return readUntil(client, Greeting) == Greeting;
}

void tst_ZOTcpSession_ScpiTelnet::editing_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("edited");
    QTest::addColumn<QByteArray>("raw"); // left unedited behind the text

    QTest::newRow("plain") << QByteArray("*RST\r\n") << QByteArray("*RST\r\n") << QByteArray();
    QTest::newRow("backspace") << QByteArray("*RSU\bT") << QByteArray("*RST") << QByteArray();
    QTest::newRow("backspace on an empty line")
        << QByteArray("\b\b*RST") << QByteArray("*RST") << QByteArray();
    QTest::newRow("erase character")
        << QByteArray("*RSU\xff\xf7T") << QByteArray("*RST") << QByteArray();
    QTest::newRow("erase line") << QByteArray("junk\xff\xf8*RST") << QByteArray("*RST")
                                << QByteArray();
    QTest::newRow("escaped 0xFF") << QByteArray("a\xff\xff"
                                                "b")
                                  << QByteArray("a\xff"
                                                "b")
                                  << QByteArray();
    QTest::newRow("backspace removes an escaped 0xFF")
        << QByteArray("a\xff\xff\b") << QByteArray("a") << QByteArray();
    QTest::newRow("option negotiation")
        << QByteArray("\xff\xfb\x18\xff\xfd\x01\xff\xfc\x22\xff\xfe\x03*IDN?")
        << QByteArray("*IDN?") << QByteArray();
    QTest::newRow("subnegotiation with an escaped IAC")
        << bytes("\xff\xfa\x18\x00VT\xff\xff\x31\xff\xf0*IDN?") << QByteArray("*IDN?")
        << QByteArray();
    QTest::newRow("other commands") << QByteArray("*I\xff\xf1"
                                                  "DN\xff\xf6?")
                                    << QByteArray("*IDN?") << QByteArray();
    QTest::newRow("interrupt becomes ETX")
        << QByteArray("\xff\xf4") << QByteArray("\x03") << QByteArray();
    QTest::newRow("IAC at the end waits")
        << QByteArray("*RST\xff") << QByteArray("*RST") << QByteArray("\xff");
    QTest::newRow("negotiation without its option waits")
        << QByteArray("*RST\xff\xfd") << QByteArray("*RST") << QByteArray("\xff\xfd");
    QTest::newRow("unfinished subnegotiation waits")
        << bytes("x\xff\xfa\x18\x00VT\xff") << QByteArray("x") << bytes("\xff\xfa\x18\x00VT\xff");
}

void tst_ZOTcpSession_ScpiTelnet::editing()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, edited);
    QFETCH(QByteArray, raw);

    QByteArray buffer = input;
    int editedLength = 0;
    const int held = ZOTelnetInput::edit(
        reinterpret_cast<unsigned char *>(buffer.data()), &editedLength, buffer.size());
    QCOMPARE(buffer.left(editedLength), edited);
    QCOMPARE(buffer.mid(editedLength, held - editedLength), raw);
}

void tst_ZOTcpSession_ScpiTelnet::editingInPieces()
{
    // Byte by byte, as a slow link delivers it: the same text as in one piece, and edited
    // text is never edited twice (an escaped 0xFF stays one data byte).
    const QByteArray input = bytes("\xff\xfb\x18*I\xff\xfa\x18\x00\xff\xf0"
                                   "DX\bN?\xff\xff\xff\xf7\r\n");
    QByteArray buffer(input.size(), '\0');
    int edited = 0;
    int held = 0;
    for (const char byte : input) {
        buffer[held] = byte;
        held = ZOTelnetInput::edit(
            reinterpret_cast<unsigned char *>(buffer.data()), &edited, held + 1);
    }
    QCOMPARE(held, edited);
    QCOMPARE(buffer.left(edited), QByteArray("*IDN?\r\n"));
}

void tst_ZOTcpSession_ScpiTelnet::console_data()
{
    QTest::addColumn<QByteArrayList>("writes");
    QTest::addColumn<QByteArray>("answers");
    QTest::addColumn<QStringList>("executed");

    QTest::newRow("query") << QByteArrayList { "*IDN?\r\n" } << (Identity + Prompt)
                           << QStringList { "*IDN?" };
    QTest::newRow("typo mended with backspace")
        << QByteArrayList { "*RSU\bT\r\n" } << Prompt << QStringList { "*RST" };
    QTest::newRow("typed a key at a time")
        << QByteArrayList { "*", "R", "S", "U", "\b", "T", "\r", "\n" } << Prompt
        << QStringList { "*RST" };
    QTest::newRow("erase line") << QByteArrayList { "SYST:AR\xff\xf8*RST\r\n" } << Prompt
                                << QStringList { "*RST" };
    QTest::newRow("carriage return alone waits for the line feed")
        << QByteArrayList { "*IDN?\r", "\n" } << (Identity + Prompt) << QStringList { "*IDN?" };
    // As a negotiating client opens: terminal type, window size, no local echo by the server.
    QTest::newRow("client opening with option negotiation")
        << QByteArrayList { "\xff\xfb\x18\xff\xfb\x1f\xff\xfd\x01\xff\xfd\x03",
               bytes("\xff\xfa\x1f\x00\x50\x00\x18\xff\xf0*IDN?\r\n") }
        << (Identity + Prompt) << QStringList { "*IDN?" };
    QTest::newRow("negotiation cut between writes")
        << QByteArrayList { "*IDN?\xff", "\xfd", "\x01\r\n" } << (Identity + Prompt)
        << QStringList { "*IDN?" };
    QTest::newRow("two lines in one write")
        << QByteArrayList { "*RST\r\n*IDN?\r\n" } << (Prompt + Identity + Prompt)
        << QStringList { "*RST", "*IDN?" };
}

void tst_ZOTcpSession_ScpiTelnet::console()
{
    QFETCH(QByteArrayList, writes);
    QFETCH(QByteArray, answers);
    QFETCH(QStringList, executed);

    QTcpSocket client;
    QVERIFY(connectClient(client));
    for (const QByteArray &piece : writes) {
        client.write(piece);
        QVERIFY(client.waitForBytesWritten(5000));
        QTest::qWait(20);
    }
    QCOMPARE(readUntil(client, answers), answers);
    QCOMPARE(parsertest::log(), executed);
    QCOMPARE(takeErrorEntries(), QStringList());
}

void tst_ZOTcpSession_ScpiTelnet::etxOnAnEmptyLineCloses_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ETX") << QByteArray("\x03");
    QTest::newRow("client interrupt") << QByteArray("\xff\xf4");
    QTest::newRow("ETX after a line") << QByteArray("*RST\r\n\x03");
    QTest::newRow("ETX after an erased line") << QByteArray("*RS\b\b\b\x03");
}

void tst_ZOTcpSession_ScpiTelnet::etxOnAnEmptyLineCloses()
{
    QFETCH(QByteArray, bytes);
    QTcpSocket client;
    QVERIFY(connectClient(client));
    client.write(bytes);
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), QAbstractSocket::UnconnectedState, 10000);

    // ETX behind other characters is an ordinary byte: the line stays and the console too.
    QTcpSocket other;
    QVERIFY(connectClient(other));
    other.write("*RST\x03\r\n*IDN?\r\n");
    QVERIFY(readUntil(other, Identity + Prompt).endsWith(Identity + Prompt));
    QCOMPARE(other.state(), QAbstractSocket::ConnectedState);
}

void tst_ZOTcpSession_ScpiTelnet::overrunQueuesOneErrorAndTheConsoleGoesOn()
{
    QTcpSocket client;
    QVERIFY(connectClient(client));
    client.write(QByteArray(4096, 'x'));
    QVERIFY(client.waitForBytesWritten(5000));
    QTRY_COMPARE_WITH_TIMEOUT(s_systErrCue.isEmpty(), false, 10000);
    // The rest of the refused line never runs (as a message "ABC" would queue an
    // undefined-header error): the query after it is the next line.
    client.write("ABC\r\n*IDN?\r\n");
    const QByteArray got = readUntil(client, Identity + Prompt);
    QVERIFY2(got.endsWith(Identity + Prompt), got.constData());
    QCOMPARE(takeErrorEntries(), QStringList { "-363 2" });
}

void tst_ZOTcpSession_ScpiTelnet::endlessSubnegotiationIsDropped()
{
    // A subnegotiation that never ends cannot hold the console: it fills the buffer and goes.
    QTcpSocket client;
    QVERIFY(connectClient(client));
    client.write("\xff\xfa\x18" + QByteArray(4093, 'v'));
    QVERIFY(client.waitForBytesWritten(5000));
    QTRY_COMPARE_WITH_TIMEOUT(s_systErrCue.isEmpty(), false, 10000);
    client.write("\r\n*IDN?\r\n");
    QVERIFY(readUntil(client, Identity + Prompt).endsWith(Identity + Prompt));
    QCOMPARE(takeErrorEntries(), QStringList { "-363 2" });
}

void tst_ZOTcpSession_ScpiTelnet::linesBeyondTheQueueBoundAllRun_data()
{
    QTest::addColumn<int>("count");

    // More lines than the session may have queued at once; in the second case they also fill
    // the receive buffer, which holds complete lines then, not an overrun.
    QTest::newRow("inside the buffer") << 300;
    QTest::newRow("beyond the buffer") << 1000;
}

void tst_ZOTcpSession_ScpiTelnet::linesBeyondTheQueueBoundAllRun()
{
    QFETCH(int, count);

    QTcpSocket client;
    QVERIFY(connectClient(client));
    client.write(QByteArray("*IDN?\r\n").repeated(count));
    const QByteArray answers = (Identity + Prompt).repeated(count);
    QCOMPARE(readUntil(client, answers, 30000), answers);
    QCOMPARE(parsertest::log().size(), count);
    QCOMPARE(takeErrorEntries(), QStringList());
}

// A client that sends queries and never reads its answers stops being read: the answers
// waiting for it stay bounded, and it gets them all, in order, once it reads.
void tst_ZOTcpSession_ScpiTelnet::clientNotReadingIsHeldBack()
{
    QTcpSocket client;
    QVERIFY(connectClient(client));
    client.setReadBufferSize(4096);
    const int count = 1000;
    client.write(QByteArray("SYST:BIG? 9999\r\n").repeated(count));
    // 10 MB of answers: far beyond the socket buffers, so the session has stopped before.
    QTest::qWait(1000);
    const int ran = parsertest::log().size();
    QVERIFY2(ran < count / 2, qPrintable(QString::number(ran)));

    client.setReadBufferSize(0);
    const QByteArray answers = ("#49999" + QByteArray(9999, 'x') + '\n' + Prompt).repeated(count);
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < answers.size() && clock.elapsed() < 30000) {
        if (client.bytesAvailable() == 0)
            client.waitForReadyRead(100);
        got += client.readAll();
    }
    QVERIFY(got == answers);
    QCOMPARE(parsertest::log().size(), count);
    QCOMPARE(takeErrorEntries(), QStringList());
}

QTEST_GUILESS_MAIN(tst_ZOTcpSession_ScpiTelnet)
#include "tst_ZOTcpSession_ScpiTelnet.moc"
