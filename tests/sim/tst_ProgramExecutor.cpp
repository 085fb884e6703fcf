#include "sim/ProgramExecutor.h"
#include "sim/RegisterMemory.h"
#include "tests/sim/ProgramImage.h"

#include <QtTest>

using sim::ProgramExecutor;
using sim::RegisterMemory;
using Step = ProgramImage::Step;

namespace {
constexpr quint32 Start = 0x1;
constexpr quint32 Abort = 0x2;
constexpr quint32 Pause = 0x4;
constexpr quint32 Resume = 0x8;
constexpr quint32 BusTrigger = 0x10000;

quint32 node(quint32 slot)
{
    return ProgramImage::node(slot);
}

Step step(quint64 dwell, quint32 dc, quint32 operate = 0x10010)
{
    Step s;
    s.dwellUs = dwell;
    s.dcLevel = dc;
    s.operate = operate;
    return s;
}

// Programs of the script table. The program under test takes slots 5 on (tail 5, last step 6,
// head 7, steps from 8), as it would after the steady program's slots 0-4.
quint32 build(const QString &name, ProgramImage &image)
{
    const Step last = step(50, 500, 0x10);
    if (name == QLatin1String("three steps, twice"))
        return image.program(5, 2, { step(100, 1), step(200, 2), step(300, 3) }, last);
    if (name == QLatin1String("waits")) {
        // Step 2 waits for a bus trigger before it, step 3 for the trigger input after it.
        return image.program(
            5, 1, { step(100, 1), step(100, 2, 0x20010010), step(100, 3, 0x18010) }, last);
    }
    if (name == QLatin1String("other waits")) {
        // Mutual sync and DIGITAL2 before, cut-off after (bit 11 of the pulse-width code).
        return image.program(5,
            1,
            { step(100, 1, 0x80010010), step(100, 2, 0x40010010), step(100, 3, 0x10810) },
            last);
    }
    if (name == QLatin1String("sub-program")) {
        // The sub-program (slots 20-24) runs once per pass; step 2 calls it twice.
        const quint32 sub = image.program(20, 1, { step(10, 21), step(20, 22) }, step(5, 999));
        Step call;
        call.call = sub;
        call.loops = 2;
        return image.program(5, 1, { step(100, 1), call, step(100, 3) }, last);
    }
    if (name == QLatin1String("repeated step")) {
        Step twice = step(30, 2);
        twice.loops = 3;
        return image.program(5, 1, { step(10, 1), twice }, last);
    }
    if (name == QLatin1String("endless")) {
        return image.program(5, ProgramExecutor::Endless, { step(10, 1), step(10, 2) }, last);
    }
    if (name == QLatin1String("ramp")) {
        // 1,000,000 up to 2,000,000 over 100 µs: 10,000 a µs, no remainder.
        Step ramp = step(100, 1000000, 0x30010);
        ramp.rampIncrement = 10000;
        Step fall = step(100, 2000000, 0x30010);
        fall.rampIncrement = 0x80000000 | 5000;
        return image.program(5, 1, { ramp, fall }, last);
    }
    if (name == QLatin1String("calls itself")) {
        image.unit(node(7), { 1, 0, 0, 0, node(8), ProgramImage::None, ProgramImage::None, 0 });
        image.unit(node(8), { 1, 0, 0, 0, node(7), ProgramImage::None, ProgramImage::None, 0 });
        return node(7);
    }
    return 0x100; // no node at all
}
} // namespace

class tst_ProgramExecutor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void script_data();
    void script();
};

