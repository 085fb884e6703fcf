#include "tests/support/PowerBoard.h"
#include "tests/system/HeadlessProgram.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>
#include <QtEndian>
#include <QtTest>

#include <memory>

using rawclient::connectClean;
using rawclient::query;

namespace {

constexpr quint16 RawPort = 5025;
constexpr quint32 ArbTableAddress = 0x30000000;
constexpr quint32 ArbTableEnd = 0x31000000;

QByteArray noError()
{
    return QByteArrayLiteral("+0,\"No error\"\n");
}

// 100 points of rising voltage from 0 V to the top of the range (150 V), rising current, as
// ARB:DATA carries them: voltage in µV, then current in µA, each int32 little-endian.
QByteArray risingTable()
{
    QByteArray block(800, '\0');
    auto *bytes = reinterpret_cast<uchar *>(block.data());
    for (int i = 0; i < 100; ++i) {
        qToLittleEndian<qint32>(qint32(qRound64(i * 150e6 / 99)), bytes + 8 * i);
        qToLittleEndian<qint32>(i * 10000, bytes + 8 * i + 4);
    }
    return block;
}

} // namespace

// Programs, the arbitrary I-V table, the clock and the time zone over the raw socket, against the
// simulated board, as a test engineer's program sets and reads them.
class tst_ProgramArbClock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void programMessages_data();
    void programMessages();
    void slewNeedsCcMode();
    void threeStepProgramRunsOnTheBoard();
    void arbitraryMessages_data();
    void arbitraryMessages();
    void arbitraryBlockRoundTripsAndApplies();
    void clockMessages_data();
    void clockMessages();
    void timeZoneChangesTheBoardsFiles();
    void timeAdjustReportsAnUnreachableServerLater();

private:
    // The error queue of the session, oldest first, emptied.
    QStringList errors();
    void script(const QByteArray &message, const QByteArray &answer, const QStringList &errors);
    // The root's zone database as the host's, or false when the host has none.
    bool linkZoneDatabase();

    std::unique_ptr<PowerBoard> m_board;
    std::unique_ptr<HeadlessProgram> m_program;
    QTcpSocket m_client;
};

void tst_ProgramArbClock::init()
{
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    m_program = std::make_unique<HeadlessProgram>();
    QVERIFY2(m_program->start(m_board->root()), qPrintable(m_program->errorString()));
    QCOMPARE(m_program->port(), RawPort);
    QVERIFY(connectClean(m_client, RawPort));
}

void tst_ProgramArbClock::cleanup()
{
    m_client.abort();
    const bool clean = m_program->stop();
    const QString error = m_program->errorString();
    m_program.reset();
    QVERIFY2(m_board->stop(), qPrintable(m_board->errorString()));
    m_board.reset();
    QVERIFY2(clean, qPrintable(error));
}

QStringList tst_ProgramArbClock::errors()
{
    return rawclient::errors(m_client);
}

void tst_ProgramArbClock::script(
    const QByteArray &message, const QByteArray &answer, const QStringList &expected)
{
    m_client.write(message + '\n');
    if (!answer.isEmpty())
        QCOMPARE(rawclient::readLines(m_client, 1), answer);
    QCOMPARE(errors(), expected);
}

bool tst_ProgramArbClock::linkZoneDatabase()
{
    if (!QFileInfo(QStringLiteral("/usr/share/zoneinfo/Asia/Tokyo")).isFile())
        return false;
    const QString share = m_board->root() + QStringLiteral("/usr/share");
    return QDir().mkpath(share)
        && QFile::link(QStringLiteral("/usr/share/zoneinfo"), share + QStringLiteral("/zoneinfo"));
}

