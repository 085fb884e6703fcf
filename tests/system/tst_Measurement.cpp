#include "tests/support/PowerBoard.h"
#include "tests/system/HeadlessProgram.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

using rawclient::connectClean;
using rawclient::connectTo;
using rawclient::query;
using rawclient::readLines;

namespace {

constexpr quint16 RawPort = 5025;

// Why line is not n reals "%+0.5E" joined by "," and the newline; empty when it is.
QByteArray realsFault(const QByteArray &line, int n)
{
    static const QRegularExpression real(QStringLiteral("^[+-]\\d\\.\\d{5}E[+-]\\d{2}$"));
    const QByteArray size = QByteArray::number(line.size()) + " bytes";
    if (!line.endsWith('\n'))
        return size + " without a newline, ending in \"" + line.right(40) + '"';
    const QList<QByteArray> items = line.chopped(1).split(',');
    if (items.size() != n)
        return size + ", " + QByteArray::number(items.size()) + " values, not "
            + QByteArray::number(n);
    for (int i = 0; i < items.size(); ++i) {
        if (!real.match(QString::fromLatin1(items[i])).hasMatch())
            return size + ", value " + QByteArray::number(i) + " is \"" + items[i].left(40) + '"';
    }
    return QByteArray();
}

bool isReals(const QByteArray &line, int n)
{
    return realsFault(line, n).isEmpty();
}

// Every entry of the error queue, oldest first, as "code" (the texts are the queue's business).
QStringList errors(QTcpSocket &socket)
{
    QStringList codes;
    for (int i = 0; i < 20; ++i) {
        const QByteArray line = query(socket, "SYST:ERR?");
        const QByteArray code = line.left(line.indexOf(','));
        if (code.isEmpty() || code == "+0")
            break;
        codes << QString::fromLatin1(code);
    }
    return codes;
}

} // namespace

// The measurement queries, the record logger's commands, the acquisition and trigger settings
// and the common commands of the instrument, over the raw socket against the headless program
// and the simulated board, as a test program drives them.
class tst_Measurement : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void fetchAnswersTheNewestRecordAgain();
    void messages_data();
    void messages();
    void busAcquisitionDeadlocksAndTheParserGoesOn();
    void measureSetsUpASingleImmediateSample();
    void operationCompleteWaitsForTheBoard();
    void drainInBlocksLosesNothing();
    void twoDrainsInOneMessageLoseNothing();
    void refusedBufferSizeKeepsTheRecords();
    void abortFromAnotherSessionInterruptsRead();
    void onTimeSwitchesTheLoadOffAgain();
    void chartScaleQueryAnswersNothing();
    void visaBatteryDischarge();

private:
    // Runs an immediate acquisition of n samples of the given interval and waits for it.
    void acquire(QTcpSocket &socket, int n, double interval = 0.001);

    std::unique_ptr<PowerBoard> m_board;
    std::unique_ptr<HeadlessProgram> m_program;
};

void tst_Measurement::initTestCase()
{
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    m_program = std::make_unique<HeadlessProgram>();
    QVERIFY2(m_program->start(m_board->root()), qPrintable(m_program->errorString()));
    QCOMPARE(m_program->port(), RawPort);
}

void tst_Measurement::init()
{
    // Back to the power-on acquisition, an empty logger and an empty queue.
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    QCOMPARE(query(client,
                 "ABOR;:OUTP OFF;:TRIG:ACQ:SOUR IMM;COUN 1;DEL 0;INT:STAT OFF;TIME 0.1;"
                 ":SENS:APER 0.1;:DATA:FORM CURR,VOLT,POW;BSIZ 65536;*CLS;*OPC?"),
        QByteArray("1\n"));
    QCOMPARE(query(client, "DATA:POIN?"), QByteArray("+0\n"));
}

void tst_Measurement::cleanupTestCase()
{
    const bool clean = m_program->stop();
    const QString error = m_program->errorString();
    m_program.reset();
    QVERIFY2(m_board->stop(), qPrintable(m_board->errorString()));
    m_board.reset();
    QVERIFY2(clean, qPrintable(error));
}

void tst_Measurement::acquire(QTcpSocket &socket, int n, double interval)
{
    const QByteArray setup = "TRIG:ACQ:COUN " + QByteArray::number(n) + ";INT:STAT ON;TIME "
        + QByteArray::number(interval) + ";:SENS:APER " + QByteArray::number(interval / 2)
        + ";:INIT:ACQ;*OPC?";
    QCOMPARE(query(socket, setup), QByteArray("1\n"));
}