// Each line: "<µs> <action>". Actions: "cmd HEX" (program command word), "pin input|digital2",
// "cutoff", "expect PHASE NODE-SLOT LOOP LEVEL" with PHASE idle, trigger, delay, run, wait or
// pause, the node's slot (or "-" for address 0) and the applied DC level ("-": none).
void tst_ProgramExecutor::script_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<quint32>("triggerWord");
    QTest::addColumn<quint32>("delay");
    QTest::addColumn<QStringList>("lines");
    auto row = [](const char *name,
                   const char *program,
                   quint32 triggerWord,
                   quint32 delay,
                   const QStringList &lines) {
        QTest::newRow(name) << QString::fromLatin1(program) << triggerWord << delay << lines;
    };

    row("three steps run twice, then the last step",
        "three steps, twice",
        0x101u,
        0u,
        {
            "0 expect idle - 0 -",
            "0 cmd 1",
            "0 expect run 8 1 1",
            "99 expect run 8 1 1",
            "100 expect run 9 1 2",
            "300 expect run 10 1 3",
            "599 expect run 10 1 3",
            "600 expect run 8 2 1",
            "700 expect run 9 2 2",
            "900 expect run 10 2 3",
            "1200 expect idle 6 2 500",
            "100000 expect idle 6 2 500",
        });
    row("bus trigger starts, after the trigger delay",
        "three steps, twice",
        0x102u,
        40u,
        {
            "0 cmd 1",
            "0 expect trigger - 0 -",
            "5000 expect trigger - 0 -",
            "5000 cmd 10000",
            "5000 expect delay - 0 -",
            "5039 expect delay - 0 -",
            "5040 expect run 8 1 1",
            "5140 expect run 9 1 2",
        });
    row("start sources without bus ignore the bus trigger",
        "three steps, twice",
        0x120u,
        0u,
        {
            "0 cmd 1",
            "10 cmd 10000",
            "20 expect trigger - 0 -",
            "30 pin digital2",
            "30 expect run 8 1 1",
        });
    row("start and bus trigger in one word",
        "three steps, twice",
        0x102u,
        0u,
        {
            "0 cmd 10001",
            "0 expect run 8 1 1",
        });
    row("step waits hold until their trigger",
        "waits",
        0x101u,
        0u,
        {
            "0 cmd 1",
            "100 expect wait 9 1 1", // before step 2: step 1's levels hold
            "1000000 expect wait 9 1 1",
            "1000000 pin input",
            "1000000 expect wait 9 1 1",
            "1000000 cmd 10000",
            "1000000 expect run 9 1 2",
            "1000100 expect run 10 1 3",
            "1000200 expect wait 10 1 3", // after step 3's dwell
            "1000300 pin input",
            "1000300 expect idle 6 1 500",
        });
    row("a bus trigger continues the trigger-input wait",
        "waits",
        0x101u,
        0u,
        {
            "0 cmd 1",
            "150 cmd 10000",
            "250 expect run 10 1 3",
            "400 cmd 10000",
            "400 expect idle 6 1 500",
        });
    row("mutual-sync, DIGITAL2 and cut-off waits",
        "other waits",
        0x101u,
        0u,
        {
            "0 cmd 1",
            "0 expect wait 8 1 -",
            "10 pin digital2",
            "10 expect wait 8 1 -",
            "10 cmd 80",
            "10 expect run 8 1 1",
            "110 expect wait 9 1 1",
            "120 pin digital2",
            "120 expect run 9 1 2",
            "320 expect wait 10 1 3",
            "330 cutoff",
            "330 expect idle 6 1 500",
        });
    row("abort holds the levels and returns to idle",
        "three steps, twice",
        0x101u,
        0u,
        {
            "0 cmd 1",
            "150 cmd 2",
            "150 expect idle 9 1 2",
            "100000 expect idle 9 1 2",
            "100000 cmd 1",
            "100000 expect run 8 1 1",
        });
    row("abort while waiting for the start trigger",
        "three steps, twice",
        0x102u,
        0u,
        {
            "0 cmd 1",
            "10 cmd 2",
            "10 expect idle - 0 -",
            "20 cmd 10000",
            "20 expect idle - 0 -",
        });
    row("pause freezes the dwell, resume goes on",
        "three steps, twice",
        0x101u,
        0u,
        {
            "0 cmd 1",
            "50 cmd 4",
            "50 expect pause 8 1 1",
            "5000 expect pause 8 1 1",
            "5000 cmd 10000", // not waiting: the trigger changes nothing
            "5000 cmd 8",
            "5049 expect run 8 1 1",
            "5050 expect run 9 1 2",
            "6150 expect idle 6 2 500",
        });
    row("pause while waiting is ignored",
        "waits",
        0x101u,
        0u,
        {
            "0 cmd 1",
            "100 cmd 4",
            "100 expect wait 9 1 1",
            "200 cmd 10000",
            "200 expect run 9 1 2",
        });
    row("pause during the trigger delay",
        "three steps, twice",
        0x101u,
        100u,
        {
            "0 cmd 1",
            "50 cmd 4",
            "500 expect pause - 0 -",
            "500 cmd 8",
            "549 expect delay - 0 -",
            "550 expect run 8 1 1",
        });
    row("sub-program called twice, then return",
        "sub-program",
        0x101u,
        0u,
        {
            "0 cmd 1",
            "100 expect run 23 1 21",
            "110 expect run 24 1 22",
            "130 expect run 23 1 21",
            "140 expect run 24 1 22",
            "160 expect run 10 1 3",
            "260 expect idle 6 1 500",
        });
    row("a step's loop count repeats it",
        "repeated step",
        0x101u,
        0u,
        {
            "0 cmd 1",
            "10 expect run 9 1 2",
            "99 expect run 9 1 2",
            "100 expect idle 6 1 500",
        });
    row("endless program counts its passes",
        "endless",
        0x101u,
        0u,
        {
            "0 cmd 1",
            "45 expect run 8 3 1",
            "1000015 expect run 9 50001 2",
        });
    row("ramps move the level over the dwell",
        "ramp",
        0x101u,
        0u,
        {
            "0 cmd 1",
            "0 expect run 8 1 1000000",
            "50 expect run 8 1 1500000",
            "100 expect run 9 1 2000000",
            "160 expect run 9 1 1700000",
        });
    row("a root that is no node ends at once",
        "none",
        0x101u,
        0u,
        {
            "0 cmd 1",
            "0 expect idle - 0 -",
        });
    row("a program that calls itself ends",
        "calls itself",
        0x101u,
        0u,
        {
            "0 cmd 1",
            "0 expect idle - 1 -",
        });
}

