#include "sim/Board.h"
#include "sim/ControlProtocol.h"
#include "sim/StepLocator.h"

#include <QtTest>

using sim::Board;
using sim::ControlProtocol;

namespace {
constexpr quint32 NoChild = 0xFFFFFFFF;
constexpr quint32 LoadOn = 0x10000;

quint32 node(quint32 slot)
{
    return 0x400000 + 32 * slot;
}

// Writes the steady two-step program as the engine lays it out (tail 0, last step 1, head 2,
// step 2 in slot 3 as the root, step 1 in slot 4 as its left child) and points the root at it.
void writeSteadyProgram(Board &board, quint32 operate, quint32 dc, quint32 cp = 0, qint64 t = 0)
{
    QVector<quint32> message;
    auto unit = [&message](quint32 address, QVector<quint32> words) {
        message << address << quint32(words.size()) << words;
    };
    unit(node(2), { NoChild, 0, 0, 0, node(3), NoChild, NoChild, 0 });
    unit(node(3), { 1, 0, 0, 0, 64 * 3, node(4), NoChild, 0 });
    unit(node(4), { 1, 0, 0, 0, 64 * 4, NoChild, NoChild, 0 });
    for (quint32 slot : { 3u, 4u }) {
        QVector<quint32> data { 0xFFFFFFFF, 0xFFFF, operate, dc, 0xFFFFFFFF, 0, cp, 0 };
        data.resize(16);
        unit(64 * slot, data);
    }
    unit(0x50000000, { node(2), 0 });
    board.exchange(message, t);
}

QVector<quint32> readUnit(Board &board, quint32 address, int count, qint64 t = 0)
{
    QVector<quint32> tx(count + 2, 0);
    tx[0] = address;
    tx[1] = quint32(count);
    return board.exchange(tx, t);
}

double average(const QVector<quint32> &data, int word)
{
    const qint64 sum = qint64(quint64(data.at(word)) | (quint64(data.at(word + 1)) << 32));
    return double(sum) / data.at(15) * 1e-6;
}

qint64 word64(const QVector<quint32> &data, int word)
{
    return qint64(quint64(data.at(word)) | (quint64(data.at(word + 1)) << 32));
}
} // namespace

class tst_PowerBoard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void framing_data();
    void framing();
    void powerOnRegisters();
    void identification();
    void unitBlockEndsAtFirstZero();
    void calibrationRegisters();
    void firstStep_data();
    void firstStep();
    void operatingPoint_data();
    void operatingPoint();
    void statusBlock();
    void monitorRecordFlags_data();
    void monitorRecordFlags();
    void integralsWhileLoadOn();
    void tracePacedByTimer();
    void traceWaitsForBusTrigger();
    void failures();
    void control_data();
    void control();
    void logLines();
};

void tst_PowerBoard::framing_data()
{
    QTest::addColumn<QVector<quint32>>("message");
    QTest::addColumn<QVector<quint32>>("reply");
    QTest::newRow("write unit answers zeros")
        << QVector<quint32> { 0x60000000, 1, 0x01000002 } << QVector<quint32> { 0, 0, 0 };
    QTest::newRow("read echoes address and count")
        << QVector<quint32> { 0xF0000500, 2, 0, 0 }
        << QVector<quint32> { 0xF0000500, 2, 0, 4101u << 16 };
    QTest::newRow("write then read in one message")
        << QVector<quint32> { 0x70000010, 1, 7, 0xF0000010, 1, 0 }
        << QVector<quint32> { 0, 0, 0, 0xF0000010, 1, 7 };
    QTest::newRow("unknown read answers zeros")
        << QVector<quint32> { 0x90000000, 2, 5, 5 } << QVector<quint32> { 0x90000000, 2, 0, 0 };
    QTest::newRow("unit longer than the message is dropped")
        << QVector<quint32> { 0xF0000500, 9, 0, 0 } << QVector<quint32> { 0, 0, 0, 0 };
    QTest::newRow("lone word") << QVector<quint32> { 0xE0000000 } << QVector<quint32> { 0 };
}

