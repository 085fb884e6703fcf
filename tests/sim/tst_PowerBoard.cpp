#include "sim/Board.h"
#include "sim/ControlProtocol.h"
#include "tests/sim/ProgramImage.h"

#include <QtTest>

#include <functional>

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
// step 2 in slot 3 as the root, step 1 in slot 4 as its left child), points the root at it and
// starts it (Tran), as the engine does after handing over the tree.
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
    unit(0x50000000, { node(2), 1 });
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

// Writes the trigger group (sources, delays, count, timer, aperture) and initiates an
// acquisition at t.
void initiateAcquisition(Board &board, const QVector<quint32> &group, qint64 t = 0)
{
    board.exchange(QVector<quint32> { 0x50000008, 6 } + group, t);
    board.exchange({ 0x50000004, 1, 0x100 }, t);
}

// Records written since the initiate, as the status block reports them at t.
quint32 writtenAt(Board &board, qint64 t)
{
    return readUnit(board, 0xE0000000, 4, t).at(3);
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
    void operatingPoint_data();
    void operatingPoint();
    void statusBlock();
    void steadyProgramFollowsItsSteps();
    void programDrivesTheLoad();
    void rampIntegratesExactly();
    void monitorRecordFlags_data();
    void monitorRecordFlags();
    void integralsWhileLoadOn();
    void tracePacedByTimer();
    void traceBackToBackWithoutInterval();
    void traceOneRecordPerTriggerWithoutInterval();
    void traceSources_data();
    void traceSources();
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
    // The steady program runs (bit 30) its step 1 in its first pass.
    QCOMPARE(readUnit(board, 0xE0000000, 4).mid(2),
        QVector<quint32>({ 0x40A00012, 0x30000005, node(4), 1 }));

    // Forced bits go on top of the model's, cleared bits come off last.
    board.setStatusMasks(0x401000, 0x200000);
    QCOMPARE(board.statusWord(), 0x40C01012u);
}

void tst_PowerBoard::steadyProgramFollowsItsSteps()
{
    Board board(0);
    writeSteadyProgram(board, LoadOn, 2000000);
    board.advance(0);
    QCOMPARE(board.operatingPoint().amps, 2.0);
    // Eleven days on, step 1's dwell of 2^48 - 1 µs still runs.
    const qint64 later = 1000000LL * 1000000;
    QCOMPARE(readUnit(board, 0xE0000000, 4, later).mid(2).value(2), node(4));
    QCOMPARE(board.statusWord() & 0xC0200000, 0x40200000u);
    // A level written into the steps applies at once, without a new start.
    QVector<quint32> data { 0xFFFFFFFF, 0xFFFF, LoadOn, 5000000, 0xFFFFFFFF, 0, 0, 0 };
    data.resize(16);
    board.exchange(
        QVector<quint32> { 64 * 3, 16 } + data + QVector<quint32> { 64 * 4, 16 } + data, later);
    QCOMPARE(board.operatingPoint().amps, 5.0);
    QCOMPARE(board.operatingPoint().volts, 11.5);
}

void tst_PowerBoard::programDrivesTheLoad()
{
    // CC, 1 µs counts; the acquisition waits for the load to go off, then takes one record.
    Board board(0);
    QVERIFY(board.setMicrosPerCount(1.0));
    board.exchange({ 0x60000000, 1, 0x01000001, 0x50000008, 6, 0x401, 0, 0, 1, 1000, 100 }, 0);
    board.exchange({ 0x50000004, 1, 0x100 }, 0);

    // 1 A for 1 s, then 3 A for 1 s after a bus trigger; the last step switches the load off.
    ProgramImage image;
    ProgramImage::Step one;
    one.dwellUs = 1000000;
    one.dcLevel = 1000000;
    ProgramImage::Step three = one;
    three.dcLevel = 3000000;
    three.operate |= 0x20000000;
    ProgramImage::Step last;
    last.operate = 0x10;
    const quint32 head = image.program(5, 1, { one, three }, last);
    image.root(head, 0x1);
    board.exchange(image.message(), 0);

    struct Expect
    {
        qint64 t;
        quint32 status; // bits 21 (load on), 29, 30 and 31
        quint32 node;
        double amps;
    };
    const QVector<Expect> timeline {
        { 500000, 0x60200000, node(8), 1.0 }, // the acquisition waits too (bit 29)
        { 1500000, 0xE0200000, node(9), 1.0 }, // waits for the bus trigger before step 2
        { 2000000, 0x60200000, node(9), 3.0 },
        { 2499999, 0x60200000, node(9), 3.0 },
        { 3000000, 0x00000000, node(6), 0.0 },
    };
    for (const Expect &e : timeline) {
        const QVector<quint32> block = readUnit(board, 0xE0000000, 4, e.t).mid(2);
        QCOMPARE(block.at(0) & 0xE0200000, e.status);
        QCOMPARE(block.at(2), e.node);
        QCOMPARE(block.at(3), 1u);
        QCOMPARE(board.operatingPoint().amps, e.amps);
        if (e.t == 1500000)
            board.exchange({ 0x50000004, 1, 0x10000 }, e.t);
    }
    // 1 A for 1.5 s and 3 A for 1 s: 4.5 As = 1250 µAh, counted while the load was on.
    const QVector<quint32> rx = readUnit(board, 0x80C00000, 16, 3000000).mid(2);
    QCOMPARE(word64(rx, 4), 1250);
    QCOMPARE(word64(rx, 6), 2500000);
    // The load went off at 2.5 s; the record came one aperture later.
    QCOMPARE(board.acquisition().written(), 1);
    QCOMPARE(word64(readUnit(board, 0x80800000, 16, 3000000).mid(2), 6), 2500000);
}