void tst_ProgramExecutor::script()
{
    QFETCH(QString, program);
    QFETCH(quint32, triggerWord);
    QFETCH(quint32, delay);
    QFETCH(QStringList, lines);

    RegisterMemory memory;
    ProgramImage image;
    const quint32 head = build(program, image);
    image.root(head);
    image.unit(0x50000008, { triggerWord, delay });
    image.writeTo(memory);
    ProgramExecutor exec(memory);

    const QStringList phases { "idle", "trigger", "delay", "wait", "run", "wait" };
    for (const QString &line : lines) {
        const QStringList w = line.split(QLatin1Char(' '));
        const qint64 t = w.at(0).toLongLong();
        exec.advance(t);
        const QString action = w.at(1);
        if (action == QLatin1String("cmd")) {
            exec.command(w.at(2).toUInt(nullptr, 16), t);
        } else if (action == QLatin1String("pin")) {
            exec.trigger(w.at(2) == QLatin1String("input") ? ProgramExecutor::Input
                                                           : ProgramExecutor::Digital2,
                t);
        } else if (action == QLatin1String("cutoff")) {
            exec.setCutoff(true, t);
        } else {
            const sim::StepRecord applied = exec.appliedStep(t, false);
            const QString phase =
                exec.paused() ? QStringLiteral("pause") : phases.at(int(exec.phase()));
            const QString got =
                QStringLiteral("%1 %2 %3 %4")
                    .arg(phase)
                    .arg(exec.nodeAddress() == 0
                            ? QStringLiteral("-")
                            : QString::number((exec.nodeAddress() - 0x400000) / 32))
                    .arg(exec.loopCounter())
                    .arg(applied.valid ? QString::number(applied.dcLevel) : QStringLiteral("-"));
            QCOMPARE(QString(line + QLatin1String(" -> ") + got),
                QString(line + QLatin1String(" -> ") + w.mid(2).join(QLatin1Char(' '))));
            // Status bit 30 while started, bit 31 while waiting for a trigger.
            const quint32 bits = exec.statusBits();
            QCOMPARE(bool(bits & 0x40000000), phase != QLatin1String("idle"));
            QCOMPARE(bool(bits & 0x80000000),
                phase == QLatin1String("trigger") || phase == QLatin1String("wait"));
        }
    }
}

QTEST_GUILESS_MAIN(tst_ProgramExecutor)
#include "tst_ProgramExecutor.moc"