void tst_PowerBoard::framing()
{
    QFETCH(QVector<quint32>, message);
    QFETCH(QVector<quint32>, reply);
    Board board;
    QCOMPARE(board.exchange(message, 0), reply);
}

void tst_PowerBoard::powerOnRegisters()
{
    Board board;
    QCOMPARE(board.memory().modeWord(), 0x01000001u);
    const QVector<quint32> trigger { 0x101, 0, 0, 1, 12500, 12500 };
    for (int i = 0; i < trigger.size(); ++i)
        QCOMPARE(board.memory().trigger(i), trigger.at(i));
    QCOMPARE(board.memory().programRoot(), 0u);
    // A written value replaces the power-on one; reset brings it back.
    board.exchange({ 0x50000008, 6, 0x901, 1, 2, 3, 4, 5 }, 0);
    QCOMPARE(board.memory().trigger(4), 4u);
    board.reset(0);
    QCOMPARE(board.memory().trigger(4), 12500u);
}

void tst_PowerBoard::identification()
{
    Board board;
    QCOMPARE(readUnit(board, 0xF0000500, 6),
        QVector<quint32>({ 0xF0000500,
            6,
            0,
            4101u << 16,
            2025,
            (3u << 16) | 14,
            (2u << 16) | (5u << 8) | 17,
            (1u << 16) | (2u << 8) | 3 }));
    board.identity().calValid = false;
    board.setCorruptIdentificationEcho(true);
    const QVector<quint32> rx = readUnit(board, 0xF0000500, 6);
    QVERIFY(rx.at(0) != 0xF0000500u || rx.at(1) != 6u);
    QCOMPARE(rx.at(6) >> 24, 0xFFu);
    // Only the identification block's echo is spoilt.
    QCOMPARE(readUnit(board, 0xF0000600, 2).mid(0, 2), QVector<quint32>({ 0xF0000600, 2 }));
}

void tst_PowerBoard::unitBlockEndsAtFirstZero()
{
    Board board;
    board.identity().unitCodes = { 4101, 4102 };
    const QVector<quint32> rx = readUnit(board, 0xF0000600, 30);
    QCOMPARE(rx.size(), 32);
    QCOMPARE(rx.at(2 + 1), 4101u << 16);
    QCOMPARE(rx.at(2 + 3), 4102u << 16);
    QCOMPARE(rx.at(2 + 5), 0u);
    QCOMPARE(rx.at(2 + 0), 0u);
}

void tst_PowerBoard::calibrationRegisters()
{
    Board board;
    board.exchange({ 0x70000010, 1, 0xCAFE, 0x70000508, 1, 2024, 0x7000050C, 1, 0x2001D }, 0);
    QCOMPARE(readUnit(board, 0xF0000010, 1).at(2), 0xCAFEu);
    // The date registers are words 2 and 3 of the identification block.
    const QVector<quint32> id = readUnit(board, 0xF0000500, 6);
    QCOMPARE(id.at(4), 2024u);
    QCOMPARE(id.at(5), 0x2001Du);
    QCOMPARE(readUnit(board, 0xF0000014, 1).at(2), 0u);
}