void tst_PowerBoard::rampIntegratesExactly()
{
    Board board(0);
    ProgramImage image;
    ProgramImage::Step ramp;
    ramp.dwellUs = 1000000;
    ramp.operate = 0x30010; // load on, ramp
    ramp.rampIncrement = 2; // 0 A up to 2 A in 1 s
    ProgramImage::Step last;
    last.operate = 0x10;
    image.root(image.program(5, 1, { ramp }, last), 0x1);
    board.exchange(image.message(), 0);
    board.advance(250000);
    QCOMPARE(board.operatingPoint().amps, 0.5);
    // Source 12 V behind 0.1 ohm: 1 As = 277.8 µAh; 12 W·s - 0.1 · 4/3 W·s = 3296.3 µWh.
    const QVector<quint32> rx = readUnit(board, 0x80C00000, 16, 2000000).mid(2);
    QCOMPARE(word64(rx, 4), 278);
    QCOMPARE(word64(rx, 8), 3296);
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
    // Count 1 µs; interval sampling, 3 records, timer 1000 counts, delay 500, aperture 40.
    QVERIFY(board.setMicrosPerCount(1.0));
    initiateAcquisition(board, { 0x901, 0, 500, 3, 1000, 40 });
    QCOMPARE(writtenAt(board, 1499), 0u);
    QCOMPARE(writtenAt(board, 1500), 1u);
    QCOMPARE(writtenAt(board, 2600), 2u);
    QCOMPARE(writtenAt(board, 100000), 3u); // the trigger count ends the acquisition
    const QVector<quint32> records = readUnit(board, 0x80800000 + 64, 32, 100000).mid(2);
    QCOMPARE(records.at(15), 40u);
    QCOMPARE(average(records.mid(16), 0), 12.0);
    QCOMPARE(readUnit(board, 0x80800000 + 3 * 64, 16, 100000).mid(2), QVector<quint32>(16, 0));

    // A new initiate starts from record 0; abort stops the count where it is.
    initiateAcquisition(board, { 0x901, 0, 0, 100, 1000, 40 }, 200000);
    QCOMPARE(writtenAt(board, 202000), 2u);
    board.exchange({ 0x50000004, 1, 0x200 }, 202500);
    QCOMPARE(writtenAt(board, 300000), 2u);
}

void tst_PowerBoard::traceBackToBackWithoutInterval()
{
    // Immediate, no interval sampling: after the delay, one record per aperture.
    Board board(0);
    QVERIFY(board.setMicrosPerCount(1.0));
    initiateAcquisition(board, { 0x101, 0, 500, 3, 1000, 40 });
    QCOMPARE(writtenAt(board, 539), 0u);
    QCOMPARE(writtenAt(board, 540), 1u);
    QCOMPARE(writtenAt(board, 580), 2u);
    QCOMPARE(writtenAt(board, 619), 2u);
    QCOMPARE(writtenAt(board, 10000), 3u);
    QVERIFY(!(board.statusWord() & 0x20000000));
}

