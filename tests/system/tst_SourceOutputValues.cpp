#include "tests/support/PowerBoard.h"
#include "tests/system/HeadlessProgram.h"

#include <QTcpSocket>
#include <QtTest>

#include <memory>

using rawclient::connectClean;
using rawclient::query;

namespace {

constexpr quint16 RawPort = 5025;
constexpr quint32 AlarmAddress = 0x6000000C;
constexpr quint32 AlarmWatchdog = 0x10000000;
constexpr quint32 AlarmClear = 0x20000000;

// The real of an answer line ("+1.50000E+00\n").
double real(const QByteArray &line)
{
    bool ok = false;
    const double v = line.trimmed().toDouble(&ok);
    return ok ? v : qQNaN();
}

} // namespace

// The source, load-switching and protection settings over the raw socket, against the
// simulated board, as a test engineer's program sets and reads them.
class tst_SourceOutputValues : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void messages_data();
    void messages();
    void levelLimitsFollowTheCurrentRange();
    void rangeRefusedWhileTheLoadIsOn();
    void modulationStartsExcludeEachOther();
    void loadTheBoardKeepsOffIsAnError();
    void loadSinksFromTheSource();
    void msyncOnceTheLinkIsThere();
    void silenceTripsTheWatchdog();
    void programStepLevelTakesTheModesUnit();

private:
    // The error queue of the session, oldest first, emptied.
    QStringList errors() { return rawclient::errors(m_client); }

    std::unique_ptr<PowerBoard> m_board;
    std::unique_ptr<HeadlessProgram> m_program;
    QTcpSocket m_client;
};

void tst_SourceOutputValues::init()
{
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    m_program = std::make_unique<HeadlessProgram>();
    QVERIFY2(m_program->start(m_board->root()), qPrintable(m_program->errorString()));
    QCOMPARE(m_program->port(), RawPort);
    QVERIFY(connectClean(m_client, RawPort));
}

void tst_SourceOutputValues::cleanup()
{
    m_client.abort();
    const bool clean = m_program->stop();
    const QString error = m_program->errorString();
    m_program.reset();
    QVERIFY2(m_board->stop(), qPrintable(m_board->errorString()));
    m_board.reset();
    QVERIFY2(clean, qPrintable(error));
}

void tst_SourceOutputValues::messages_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("errors");

    QTest::newRow("function mode")
        << QByteArray("FUNC CR;:FUNC?") << QByteArray("CR\n") << QStringList();
    QTest::newRow("current level")
        << QByteArray("FUNC CC;:CURR 1.5;:CURR?") << QByteArray("+1.50000E+00\n") << QStringList();
    QTest::newRow("triggered level refused, reads the level")
        << QByteArray("CURR 1.5;:CURR:TRIG 1;:CURR:TRIG?") << QByteArray("+1.50000E+00\n")
        << QStringList { "-113,\"Undefined header;CURR:TRIG 1\"" };
    QTest::newRow("duty-cycle limits")
        << QByteArray("CURR:PULS:DCYC? MAX;DCYC? MIN") << QByteArray("+9.50000E+01;+5.00000E+00\n")
        << QStringList();
    QTest::newRow("sine frequency limit")
        << QByteArray("CURR:SINE:FREQ? MAX") << QByteArray("+1.00000E+04\n") << QStringList();
    QTest::newRow("trip action is the trip state")
        << QByteArray("CURR:PROT:ACT TRIP;:CURR:PROT:STAT?") << QByteArray("1\n") << QStringList();
    QTest::newRow("state off is the limit action")
        << QByteArray("CURR:PROT:STAT OFF;:CURR:PROT:ACT?") << QByteArray("LIM\n") << QStringList();
    QTest::newRow("elapsed time in whole seconds")
        << QByteArray("OUTP:CUTO:ETIM 12.6;:OUTP:CUTO:ETIM?") << QByteArray("+1.30000E+01\n")
        << QStringList();
    QTest::newRow("cut-off voltage to the step")
        << QByteArray("OUTP:CUTO:VOLT 2.51234;:OUTP:CUTO:VOLT?;:OUTP:CUTO:VOLT:STAT ON;STAT?")
        << QByteArray("+2.51000E+00;1\n") << QStringList();
    QTest::newRow("cut-off voltage limit")
        << QByteArray("OUTP:CUTO:VOLT? MAX") << QByteArray("+1.50000E+02\n") << QStringList();
    QTest::newRow("cut-off voltage beyond its maximum")
        << QByteArray("OUTP:CUTO:VOLT 100000;:OUTP:CUTO:VOLT?") << QByteArray("+0.00000E+00\n")
        << QStringList { "-222,\"Data out of range;OUTP:CUTO:VOLT 100000\"" };
    QTest::newRow("watchdog delay of 0")
        << QByteArray("OUTP:PROT:WDOG:DEL 0;:OUTP:PROT:WDOG:DEL?") << QByteArray("+6.00000E+01\n")
        << QStringList { "-222,\"Data out of range;OUTP:PROT:WDOG:DEL 0\"" };
    QTest::newRow("watchdog delay while off")
        << QByteArray("OUTP:PROT:WDOG:DEL 10;:OUTP:PROT:WDOG:DEL?;:OUTP:PROT:WDOG?")
        << QByteArray("+1.00000E+01;0\n") << QStringList();
    QTest::newRow("m-sync without a link")
        << QByteArray("OUTP:MSYN ON;:OUTP:MSYN:ACC ON;:OUTP:MSYN:ACC?;:SYST:CONF:MSYN:IND?")
        << QByteArray("0;0\n")
        << QStringList { "+110,\"Mutual-sync is not established;OUTP:MSYN ON\"",
               "+110,\"Mutual-sync is not established;OUTP:MSYN:ACC ON\"" };
    QTest::newRow("power-on state")
        << QByteArray("OUTP:PON:STAT RST;:OUTP:PON:STAT?;:OUTP:PON:STAT AUTO;STAT?")
        << QByteArray("RST;AUTO\n") << QStringList();
    QTest::newRow("external logic")
        << QByteArray("OUTP:EXT:LOG NEG;:OUTP:EXT:LOG?;:INP:EXT:LOG POS;LOG?")
        << QByteArray("NEG;POS\n") << QStringList();
    QTest::newRow("digital2 direction and remote sensing")
        << QByteArray("SYST:CONF:DIGITAL2:DIR OUTP;:SYST:CONF:DIGITAL2:DIR?;"
                      ":SYST:CONF:RSEN ON;:SYST:CONF:RSEN?")
        << QByteArray("OUTP;1\n") << QStringList();
    QTest::newRow("remote sensing refused while the load is on")
        << QByteArray("OUTP ON;:SYST:CONF:RSEN ON;:SYST:CONF:RSEN?;:OUTP OFF") << QByteArray("0\n")
        << QStringList { "+102,\"Setting conflicts while INPut is ON;SYST:CONF:RSEN ON\"" };
    QTest::newRow("protection clear")
        << QByteArray("OUTP:PROT:CLE;:OUTP?") << QByteArray("0\n") << QStringList();
    QTest::newRow("triggered load switch not built") << QByteArray(
        "OUTP:TRIG ON") << QByteArray() << QStringList { "-200,\"Execution error;not available\"" };
}