void tst_PowerBoard::firstStep_data()
{
    QTest::addColumn<QVector<quint32>>("message");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<quint32>("nodeAddress");
    QTest::addColumn<quint32>("dataAddress");

    QTest::newRow("nothing written") << QVector<quint32> {} << false << 0u << 0u;
    QTest::newRow("root points outside the node area")
        << QVector<quint32> { 0x50000000, 2, 0x100, 0 } << false << 0u << 0u;
    QTest::newRow("steady tree runs step 1 first") << QVector<quint32> { node(2),
        8,
        0,
        0,
        0,
        0,
        node(3),
        NoChild,
        NoChild,
        0,
        node(3),
        8,
        1,
        0,
        0,
        0,
        64 * 3,
        node(4),
        NoChild,
        0,
        node(4),
        8,
        1,
        0,
        0,
        0,
        64 * 4,
        NoChild,
        NoChild,
        0,
        0x50000000,
        2,
        node(2),
        0 } << true << node(4) << 64u * 4;
    QTest::newRow("first step calls a sub-program") << QVector<quint32> { node(2),
        8,
        1,
        0,
        0,
        0,
        node(3),
        NoChild,
        NoChild,
        0,
        node(3),
        8,
        1,
        0,
        0,
        0,
        node(7),
        NoChild,
        NoChild,
        0,
        node(7),
        8,
        1,
        0,
        0,
        0,
        node(8),
        NoChild,
        NoChild,
        0,
        node(8),
        8,
        1,
        0,
        0,
        0,
        64 * 8,
        NoChild,
        NoChild,
        0,
        0x50000000,
        2,
        node(2),
        0 } << true << node(8) << 64u * 8;
    QTest::newRow("nodes linked in a circle") << QVector<quint32> { node(2),
        8,
        1,
        0,
        0,
        0,
        node(3),
        NoChild,
        NoChild,
        0,
        node(3),
        8,
        1,
        0,
        0,
        0,
        node(2),
        NoChild,
        NoChild,
        0,
        0x50000000,
        2,
        node(2),
        0 } << false << 0u << 0u;
}

void tst_PowerBoard::firstStep()
{
    QFETCH(QVector<quint32>, message);
    QFETCH(bool, valid);
    QFETCH(quint32, nodeAddress);
    QFETCH(quint32, dataAddress);
    Board board;
    board.exchange(message, 0);
    const sim::StepLocator::Step step = board.activeStep();
    QCOMPARE(step.valid, valid);
    if (valid) {
        QCOMPARE(step.nodeAddress, nodeAddress);
        QCOMPARE(step.dataAddress, dataAddress);
    }
}

void tst_PowerBoard::operatingPoint_data()
{
    QTest::addColumn<quint32>("mode");
    QTest::addColumn<quint32>("operate");
    QTest::addColumn<quint32>("dc");
    QTest::addColumn<quint32>("cp");
    QTest::addColumn<double>("volts");
    QTest::addColumn<double>("amps");

    // Source 12 V behind 0.1 ohm.
    QTest::newRow("load off") << 0x1u << 0u << 2000000u << 0u << 12.0 << 0.0;
    QTest::newRow("CC 2 A") << 0x1u << LoadOn << 2000000u << 0u << 11.8 << 2.0;
    QTest::newRow("CC above short-circuit current")
        << 0x1u << LoadOn << 200000000u << 0u << 0.0 << 120.0;
    QTest::newRow("CR 1 S") << 0x2u << LoadOn << 1000000u << 0u << 12.0 / 1.1 << 12.0 / 1.1;
    QTest::newRow("CV 10 V") << 0x4u << LoadOn << 10000000u << 0u << 10.0 << 20.0;
    QTest::newRow("CV above Voc sinks nothing") << 0x4u << LoadOn << 13000000u << 0u << 12.0 << 0.0;
    QTest::newRow("CP 50 W") << 0x8u << LoadOn << 0u << 50000000u
                             << 12.0 - 0.1 * (12.0 - std::sqrt(124.0)) / 0.2
                             << (12.0 - std::sqrt(124.0)) / 0.2;
    QTest::newRow("CP beyond the source's maximum power")
        << 0x8u << LoadOn << 0u << 1000000000u << 6.0 << 60.0;
    QTest::newRow("output short") << 0x1u << (LoadOn | 0x80000) << 0u << 0u << 0.0 << 120.0;
}