void tst_ProgramArbClock::programMessages_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("errors");

    const QByteArray made = "PROG:CRE \"A\";:PROG:SEL \"A\";:";
    QTest::newRow("no selection")
        << QByteArray("PROG:STEP1:LEV?;:PROG:LOOP?;:PROG:STEPS:COUN?;:PROG:SEL?")
        << QByteArray("+0;+0;\"\"\n")
        << QStringList { "+304,\"PROGram not selected;PROG:STEP1:LEV?\"" };
    QTest::newRow("no programs") << QByteArray("PROG:LIST?") << QByteArray("\"\"\n")
                                 << QStringList();
    QTest::newRow("endless loop") << made
            + "PROG:LOOP INF;:PROG:LOOP?;:PROG:LOOP 3;:PROG:LOOP INFINITY;:PROG:LOOP?"
                                  << QByteArray("INF;INF\n") << QStringList();
    QTest::newRow("loop of 0") << made + "PROG:LOOP 0;:PROG:LOOP 2;:PROG:LOOP?"
                               << QByteArray("+2\n")
                               << QStringList { "-222,\"Data out of range;PROG:LOOP 0\"" };
    QTest::newRow("list and selection") << made + "PROG:SEL \"\";:PROG:CRE \"B\";:PROG:LIST?"
                                        << QByteArray("\"A\",\"B\"\n") << QStringList();
    QTest::newRow("wait lists")
        << made
            + "PROG:STEP1:TRIG:WAIT IMM,BUS;:PROG:STEP1:TRIG:WAIT BUS,TRIGIN;"
              ":PROG:STEP1:TRIG:WAIT TRIGIN,TRIGIN;:PROG:STEP1:TRIG:WAIT TRIGOUT;"
              ":PROG:STEP1:TRIG:WAIT TRIGIN,CUTOFF;:PROG:STEP1:TRIG:WAIT?"
        << QByteArray("TRIGIN,CUTOFF\n")
        << QStringList { "+204,\"IMMediate is invalid in multiple item settings;"
                         "PROG:STEP1:TRIG:WAIT IMM,BUS\"",
               "+205,\"BUS is invalid in multiple item settings;PROG:STEP1:TRIG:WAIT BUS,TRIGIN\"",
               "+202,\"Same items is specified more than once;PROG:STEP1:TRIG:WAIT TRIGIN,TRIGIN\"",
               "-224,\"Illegal parameter value;PROG:STEP1:TRIG:WAIT TRIGOUT\"" };
    QTest::newRow("generate lists")
        << made
            + "PROG:STEP1:TRIG:GEN TRIGIN;:PROG:STEP1:TRIG:GEN TRIGOUT,DIGITAL0;"
              ":PROG:STEP1:TRIG:GEN?;:PROG:STEP1:TRIG:GEN NONE;:PROG:STEP1:TRIG:GEN?"
        << QByteArray("TRIGOUT,DIGITAL0;NONE\n")
        << QStringList { "-224,\"Illegal parameter value;PROG:STEP1:TRIG:GEN TRIGIN\"" };
    QTest::newRow("CV option off")
        << made + "PROG:CVOP:LEV 5" << QByteArray()
        << QStringList { "+107,\"Setting conflicts while CVOPtion is OFF;PROG:CVOP:LEV 5\"" };
    QTest::newRow("each request its own result")
        << made + "PROG:LAST:STAT ON;:PROG:STEP1:DWEL 1;:PROG:STEP1:DWEL -5;:PROG:STEP1:DWEL?"
        << QByteArray("+1.00000E+00\n")
        << QStringList { "-222,\"Data out of range;PROG:STEP1:DWEL -5\"" };
    QTest::newRow("step out of range")
        << made + "PROG:STEP9999:LEV?" << QByteArray()
        << QStringList { "+307,\"STEP number out of range;PROG:STEP9999:LEV?\"" };
    QTest::newRow("keywords") << made
            + "PROG:STEP1:TRAN RAMP;:PROG:STEP1:TRAN?;:PROG:STEP1:TRAN FAST;"
              ":PROG:STEP1:TRAN:STAR 3;:PROG:STEP1:TRAN:STAR?;:PROG:STEP1:EVEN:OC NEXT;"
              ":PROG:STEP1:EVEN:OC?"
                              << QByteArray("RAMP;+0.00000E+00;DEF\n")
                              << QStringList {
                                     "-224,\"Illegal parameter value;PROG:STEP1:TRAN FAST\""
                                 };
    QTest::newRow("chain refused") << QByteArray("PROG:CHA \"A\";:PROG:CHA?") << QByteArray()
                                   << QStringList { "-102,\"Syntax error;PROG:CHA \"\"A\"\"\"",
                                          "-102,\"Syntax error;PROG:CHA?\"" };
    QTest::newRow("idle") << QByteArray("TRIG:TRAN:EXEC?") << QByteArray("IDLE,+0,+0\n")
                          << QStringList();
}

void tst_ProgramArbClock::programMessages()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, errors);
    script(message, answer, errors);
}

void tst_ProgramArbClock::slewNeedsCcMode()
{
    // Programs belong to their mode: the CR mode's own program is selected for the check.
    script("FUNC CR;:PROG:CRE \"R\";:PROG:SEL \"R\";:PROG:STEP2:SLEW 1;:PROG:LAST:SLEW 1",
        QByteArray(),
        { "+106,\"Setting conflicts due to invalid FUNCtion:MODE;PROG:STEP2:SLEW 1\"",
            "+106,\"Setting conflicts due to invalid FUNCtion:MODE;PROG:LAST:SLEW 1\"" });
}