void tst_Measurement::fetchAnswersTheNewestRecordAgain()
{
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    QCOMPARE(query(client, "INIT:ACQ;*OPC?"), QByteArray("1\n"));
    const QByteArray first = query(client, "FETC?");
    QVERIFY2(isReals(first, 3), first.constData());
    QCOMPARE(query(client, "FETCH:SCAL?"), first);
    // One item: the newest record's voltage, the second of the format.
    QCOMPARE(query(client, "FETC:VOLT?"), first.split(',').at(1) + '\n');
    QCOMPARE(query(client, "DATA:POIN?"), QByteArray("+1\n"));
    QCOMPARE(errors(client).join(' '), QString());
}

void tst_Measurement::messages_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("answer"); // empty: none expected
    QTest::addColumn<QStringList>("errors");

    QTest::newRow("fetch with nothing held or initiated")
        << QByteArray("FETC?") << QByteArray() << QStringList { "-230" };
    QTest::newRow("read with only a bus trigger")
        << QByteArray("TRIG:ACQ:SOUR BUS;:READ?") << QByteArray() << QStringList { "-221" };
    QTest::newRow("measure while initiated") << QByteArray("TRIG:ACQ:SOUR BUS;:INIT:ACQ;:MEAS?")
                                             << QByteArray() << QStringList { "-211" };
    QTest::newRow("drain nothing")
        << QByteArray("DATA:R? 0") << QByteArray() << QStringList { "-222" };
    QTest::newRow("drain an empty logger")
        << QByteArray("DATA:R?") << QByteArray() << QStringList { "-230" };
    QTest::newRow("unknown format word") << QByteArray("DATA:FORM FOO;FORM?")
                                         << QByteArray("CURR,VOLT,POW\n") << QStringList { "-224" };
    QTest::newRow("format with a repetition")
        << QByteArray("DATA:FORM CURR,CURR;FORM?") << QByteArray("CURR,CURR\n") << QStringList();
    QTest::newRow("source without a flag") << QByteArray("TRIG:ACQ:SOUR BUS;SOUR TRIGIN;SOUR?")
                                           << QByteArray("BUS\n") << QStringList { "-224" };
    QTest::newRow("transient delay to the microsecond")
        << QByteArray("TRIG:TRAN:DEL 0.0000015;:TRIG:TRAN:DEL?") << QByteArray("+2.00000E-06\n")
        << QStringList();
    QTest::newRow("transient source") << QByteArray("TRIG:TRAN:SOUR BUS;SOUR?;SOUR IMM;SOUR?")
                                      << QByteArray("BUS;IMM\n") << QStringList();
    QTest::newRow("trigger with nothing initiated")
        << QByteArray("*TRG") << QByteArray() << QStringList { "-213" };
    QTest::newRow("operation complete at once")
        << QByteArray("*CLS;*OPC;*ESR?") << QByteArray("+1\n") << QStringList();
    QTest::newRow("acquisition count")
        << QByteArray("TRIG:ACQ:COUN 70000;COUN?") << QByteArray("+1\n") << QStringList { "-222" };
    QTest::newRow("buffer size") << QByteArray("DATA:BSIZ 2048;BSIZ?;BSIZ 65536")
                                 << QByteArray("+2048\n") << QStringList();
    QTest::newRow("integral gate") << QByteArray("DATA:INT:GATE PROG_RUN;GATE?;GATE LOAD_ON;GATE?")
                                   << QByteArray("PROG_RUN;LOAD_ON\n") << QStringList();
    QTest::newRow("display items")
        << QByteArray("DISP:CAP ON;:DISP:CAP?;:DISP:WIND:CAP OFF;:DISP:CAP?") << QByteArray("1;0\n")
        << QStringList();
    QTest::newRow("on-time below a second")
        << QByteArray("OUTP ON,0.4;:OUTP?") << QByteArray("0\n") << QStringList { "-222" };
    QTest::newRow("on-time with off")
        << QByteArray("OUTP OFF,5") << QByteArray() << QStringList { "-108" };
    QTest::newRow("signal-output item twice")
        << QByteArray("SYST:CONF:SOUT:PROT OC,OC;PROT?") << QByteArray("NONE,OC,OP,UV,WDOG\n")
        << QStringList { "+202" };
    QTest::newRow("signal-output items")
        << QByteArray("SYST:CONF:SOUT:PROT UV,OC;PROT?") << QByteArray("UV,OC\n") << QStringList();
    QTest::newRow("setup number out of range")
        << QByteArray("*SAV 20;*RCL -1;:MEM:SAVE 4") << QByteArray()
        << QStringList { "-222", "-222", "-222" };
    QTest::newRow("program start without a selected program")
        << QByteArray("INIT:TRAN:PROG") << QByteArray() << QStringList { "+304" };
}