void tst_SourceOutputValues::messages()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, errors);

    m_client.write(message + '\n');
    if (!answer.isEmpty())
        QCOMPARE(rawclient::readLines(m_client, 1), answer);
    QCOMPARE(this->errors(), errors);
}

void tst_SourceOutputValues::levelLimitsFollowTheCurrentRange()
{
    // Right after the start the limits are the high range's.
    const double currentHigh = real(query(m_client, "CURR? MAX"));
    const double slewHigh = real(query(m_client, "CURR:SLEW? MAX"));
    const double protectionHigh = real(query(m_client, "CURR:PROT? MAX"));
    const QByteArray voltageMax = query(m_client, "VOLT? MAX");
    QVERIFY(currentHigh > 0.0);
    QVERIFY(slewHigh > 0.0);
    QVERIFY(protectionHigh > 0.0);

    QCOMPARE(query(m_client, "CURR:RANG LOW;:CURR:RANG?"), QByteArray("LOW\n"));
    QVERIFY(real(query(m_client, "CURR? MAX")) < currentHigh);
    QVERIFY(real(query(m_client, "CURR:SLEW? MAX")) < slewHigh);
    // The model has one over-current entry for every range.
    QCOMPARE(real(query(m_client, "CURR:PROT? MAX")), protectionHigh);
    QCOMPARE(query(m_client, "CURR:PULS:LEV? MAX"), query(m_client, "CURR? MAX"));
    QCOMPARE(query(m_client, "VOLT? MAX"), voltageMax);

    // The conductance and power ranges are the current range.
    QCOMPARE(query(m_client, "COND:RANG HIGH;:POW:RANG?"), QByteArray("HIGH\n"));
    QCOMPARE(real(query(m_client, "CURR? MAX")), currentHigh);
    QCOMPARE(errors(), QStringList());
}

void tst_SourceOutputValues::rangeRefusedWhileTheLoadIsOn()
{
    QCOMPARE(query(m_client, "OUTP ON;:OUTP?"), QByteArray("1\n"));
    QCOMPARE(query(m_client, "CURR:RANG HIGH;:CURR:RANG LOW;:CURR:RANG?"), QByteArray("HIGH\n"));
    QCOMPARE(errors(),
        (QStringList { "+102,\"Setting conflicts while INPut is ON;CURR:RANG HIGH\"",
            "+102,\"Setting conflicts while INPut is ON;CURR:RANG LOW\"" }));
    QCOMPARE(query(m_client, "OUTP OFF;:OUTP?"), QByteArray("0\n"));
}