void tst_PowerBoard::operatingPoint()
{
    QFETCH(quint32, mode);
    QFETCH(quint32, operate);
    QFETCH(quint32, dc);
    QFETCH(quint32, cp);
    QFETCH(double, volts);
    QFETCH(double, amps);
    Board board;
    board.exchange({ 0x60000000, 1, 0x01000000 | mode }, 0);
    writeSteadyProgram(board, operate, dc, cp);
    const sim::LoadModel::Point p = board.operatingPoint();
    QVERIFY2(qAbs(p.volts - volts) < 1e-9, qPrintable(QString::number(p.volts)));
    QVERIFY2(qAbs(p.amps - amps) < 1e-9, qPrintable(QString::number(p.amps)));
    QCOMPARE(p.regulation, operate & LoadOn ? mode : 0u);
}

void tst_PowerBoard::statusBlock()
{
    Board board;
    QCOMPARE(readUnit(board, 0xE0000000, 4).mid(2), QVector<quint32>({ 0x800010, 0, 0, 0 }));

    board.exchange({ 0x60000000, 1, 0x01000002 }, 0);
    writeSteadyProgram(board, LoadOn, 1000000);
    board.setCutoffByte(0x30);
    board.injectTraceRecords(5);
    QCOMPARE(readUnit(board, 0xE0000000, 4).mid(2),
        QVector<quint32>({ 0xA00012, 0x30000005, node(4), 0 }));

    // Forced bits go on top of the model's, cleared bits come off last.
    board.setStatusMasks(0x401000, 0x200000);
    QCOMPARE(board.statusWord(), 0xC01012u);
}

void tst_PowerBoard::monitorRecordFlags_data()
{
    QTest::addColumn<quint32>("mode");
    QTest::addColumn<QString>("command");
    QTest::addColumn<quint32>("flags");

    QTest::newRow("high ranges") << 0x01000001u << "source 12 0.1" << 0x007u;
    QTest::newRow("low current range") << 0x01000101u << "source 12 0.1" << 0x107u;
    QTest::newRow("medium current, low voltage range")
        << 0x01800201u << "source 12 0.1" << 0x800207u;
    QTest::newRow("range bits 3 read as high") << 0x01000301u << "source 12 0.1" << 0x007u;
    QTest::newRow("voltage over range") << 0x01000001u << "source 200 0.1" << 0x017u;
    QTest::newRow("current over range") << 0x01000001u << "fullscale current 0 19.5" << 0x047u;
    QTest::newRow("over range in its own range only")
        << 0x01000101u << "fullscale current 0 19.5" << 0x107u;
}

void tst_PowerBoard::monitorRecordFlags()
{
    QFETCH(quint32, mode);
    QFETCH(QString, command);
    QFETCH(quint32, flags);
    Board board;
    ControlProtocol control(board);
    QCOMPARE(control.handle(command, 0).value(0).left(2), QStringLiteral("OK"));
    board.exchange({ 0x60000000, 1, mode }, 0);
    writeSteadyProgram(board, LoadOn, 20000000); // CC 20 A
    const QVector<quint32> rx = readUnit(board, 0x80C00000, 16).mid(2);
    QCOMPARE(rx.at(14), flags);
    QCOMPARE(rx.at(15), quint32(Board::MonitorSamples));
}

void tst_PowerBoard::integralsWhileLoadOn()
{
    Board board(0);
    board.exchange({ 0x60000000, 1, 0x01000001 }, 0);
    writeSteadyProgram(board, 0, 2000000, 0, 0);
    board.advance(1000000); // load off: nothing counts
    writeSteadyProgram(board, LoadOn, 2000000, 0, 1000000);
    const qint64 hour = 3600LL * 1000000;
    const QVector<quint32> rx = readUnit(board, 0x80C00000, 16, 1000000 + hour).mid(2);
    QCOMPARE(average(rx, 0), 11.8);
    QCOMPARE(average(rx, 2), 2.0);
    QCOMPARE(word64(rx, 4), 2000000); // 2 Ah in µAh
    QCOMPARE(word64(rx, 6), hour);
    QCOMPARE(word64(rx, 8), 23600000); // 23.6 Wh in µWh

    // Integral reset (program command word bit 26) starts again from zero.
    board.exchange({ 0x50000000, 2, node(2), 0x4000000 }, 1000000 + hour);
    const QVector<quint32> after = readUnit(board, 0x80C00000, 16, 1000000 + hour + 10).mid(2);
    QCOMPARE(word64(after, 6), 10);
}