void tst_Measurement::messages()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, errors);

    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    client.write(message + '\n');
    // The marker's answer comes after anything the message answered.
    client.write("*TST?\n");
    QCOMPARE(readLines(client, answer.isEmpty() ? 1 : 2), answer + "0\n");
    QCOMPARE(::errors(client).join(' '), errors.join(' '));
}

void tst_Measurement::busAcquisitionDeadlocksAndTheParserGoesOn()
{
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    client.write("TRIG:ACQ:SOUR BUS;:INIT:ACQ;:FETC?\n");
    QCOMPARE(query(client, "*IDN?").count(','), 3);
    QCOMPARE(query(client, "*OPC?;*IDN?").count(','), 3);
    QCOMPARE(query(client, "*WAI;*IDN?").count(','), 3);
    QCOMPARE(errors(client).join(' '), QString("-214 -430 -214"));
    // The bus trigger ends the acquisition; the record is there.
    QCOMPARE(query(client, "*TRG;*OPC?"), QByteArray("1\n"));
    QVERIFY(isReals(query(client, "FETC?"), 3));
    QCOMPARE(errors(client).join(' '), QString());
}

void tst_Measurement::measureSetsUpASingleImmediateSample()
{
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    QCOMPARE(query(client, "TRIG:ACQ:SOUR BUS;COUN 5;INT:STAT ON"), QByteArray());
    const QByteArray volts = query(client, "MEAS:VOLT?");
    QVERIFY2(isReals(volts, 1), volts.constData());
    QCOMPARE(query(client, "TRIG:ACQ:SOUR?;COUN?;INT:STAT?;TIME?;:TRIG:ACQ:DEL?;:SENS:APER?"),
        QByteArray("IMM;+1;0;+1.00000E-01;+0.00000E+00;+1.00000E-01\n"));
    const QByteArray read = query(client, "READ:CURR?");
    QVERIFY2(isReals(read, 1), read.constData());
    QCOMPARE(errors(client).join(' '), QString());
}

void tst_Measurement::operationCompleteWaitsForTheBoard()
{
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    // Ten samples of 0.1 s: the answer comes once the board has delivered them all.
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(query(client, "TRIG:ACQ:COUN 10;:INIT:ACQ;*OPC?"), QByteArray("1\n"));
    QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(query(client, "DATA:POIN?"), QByteArray("+10\n"));
}

void tst_Measurement::drainInBlocksLosesNothing()
{
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    acquire(client, 2500);
    QCOMPARE(query(client, "DATA:POIN?"), QByteArray("+2500\n"));
    QCOMPARE(query(client, "DATA:FORM CURR,VOLT;:DATA:FORM?"), QByteArray("CURR,VOLT\n"));
    // Two items: at most 1872 records in one answer, then the rest.
    client.write("DATA:R? 2000\n");
    const QByteArray first = readLines(client, 1, 20000);
    QVERIFY2(isReals(first, 2 * 1872), realsFault(first, 2 * 1872).constData());
    const QByteArray second = query(client, "DATA:R?");
    QVERIFY2(isReals(second, 2 * (2500 - 1872)), realsFault(second, 2 * (2500 - 1872)).constData());
    QCOMPARE(errors(client).join(' '), QString());
    QCOMPARE(query(client, "DATA:R?;:SYST:ERR?"),
        QByteArray("-230,\"Data corrupt or stale;DATA:R?\"\n"));
}

void tst_Measurement::twoDrainsInOneMessageLoseNothing()
{
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    acquire(client, 4000);
    QCOMPARE(query(client, "DATA:FORM CURR"), QByteArray());
    // The first answer fills most of the message's room; the second takes only what fits,
    // and what neither took stays for the next message.
    client.write("DATA:R?;R?\n");
    const QByteArray both = readLines(client, 1, 20000);
    QVERIFY(both.size() <= 49152);
    const QList<QByteArray> answers = both.chopped(1).split(';');
    QCOMPARE(answers.size(), 2);
    const int first = answers[0].count(',') + 1;
    const int second = answers[1].count(',') + 1;
    QCOMPARE(first, 3072);
    QVERIFY(second > 0);
    const QByteArray rest = query(client, "DATA:POIN?");
    QCOMPARE(rest, "+" + QByteArray::number(4000 - first - second) + "\n");
    QCOMPARE(errors(client).join(' '), QString());
}