void tst_SourceOutputValues::modulationStartsExcludeEachOther()
{
    m_client.write("FUNC CC;:INIT:PULS;:INIT:SINE;:INIT:PULS\n");
    QCOMPARE(errors(),
        (QStringList { "+105,\"Setting conflicts while PULSe is running;INIT:SINE\"",
            "-213,\"Init ignored;INIT:PULS\"" }));
    // Stopped, it starts again.
    m_client.write("ABOR:PULS;:INIT:PULS;:ABOR:PULS\n");
    QCOMPARE(errors(), QStringList());
}

void tst_SourceOutputValues::loadTheBoardKeepsOffIsAnError()
{
    QCOMPARE(m_board->command("loadhold on"), QStringLiteral("OK"));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(query(m_client, "OUTP ON;:OUTP?"), QByteArray("0\n"));
    QVERIFY2(timer.elapsed() < 5000, "the switch waited past its bound");
    QCOMPARE(errors(), QStringList { "-200,\"Execution error;OUTP ON\"" });

    QCOMPARE(m_board->command("loadhold off"), QStringLiteral("OK"));
    QCOMPARE(query(m_client, "OUTP ON;:OUTP?"), QByteArray("1\n"));
    QCOMPARE(errors(), QStringList());
}

void tst_SourceOutputValues::loadSinksFromTheSource()
{
    QVERIFY(m_board->command("source 12 0.1").startsWith("OK"));
    QCOMPARE(query(m_client, "FUNC CC;:CURR 2;:OUTP ON;:OUTP?"), QByteArray("1\n"));
    // "measure": OK <V> <A> <load> ...; the board settles within a few of its cycles.
    const auto volts = [this] {
        const QStringList fields = m_board->command("measure").split(' ');
        return fields.size() >= 4 && fields[0] == "OK" ? fields[1].toDouble() : qQNaN();
    };
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(volts() - 11.8) <= 0.05, 5000);
    QCOMPARE(errors(), QStringList());
}

void tst_SourceOutputValues::msyncOnceTheLinkIsThere()
{
    // Status bit 26: the mutual-sync link is established.
    QVERIFY(m_board->command("status force 4000000").startsWith("OK"));
    QTRY_COMPARE_WITH_TIMEOUT(query(m_client, "SYST:CONF:MSYN:IND?"), QByteArray("1\n"), 5000);
    // Not accepted yet: the switch is refused; accepted, it switches the load with the partner.
    QCOMPARE(query(m_client, "OUTP:MSYN ON;:OUTP?"), QByteArray("0\n"));
    QCOMPARE(errors(), QStringList { "+110,\"Mutual-sync is not established;OUTP:MSYN ON\"" });
    QCOMPARE(query(m_client, "OUTP:MSYN:ACC ON;:OUTP:MSYN:ACC?"), QByteArray("1\n"));
    QCOMPARE(query(m_client, "OUTP:MSYN ON;:OUTP?"), QByteArray("1\n"));
    QCOMPARE(query(m_client, "OUTP:MSYN OFF;:OUTP?"), QByteArray("0\n"));
    QCOMPARE(query(m_client, "OUTP:MSYN:ACC OFF;:OUTP:MSYN:ACC?"), QByteArray("0\n"));
    QCOMPARE(errors(), QStringList());
}

void tst_SourceOutputValues::silenceTripsTheWatchdog()
{
    QCOMPARE(query(m_client, "OUTP:PROT:WDOG:DEL 1;:OUTP:PROT:WDOG ON;:OUTP:PROT:WDOG?"),
        QByteArray("1\n"));
    QVERIFY(m_board->clearLog());
    // No message for the delay: the watchdog alarm goes to the board within a few seconds.
    const auto tripped = [this] {
        for (const PowerBoard::LogEntry &entry : m_board->log()) {
            if (entry.address == AlarmAddress && !entry.words.isEmpty()
                && (entry.words.first() & AlarmWatchdog))
                return true;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(tripped(), 6000);

    // Cleared and switched off, silence trips nothing.
    QCOMPARE(
        query(m_client, "OUTP:PROT:CLE;:OUTP:PROT:WDOG OFF;:OUTP:PROT:WDOG?"), QByteArray("0\n"));
    QVERIFY(m_board->clearLog());
    QTest::qWait(2500);
    QVERIFY(!tripped());
    QCOMPARE(errors(), QStringList());
}

void tst_SourceOutputValues::programStepLevelTakesTheModesUnit()
{
    // The level's unit follows the mode: an accepted parameter reaches the program command,
    // which wants a selected program.
    m_client.write("FUNC CV;:PROG:STEP1:LEV 5V;:FUNC CC;:PROG:STEP1:LEV 5V\n");
    const QStringList queued = errors();
    QCOMPARE(queued.size(), 2);
    QVERIFY2(queued[0].startsWith("+304,"), qPrintable(queued[0]));
    QCOMPARE(queued[1], QStringLiteral("-131,\"Invalid suffix;PROG:STEP1:LEV 5V\""));
}

QTEST_GUILESS_MAIN(tst_SourceOutputValues)
#include "tst_SourceOutputValues.moc"