void tst_ProgramArbClock::threeStepProgramRunsOnTheBoard()
{
    script("FUNC CC;:PROG:CRE \"RUN\";:PROG:SEL \"RUN\";:PROG:STEPS:COUN 3;"
           ":PROG:STEP1:LEV 1;:PROG:STEP2:LEV 2;:PROG:STEP3:LEV 0.5;:PROG:STEP1:DWEL 0.3;"
           ":PROG:STEP2:DWEL 0.3;:PROG:STEP3:DWEL 0.3;:PROG:LOOP 2;:PROG:STEPS:COUN?",
        "+3\n",
        {});
    script("INIT:TRAN:PROG", QByteArray(), {});
    // Every step of both loops is seen running, then the run ends.
    QSet<QByteArray> seen;
    QByteArray last;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 30000) {
        last = query(m_client, "TRIG:TRAN:EXEC?").trimmed();
        if (last.startsWith("RUN,"))
            seen.insert(last);
        if (last.startsWith("IDLE") && seen.size() >= 6)
            break;
        QTest::qWait(50);
    }
    QVERIFY2(last.startsWith("IDLE"), last.constData());
    for (const char *state : { "RUN,+1,+1", "RUN,+3,+1", "RUN,+2,+2", "RUN,+3,+2" })
        QVERIFY2(seen.contains(state), state);
    QCOMPARE(errors(), QStringList());
    // Selection and state stay for the next run.
    QCOMPARE(query(m_client, "PROG:SEL?"), QByteArray("\"RUN\"\n"));
}

void tst_ProgramArbClock::arbitraryMessages_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("codes");

    QTest::newRow("count limits") << QByteArray("ARB:COUN 2;:ARB:COUN 101;:ARB:COUN 4;:ARB:COUN?")
                                  << QByteArray("+4\n") << QStringList { "-222", "-222" };
    QTest::newRow("first point fixed")
        << QByteArray("ARB:MAP 1,0,0;:ARB:MAP? 0;:ARB:MAP? 1")
        << QByteArray("+0.00000E+00,+0.00000E+00\n") << QStringList { "+124", "-222" };
    QTest::newRow("list of three points")
        << QByteArray("ARB:CLE;:ARB:MAP 2,2,0.5;:ARB:MAP:LIST?")
        << QByteArray("+0.00000E+00,+0.00000E+00,+2.00000E+00,+5.00000E-01,"
                      "+1.50000E+02,+0.00000E+00\n")
        << QStringList();
    QTest::newRow("too few and too many points") << QByteArray("ARB:DATA #216"
        + QByteArray(16, '\0') + ";:ARB:DATA #3808" + QByteArray(808, '\0')
        + ";:ARB:COUN?") << QByteArray("+3\n") << QStringList { "+125", "+126" };
}

void tst_ProgramArbClock::arbitraryMessages()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, codes);
    m_client.write(message + '\n');
    QCOMPARE(rawclient::readLines(m_client, 1), answer);
    // Block parameters come back in the detail as sent; the numbers tell the refusals apart.
    QStringList queued;
    for (const QString &e : errors())
        queued << e.section(',', 0, 0);
    QCOMPARE(queued, codes);
}

void tst_ProgramArbClock::arbitraryBlockRoundTripsAndApplies()
{
    const QByteArray block = risingTable();
    script("ARB:DATA #3800" + block + ";:ARB:COUN?", "+100\n", {});
    m_client.write("ARB:DATA?\n");
    const QByteArray expected = "#40800" + block + '\n';
    QByteArray answer;
    QElapsedTimer timer;
    timer.start();
    while (answer.size() < expected.size() && timer.elapsed() < 10000) {
        if (m_client.waitForReadyRead(1000))
            answer += m_client.readAll();
    }
    QCOMPARE(answer.size(), expected.size());
    QVERIFY(answer == expected);

    QVERIFY(m_board->clearLog());
    script("ARB:APPL", QByteArray(), {});
    const auto tableWritten = [this] {
        for (const PowerBoard::LogEntry &entry : m_board->log()) {
            if (entry.address >= ArbTableAddress && entry.address < ArbTableEnd)
                return true;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(tableWritten(), 10000);
}

void tst_ProgramArbClock::clockMessages_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("errors");

    QTest::newRow("dates outside the clock's years")
        << QByteArray("SYST:DATE 2015,12,31;:SYST:DATE 2038,1,1;:SYST:DATE 2024,2,30")
        << QByteArray()
        << QStringList { "-224,\"Illegal parameter value;SYST:DATE 2015,12,31\"",
               "-224,\"Illegal parameter value;SYST:DATE 2038,1,1\"",
               "-224,\"Illegal parameter value;SYST:DATE 2024,2,30\"" };
    QTest::newRow("last date") << QByteArray("SYST:DATE 2037,12,31;:SYST:DATE?")
                               << QByteArray("+2037,+12,+31\n") << QStringList();
    QTest::newRow("date read back") << QByteArray("SYST:DATE 2024,5,17;:SYST:DATE?")
                                    << QByteArray("+2024,+5,+17\n") << QStringList();
    QTest::newRow("times out of range")
        << QByteArray("SYST:TIME 24,0,0;:SYST:TIME 23,60,0;:SYST:TIME 23,59,60") << QByteArray()
        << QStringList { "-224,\"Illegal parameter value;SYST:TIME 24,0,0\"",
               "-224,\"Illegal parameter value;SYST:TIME 23,60,0\"",
               "-224,\"Illegal parameter value;SYST:TIME 23,59,60\"" };
    QTest::newRow("time read back") << QByteArray("SYST:TIME 10,20,30;:SYST:TIME?")
                                    << QByteArray("+10,+20,+30\n") << QStringList();
}

void tst_ProgramArbClock::clockMessages()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, errors);
    const qint64 hostBefore = QDateTime::currentSecsSinceEpoch();
    script(message, answer, errors);
    // The clock set is the board root's stand-in, never the host's.
    QVERIFY(qAbs(QDateTime::currentSecsSinceEpoch() - hostBefore) < 60);
    // An accepted setting is copied into the hardware clock, through the root's stand-in.
    if (errors.isEmpty()) {
        const auto copied = [this] {
            QFile log(m_board->root() + QStringLiteral("/var/log/standin.log"));
            return log.open(QIODevice::ReadOnly)
                && log.readAll().contains("/sbin/hwclock --utc --systohc");
        };
        QTRY_VERIFY_WITH_TIMEOUT(copied(), 10000);
    }
}