void tst_PowerBoard::tracePacedByTimer()
{
    Board board(0);
    // Count 1 µs; 3 records, timer 1000 counts, delay 500 counts, aperture 40 counts.
    QVERIFY(board.setMicrosPerCount(1.0));
    board.exchange({ 0x50000008, 6, 0x101, 0, 500, 3, 1000, 40 }, 0);
    board.exchange({ 0x50000004, 1, 0x100 }, 0);
    auto written = [&board](qint64 t) {
        return readUnit(board, 0xE0000000, 4, t).at(3);
    };
    QCOMPARE(written(1499), 0u);
    QCOMPARE(written(1500), 1u);
    QCOMPARE(written(2600), 2u);
    QCOMPARE(written(100000), 3u); // the trigger count ends the acquisition
    const QVector<quint32> records = readUnit(board, 0x80800000 + 64, 32, 100000).mid(2);
    QCOMPARE(records.at(15), 40u);
    QCOMPARE(average(records.mid(16), 0), 12.0);
    QCOMPARE(readUnit(board, 0x80800000 + 3 * 64, 16, 100000).mid(2), QVector<quint32>(16, 0));

    // A new initiate starts from record 0; abort stops the count where it is.
    board.exchange({ 0x50000008, 6, 0x101, 0, 0, 100, 1000, 40 }, 200000);
    board.exchange({ 0x50000004, 1, 0x100 }, 200000);
    QCOMPARE(written(202000), 2u);
    board.exchange({ 0x50000004, 1, 0x200 }, 202500);
    QCOMPARE(written(300000), 2u);
}

void tst_PowerBoard::traceWaitsForBusTrigger()
{
    Board board(0);
    QVERIFY(board.setMicrosPerCount(1.0));
    board.exchange({ 0x50000008, 6, 0x200, 0, 0, 2, 10, 1 }, 0);
    board.exchange({ 0x50000004, 1, 0x100 }, 0);
    QVERIFY(board.statusWord() & 0x20000000);
    board.advance(1000);
    QCOMPARE(board.acquisition().written(), 0);
    board.exchange({ 0x50000000, 2, 0, 0x10000 }, 1000); // bus trigger
    QVERIFY(!(board.statusWord() & 0x20000000));
    board.advance(1020);
    QCOMPARE(board.acquisition().written(), 2);
}

void tst_PowerBoard::failures()
{
    Board board;
    QCOMPARE(board.takeFailure(), Board::Failure::None);
    board.failNext(2, Board::Failure::Silent);
    QCOMPARE(board.takeFailure(), Board::Failure::Silent);
    QCOMPARE(board.takeFailure(), Board::Failure::Silent);
    QCOMPARE(board.takeFailure(), Board::Failure::None);
}