void tst_Measurement::refusedBufferSizeKeepsTheRecords()
{
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    acquire(client, 20);
    QCOMPARE(query(client, "DATA:BSIZ 3000;BSIZ 512;BSIZ?;POIN?"), QByteArray("+65536;+20\n"));
    QCOMPARE(errors(client).join(' '), QString("+201 -222"));
    // An accepted size empties the logger.
    QCOMPARE(query(client, "DATA:BSIZ 1024;POIN?;BSIZ 65536"), QByteArray("+0\n"));
}

void tst_Measurement::abortFromAnotherSessionInterruptsRead()
{
    QTcpSocket reader;
    QTcpSocket other;
    QVERIFY(connectClean(reader, RawPort));
    QVERIFY(connectTo(other, RawPort));
    // Three hundred samples of 0.1 s; the marker answers once READ? has ended.
    QElapsedTimer clock;
    clock.start();
    reader.write("TRIG:ACQ:COUN 300;:READ?\n*OPC?\n");
    QVERIFY(reader.waitForBytesWritten(5000));
    // An abort that arrives before READ? waits runs after it; so it is sent until one lands.
    QByteArray answer;
    while (answer.isEmpty() && clock.elapsed() < 40000) {
        other.write("ABOR:ACQ\n");
        QVERIFY(other.waitForBytesWritten(5000));
        answer = readLines(reader, 1, 200);
    }
    QCOMPARE(answer, QByteArray("1\n"));
    QVERIFY2(clock.elapsed() < 25000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(errors(reader).join(' '), QString("-410"));
    QCOMPARE(query(other, "*OPC?"), QByteArray("1\n"));
}

void tst_Measurement::onTimeSwitchesTheLoadOffAgain()
{
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    QElapsedTimer clock;
    clock.start();
    const QByteArray on = query(client, "OUTP ON,MIN;:OUTP?");
    // On a loaded machine the second may be over by the time the query runs.
    QVERIFY2(on == "1\n" || (on == "0\n" && clock.elapsed() >= 900),
        qPrintable(QString::fromLatin1(on) + QString::number(clock.elapsed())));
    QTRY_COMPARE_WITH_TIMEOUT(query(client, "OUTP?"), QByteArray("0\n"), 5000);
    QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed())));
    // On this model the on-time is the elapsed-time cut-off, which stays set.
    QCOMPARE(
        query(client, "OUTP:CUTO:ETIM:STAT?;:OUTP:CUTO:ETIM?"), QByteArray("1;+1.00000E+00\n"));
    QCOMPARE(query(client, "OUTP:CUTO:ETIM:STAT OFF;:OUTP ON,1E9;:OUTP?"), QByteArray("0\n"));
    QCOMPARE(errors(client).join(' '), QString("-222"));
}

void tst_Measurement::chartScaleQueryAnswersNothing()
{
    QTcpSocket client;
    QVERIFY(connectClean(client, RawPort));
    QCOMPARE(query(client, "CHAR:VOLT:SCAL? 5;:CHAR:CURR:SCAL 3;:CHAR:VOLT:SCAL:AUTO ON;*OPC?"),
        QByteArray("1\n"));
    QCOMPARE(errors(client).join(' '), QString());
    QCOMPARE(query(client, "CHAR:VOLT:SCAL?;*OPC?"), QByteArray("1\n"));
    QCOMPARE(errors(client).join(' '), QString("-109"));
}

void tst_Measurement::visaBatteryDischarge()
{
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo(python).isExecutable())
        QSKIP("Debian's /usr/bin/python3 is not installed");
    QProcess visa;
    visa.setProcessChannelMode(QProcess::MergedChannels);
    visa.start(python,
        { QStringLiteral("-I"),
            QStringLiteral(VEK_SOURCE_DIR "/tests/system/visa_battery_discharge.py"),
            QStringLiteral("127.0.0.1"),
            QString::number(RawPort) });
    QVERIFY(visa.waitForFinished(120000));
    const QByteArray output = visa.readAll();
    if (visa.exitCode() == 3)
        QSKIP(output.trimmed().constData());
    QVERIFY2(visa.exitCode() == 0, output.constData());
    QCOMPARE(output, QByteArray("1000 records, in order\n"));
}

QTEST_GUILESS_MAIN(tst_Measurement)
#include "tst_Measurement.moc"