void tst_PowerBoard::traceOneRecordPerTriggerWithoutInterval()
{
    // Bus source, no interval sampling: each trigger gives one record after delay + aperture,
    // then the acquisition waits again; a trigger while it measures is ignored.
    Board board(0);
    QVERIFY(board.setMicrosPerCount(1.0));
    initiateAcquisition(board, { 0x200, 0, 5, 2, 1000, 10 });
    QVERIFY(board.statusWord() & 0x20000000);
    board.advance(1000);
    QCOMPARE(board.acquisition().written(), 0);

    board.exchange({ 0x50000000, 2, 0, 0x10000 }, 1000);
    QVERIFY(!(board.statusWord() & 0x20000000));
    board.exchange({ 0x50000000, 2, 0, 0x10000 }, 1010); // ignored: the record is being taken
    board.advance(1014);
    QCOMPARE(board.acquisition().written(), 0);
    board.advance(1015);
    QCOMPARE(board.acquisition().written(), 1);
    QVERIFY(board.statusWord() & 0x20000000);
    board.advance(5000);
    QCOMPARE(board.acquisition().written(), 1);

    board.exchange({ 0x50000000, 2, 0, 0x10000 }, 5000);
    board.advance(5015);
    QCOMPARE(board.acquisition().written(), 2);
    QVERIFY(!(board.statusWord() & 0x20000000));

    // With interval sampling one trigger starts the whole series.
    initiateAcquisition(board, { 0xA00, 0, 0, 3, 10, 1 }, 6000);
    board.exchange({ 0x50000000, 2, 0, 0x10000 }, 6000);
    board.advance(6030);
    QCOMPARE(board.acquisition().written(), 3);
}

using BoardAction = std::function<void(Board &, qint64 t)>;
Q_DECLARE_METATYPE(BoardAction)

void tst_PowerBoard::traceSources_data()
{
    QTest::addColumn<quint32>("sources");
    QTest::addColumn<BoardAction>("action");
    QTest::addColumn<bool>("triggers");

    const BoardAction bus = [](Board &b, qint64 t) {
        b.exchange({ 0x50000000, 2, 0, 0x10000 }, t);
    };
    const BoardAction msync = [](Board &b, qint64 t) {
        b.exchange({ 0x50000004, 1, 0x8000 }, t);
    };
    const BoardAction pin = [](Board &b, qint64 t) {
        b.triggerTransient(sim::ProgramExecutor::Digital2, t);
    };
    // A steady program started with an immediate transient trigger (transient source 0x1).
    const BoardAction start = [](Board &b, qint64 t) {
        writeSteadyProgram(b, LoadOn, 1000000, 0, t);
    };
    // The load goes on with the program, then off with a second one.
    const BoardAction loadOff = [](Board &b, qint64 t) {
        writeSteadyProgram(b, LoadOn, 1000000, 0, t);
        writeSteadyProgram(b, 0, 1000000, 0, t + 100);
    };
    QTest::newRow("bus") << 0x200u << bus << true;
    QTest::newRow("bus, not a source") << 0x2000u << bus << false;
    QTest::newRow("mutual sync") << 0x8000u << msync << true;
    QTest::newRow("mutual sync, not a source") << 0x200u << msync << false;
    QTest::newRow("digital2 pin") << 0x2000u << pin << true;
    QTest::newRow("digital2 pin, not a source") << 0x400u << pin << false;
    QTest::newRow("transient start") << 0x4000u << start << true;
    QTest::newRow("transient start, not a source") << 0x200u << start << false;
    QTest::newRow("load off") << 0x400u << loadOff << true;
    QTest::newRow("load off, not a source") << 0x200u << loadOff << false;
}

void tst_PowerBoard::traceSources()
{
    QFETCH(quint32, sources);
    QFETCH(BoardAction, action);
    QFETCH(bool, triggers);
    Board board(0);
    QVERIFY(board.setMicrosPerCount(1.0));
    // Transient source immediate; one record, aperture 10 counts.
    initiateAcquisition(board, { sources | 0x1, 0, 0, 1, 1000, 10 });
    QVERIFY(board.statusWord() & 0x20000000);
    action(board, 1000);
    board.advance(2000);
    QCOMPARE(board.acquisition().written(), triggers ? 1 : 0);
    QCOMPARE(bool(board.statusWord() & 0x20000000), !triggers);
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
    row("program idle", { "program" }, "OK idle 00000000 0");
    row("program usage", { "program now" }, "ERR usage: program");
    row("trigger input pin", { "trigger input" }, "OK idle 00000000 0");
    row("trigger unknown pin", { "trigger bus" }, "ERR usage: trigger input|digital2");
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