void tst_PowerBoard::control_data()
{
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("peek");
    QTest::addColumn<QString>("peekReply");

    auto row = [](const char *name,
                   QStringList commands,
                   const char *reply,
                   const char *peek = "",
                   const char *peekReply = "") {
        QTest::newRow(name) << commands << QString::fromLatin1(reply) << QString::fromLatin1(peek)
                            << QString::fromLatin1(peekReply);
    };
    row("ping", { "ping" }, "OK");
    row("unknown", { "frobnicate" }, "ERR unknown command: frobnicate");
    row("empty", { "   " }, "ERR empty command");
    row("source query", { "source" }, "OK 12 0.1");
    row("source set", { "source 24 0.25" }, "OK 24 0.25");
    row("negative resistance", { "source 24 -1" }, "ERR usage: source VOC RINT (RINT >= 0)");
    row("model", { "model 4102" }, "OK", "f0000504", "OK 10060000");
    row("model out of range", { "model 70000" }, "ERR usage: model CODE (1..65535)");
    row("units", { "units 4101 4102" }, "OK", "f000060c", "OK 10060000");
    row("no units", { "units" }, "OK", "f0000604", "OK 00000000");
    row("firmware", { "firmware 3.1.4" }, "OK", "f0000510", "OK 00030104");
    row("bad version", { "fpga 1.300.2" }, "ERR usage: MAJOR.MINOR.BUILD (each 0..255)");
    row("calibration date", { "caldate 2024-02-29" }, "OK", "f000050c", "OK 0002001d");
    row("impossible date", { "caldate 2023-02-29" }, "ERR usage: caldate YYYY-MM-DD");
    row("calibration not valid", { "calvalid 0" }, "OK", "f0000510", "OK ff020511");
    row("status forced", { "status force 0x401000" }, "OK 00c01010 00401000 00000000");
    row("status cleared", { "status clear 800000" }, "OK 00000010 00000000 00800000");
    row("status bad", { "status set 1" }, "ERR usage: status [force HEX | clear HEX]");
    row("cut-off byte", { "cutoff f0" }, "OK", "e0000004", "OK f0000000");
    row("cut-off too wide", { "cutoff 100" }, "ERR usage: cutoff HEX (00..ff)");
    row("fail", { "fail 3 silent" }, "OK");
    row("fail bad mode", { "fail 3 loud" }, "ERR usage: fail N [close|silent]");
    row("corrupt echo", { "corruptid on" }, "OK", "f0000500 2", "OK 00000000 10050000");
    row("inject", { "trace inject 4" }, "OK 4", "e0000004", "OK 00000004");
    row("inject negative", { "trace inject -1" }, "ERR usage: trace [inject N | trigger]");
    row("count time", { "counttime 0.5" }, "OK 0.5");
    row("count time zero", { "counttime 0" }, "ERR usage: counttime US (> 0)");
    row("full scale", { "fullscale current 1 3" }, "OK");
    row("full scale bad code",
        { "fullscale voltage 2 10" },
        "ERR usage: fullscale voltage 0|1 V, fullscale current 0|1|2 A");
    row("measure load off", { "measure" }, "OK 12 0 0 00000000 0 0 0");
    row("peek stored words", { "peek 50000008 2" }, "OK 00000101 00000000");
    row("peek bad count", { "peek 0 0" }, "ERR usage: peek ADDR [N] (N 1..4096)");
    row("reset", { "source 1 1", "reset" }, "OK", "f0000504", "OK 10050000");
    row("log clear", { "log clear" }, "OK");
    row("log bad", { "log everything" }, "ERR usage: log [clear]");
}

void tst_PowerBoard::control()
{
    QFETCH(QStringList, commands);
    QFETCH(QString, reply);
    QFETCH(QString, peek);
    QFETCH(QString, peekReply);
    Board board;
    ControlProtocol control(board);
    QStringList last;
    for (const QString &c : commands)
        last = control.handle(c, 0);
    QCOMPARE(last, QStringList { reply });
    if (!peek.isEmpty())
        QCOMPARE(control.handle(QStringLiteral("peek ") + peek, 0), QStringList { peekReply });
}

void tst_PowerBoard::logLines()
{
    Board board(0);
    ControlProtocol control(board);
    board.exchange({ 0x60000000, 1, 0x01000002 }, 1000);
    board.exchange({ 0xE0000000, 1, 0, 0x50000008, 2, 0x101, 7, 0x50000004, 1, 0x100 }, 5123);
    QCOMPARE(control.handle(QStringLiteral("log"), 6000),
        QStringList({ "1000 1 60000000 1 01000002",
            "5123 2 50000008 2 00000101 00000007",
            "5123 2 50000004 1 00000100",
            "END" }));
    QCOMPARE(control.handle(QStringLiteral("log clear"), 6000), QStringList { "OK" });
    QCOMPARE(control.handle(QStringLiteral("log"), 6000), QStringList { "END" });
}

QTEST_GUILESS_MAIN(tst_PowerBoard)
#include "tst_PowerBoard.moc"