void tst_ProgramArbClock::timeZoneChangesTheBoardsFiles()
{
    if (!linkZoneDatabase())
        QSKIP("the host has no zone database");
    const QString root = m_board->root();
    script("SYST:TZON \"asia/tokyo\"",
        QByteArray(),
        { "-224,\"Illegal parameter value;SYST:TZON \"\"asia/tokyo\"\"\"" });
    QVERIFY(!QFileInfo::exists(root + "/etc/timezone"));

    // The program's local time follows at once (hour and minute: a second may pass).
    const auto hourMinute = [this](const QByteArray &message) {
        return query(m_client, message).split(',').mid(0, 2).join(',');
    };
    script("SYST:TZON \"UTC\";:SYST:TIME 12,0,0", QByteArray(), {});
    QCOMPARE(hourMinute("SYST:TZON \"Asia/Kolkata\";:SYST:TIME?"), QByteArray("+17,+30"));
    QCOMPARE(hourMinute("SYST:TZON \"Asia/Tokyo\";:SYST:TIME?"), QByteArray("+21,+0"));
    QCOMPARE(query(m_client, "SYST:TZON?"), QByteArray("\"Asia/Tokyo\"\n"));
    QCOMPARE(QFileInfo(root + "/etc/localtime").symLinkTarget(),
        QStringLiteral("/usr/share/zoneinfo/Asia/Tokyo"));
    QFile zone(root + "/etc/timezone");
    QVERIFY(zone.open(QIODevice::ReadOnly));
    QCOMPARE(zone.readAll(), QByteArray("Asia/Tokyo"));

    m_client.write("SYST:TZON:CAT?\n");
    const QByteArray catalogue = rawclient::readLines(m_client, 1);
    QVERIFY(catalogue.startsWith("\"Africa/"));
    QVERIFY(catalogue.endsWith("\"\n"));
    QCOMPARE(catalogue.count('"'), 2);
    QVERIFY(!catalogue.contains(",\""));
    QVERIFY(catalogue.size() <= 8191 + 3);
    QCOMPARE(errors(), QStringList());
}

void tst_ProgramArbClock::timeAdjustReportsAnUnreachableServerLater()
{
    const QString program = m_board->root() + QStringLiteral("/usr/bin/zontpdate");
    QFile standIn(program);
    QVERIFY(standIn.open(QIODevice::WriteOnly));
    standIn.write("#!/bin/sh\nsleep 1\necho 'Server did not respond'\n");
    standIn.close();
    QVERIFY(standIn.setPermissions(standIn.permissions() | QFile::ExeOwner));

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(query(m_client, "SYST:TIME:ADJ;:SYST:ERR?"), noError());
    QVERIFY2(timer.elapsed() < 1000, "the command waited for the clock program");
    QStringList queued;
    while (queued.isEmpty() && timer.elapsed() < 20000) {
        QTest::qWait(100);
        queued = errors();
    }
    QCOMPARE(queued, QStringList { "-221,\"Settings conflict;SYST:TIME:ADJ\"" });
}

QTEST_GUILESS_MAIN(tst_ProgramArbClock)
#include "tst_ProgramArbClock.moc"
