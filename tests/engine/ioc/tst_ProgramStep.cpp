#include "engine/ioc/AvlTree.h"
#include "engine/ioc/ProgramStep.h"

#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

using ioc::AvlTree;
using ioc::ProgramStep;
using ioc::StepRecord;

using StepAction = std::function<void(ProgramStep *)>;
Q_DECLARE_METATYPE(StepAction)

namespace {

struct StepDeleter
{
    void operator()(ProgramStep *step) const { delete step; }
};
using StepPtr = std::unique_ptr<ProgramStep, StepDeleter>;

// Which records a step would send, as "data", "node" or "data+node" ("" for none).
QString pendingKinds(const ProgramStep &step)
{
    QStringList kinds;
    for (const StepRecord &record : step.records())
        kinds << (record.address >= ProgramStep::NodeBase ? "node" : "data");
    return kinds.join('+');
}

} // namespace

class tst_ProgramStep : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void defaultRecords();
    void pulseWidth_data();
    void pulseWidth();
    void pulseWidthClearsTriggerOut();
    void time_data();
    void time();
    void ramp_data();
    void ramp();
    void changeMarks_data();
    void changeMarks();
    void triggerFlagsKeepOtherBits();
    void assignmentCopiesSettingsOnly();
    void subProgramSendsOnlyNodeRecord();
    void poolWrapsToLowestFreeSlotAndRefusesWhenFull();
    void programStepInfo();
    void messageWords();
};

void tst_ProgramStep::initTestCase()
{
    // The very first step of the process takes slot 0.
    StepPtr step(new ProgramStep(7));
    QVERIFY(step);
    QCOMPARE(step->slot(), 0);
    QCOMPARE(step->dataAddress(), 0u);
    QCOMPARE(step->nodeAddress(), 0x400000u);
    QCOMPARE(step->stepNumber(), 7u);
}

void tst_ProgramStep::defaultRecords()
{
    StepPtr step(new ProgramStep(3));
    const QVector<StepRecord> records = step->records();
    QCOMPARE(records.size(), 2);

    const quint32 slot = quint32(step->slot());
    QCOMPARE(records[0].address, 64 * slot);
    QVector<quint32> data(16, 0);
    data[0] = 50; // dwell 50 us, low word
    data[2] = 0x10; // trigger-out pulse width 10
    data[4] = 0xFFFFFFFF; // slew rate
    QCOMPARE(records[0].words, data);

    QCOMPARE(records[1].address, 0x400000 + 32 * slot);
    const QVector<quint32> node { 1, 0, 0, 0, 64 * slot, 0xFFFFFFFF, 0xFFFFFFFF, 0 };
    QCOMPARE(records[1].words, node);

    QCOMPARE(step->takeRecords().size(), 2);
    QVERIFY(step->records().isEmpty());
}

void tst_ProgramStep::pulseWidth_data()
{
    QTest::addColumn<qlonglong>("width");
    QTest::addColumn<quint32>("code");
    QTest::addColumn<qlonglong>("decoded");

    QTest::newRow("10") << 10LL << 0x010u << 10LL;
    QTest::newRow("999") << 999LL << 0x999u << 999LL;
    QTest::newRow("1000") << 1000LL << 0x1100u << 1000LL;
    QTest::newRow("12345 truncated") << 12345LL << 0x2123u << 12300LL;
    QTest::newRow("250000") << 250000LL << 0x3250u << 250000LL;
    QTest::newRow("1000000 hundreds digit 10") << 1000000LL << 0x3A00u << 1000000LL;
    QTest::newRow("2000000 too wide") << 2000000LL << 0u << 0LL;
    QTest::newRow("negative") << -5LL << 0u << 0LL;
}

void tst_ProgramStep::pulseWidth()
{
    QFETCH(qlonglong, width);
    QFETCH(quint32, code);
    QFETCH(qlonglong, decoded);

    StepPtr step(new ProgramStep(0));
    step->setLoad(true);
    step->setTriggerOutPulseWidth(long(width));
    QCOMPARE(step->operate() & 0x7FFF, code);
    QCOMPARE(qlonglong(step->triggerOutPulseWidth()), decoded);
    QVERIFY(step->isLoad());
}

void tst_ProgramStep::pulseWidthClearsTriggerOut()
{
    // The width shares the low 15 bits with the trigger-out bit: the width goes first.
    StepPtr step(new ProgramStep(0));
    step->setTriggerOut(true);
    step->setTriggerOutPulseWidth(10);
    QVERIFY(!step->isTriggerOut());
    step->setTriggerOut(true);
    QCOMPARE(step->operate(), 0x4010u);
}

void tst_ProgramStep::time_data()
{
    QTest::addColumn<bool>("real");
    QTest::addColumn<double>("value");
    QTest::addColumn<quint64>("stored");

    const quint64 max = (quint64(1) << 48) - 1;
    QTest::newRow("0 us") << false << 0.0 << quint64(5);
    QTest::newRow("4 us") << false << 4.0 << quint64(5);
    QTest::newRow("2^48 us") << false << double(quint64(1) << 48) << max;
    QTest::newRow("1.5 s") << true << 1.5 << quint64(1500000);
    QTest::newRow("0 s ignored") << true << 0.0 << quint64(50);
    QTest::newRow("negative s ignored") << true << -2.0 << quint64(50);
    QTest::newRow("1e12 s clamped") << true << 1e12 << max;
}

void tst_ProgramStep::time()
{
    QFETCH(bool, real);
    QFETCH(double, value);
    QFETCH(quint64, stored);

    StepPtr step(new ProgramStep(0));
    step->takeRecords();
    if (real)
        step->setRealTime(value);
    else
        step->setTime(quint64(value));
    QCOMPARE(step->time(), stored);
    QCOMPARE(step->isDataChanged(), stored != 50);
    const QVector<quint32> words = step->dataRecord().words;
    QCOMPARE(quint64(words[0]) | (quint64(words[1]) << 32), stored);
}

void tst_ProgramStep::ramp_data()
{
    QTest::addColumn<quint64>("dwell");
    QTest::addColumn<quint32>("start");
    QTest::addColumn<quint32>("target");
    QTest::addColumn<bool>("onCp");
    QTest::addColumn<quint32>("increment");
    QTest::addColumn<quint32>("remainder");

    QTest::newRow("falling") << quint64(100) << 1000u << 0u << false << 0x8000000Au << 0u;
    QTest::newRow("rising") << quint64(100) << 0u << 1000u << false << 10u << 0u;
    QTest::newRow("remainder") << quint64(7) << 0u << 100u << true << 14u << 2u;
    QTest::newRow("full range") << quint64(5) << 0xFFFFFFFFu << 0u << false
                                << (0x80000000u | 858993459u) << 0u;
    QTest::newRow("flat") << quint64(100) << 500u << 500u << true << 0u << 0u;
}

void tst_ProgramStep::ramp()
{
    QFETCH(quint64, dwell);
    QFETCH(quint32, start);
    QFETCH(quint32, target);
    QFETCH(bool, onCp);
    QFETCH(quint32, increment);
    QFETCH(quint32, remainder);

    StepPtr step(new ProgramStep(0));
    step->setTime(dwell);
    step->setDc(111);
    step->setCp(222);
    step->takeRecords();
    step->setRamp(true, start, target, onCp);
    QCOMPARE(step->rampIncrement(), increment);
    QCOMPARE(step->rampRemainder(), remainder);

    // The start level replaces the level word that the ramp runs on.
    const QVector<quint32> words = step->dataRecord().words;
    QCOMPARE(words[2] & 0x20000, 0x20000u);
    QCOMPARE(words[3], onCp ? 111u : start);
    QCOMPARE(words[6], onCp ? start : 222u);
    QCOMPARE(words[8], increment);
    QCOMPARE(words[9], remainder);
    QVERIFY(step->isDataChanged());

    // Off keeps the ramp words but the levels are their own again.
    step->setRamp(false, 0, 0, onCp);
    QCOMPARE(step->rampIncrement(), increment);
    QCOMPARE(step->dataRecord().words[3], 111u);
    QCOMPARE(step->dataRecord().words[6], 222u);
}

void tst_ProgramStep::changeMarks_data()
{
    QTest::addColumn<StepAction>("action");
    QTest::addColumn<QString>("sent");

    // The step starts as: load on, dc 100, loop 2, all marks cleared.
    QTest::newRow("same dc") << StepAction([](ProgramStep *s) {
        s->setDc(100);
    }) << "";
    QTest::newRow("new dc") << StepAction([](ProgramStep *s) {
        s->setDc(101);
    }) << "data";
    QTest::newRow("cc limit is the slew word") << StepAction([](ProgramStep *s) {
        s->setCcLimit(0xFFFFFFFF);
    }) << "";
    QTest::newRow("load again") << StepAction([](ProgramStep *s) {
        s->setLoad(true);
    }) << "data";
    QTest::newRow("same operate") << StepAction([](ProgramStep *s) {
        s->setOperate(s->operate());
    }) << "";
    QTest::newRow("short") << StepAction([](ProgramStep *s) {
        s->setOutputShort(true);
    }) << "data";
    QTest::newRow("same loop") << StepAction([](ProgramStep *s) {
        s->setLoop(2);
    }) << "";
    QTest::newRow("loop 0 is 1") << StepAction([](ProgramStep *s) {
        s->setLoop(0);
        QCOMPARE(s->loop(), 1u);
    }) << "node";
    QTest::newRow("same ramp twice") << StepAction([](ProgramStep *s) {
        s->setRamp(true, 0, 500, false);
        s->takeRecords();
        s->setRamp(true, 0, 500, false);
    }) << "";
    QTest::newRow("ramp off") << StepAction([](ProgramStep *s) {
        s->setRamp(false, 9, 9, false);
    }) << "";
    QTest::newRow("child") << StepAction([](ProgramStep *s) {
        StepPtr child(new ProgramStep(9));
        s->setLeftChild(child.get());
        QCOMPARE(s->leftChildAddress(), child->nodeAddress());
        s->takeRecords();
        s->setLeftChild(child.get());
        QVERIFY(!s->isLinkChanged());
        s->setLeftChild(nullptr);
        QCOMPARE(s->leftChildAddress(), 0xFFFFFFFFu);
    }) << "node";
    QTest::newRow("original step of an ordinary step") << StepAction([](ProgramStep *s) {
        s->setOriginalStep();
    }) << "node";
}

void tst_ProgramStep::changeMarks()
{
    QFETCH(StepAction, action);
    QFETCH(QString, sent);

    StepPtr step(new ProgramStep(0));
    step->setLoad(true);
    step->setDc(100);
    step->setLoop(2);
    step->takeRecords();
    action(step.get());
    QCOMPARE(pendingKinds(*step), sent);
}

void tst_ProgramStep::triggerFlagsKeepOtherBits()
{
    StepPtr step(new ProgramStep(0));
    step->setLoad(true);
    step->setTriggerOutPulseWidth(250);
    step->setTriggerWait(ProgramStep::WaitBus | ProgramStep::WaitTriggerIn);
    step->setTriggerGenerate(ProgramStep::GenerateDigital1 | ProgramStep::GenerateTriggerOut);
    QCOMPARE(step->operate(), 0x20000000u | 0x8000u | 0x2000000u | 0x4000u | 0x10000u | 0x250u);
    QCOMPARE(step->triggerWait(), ProgramStep::WaitBus | ProgramStep::WaitTriggerIn);

    step->setTriggerWait({});
    step->setTriggerGenerate({});
    QCOMPARE(step->operate(), 0x10000u | 0x250u);
}

void tst_ProgramStep::assignmentCopiesSettingsOnly()
{
    StepPtr from(new ProgramStep(1));
    StepPtr to(new ProgramStep(2));
    from->setTime(1234);
    from->setDc(5);
    from->setSlewRate(6);
    from->setCvLimit(7);
    from->setCp(8);
    from->setUvp(9);
    from->setRamp(true, 0, 12340, true);
    from->setLoop(4);
    to->takeRecords();

    *to = *from;
    QCOMPARE(to->stepNumber(), 2u);
    QCOMPARE(to->nodeAddress(), 0x400000u + 32u * quint32(to->slot()));
    QCOMPARE(to->loop(), 4u);
    QCOMPARE(pendingKinds(*to), QString("data+node"));
    QVector<quint32> expected = from->dataRecord().words;
    QCOMPARE(to->dataRecord().words, expected);
    QCOMPARE(to->dataRecord().address, 64u * quint32(to->slot()));
}

void tst_ProgramStep::subProgramSendsOnlyNodeRecord()
{
    AvlTree sub;
    QVERIFY(sub.isValid());
    StepPtr step(new ProgramStep(0));
    step->takeRecords();
    step->setDc(42); // data mark set as well

    step->setSubProgram(&sub);
    QVERIFY(step->isSubProgram());
    const QVector<StepRecord> records = step->takeRecords();
    QCOMPARE(records.size(), 1);
    QCOMPARE(records[0].address, step->nodeAddress());
    QCOMPARE(records[0].words[4], sub.getRootAddress());

    // Back to an ordinary step: its slot's data record was never sent for these settings.
    step->setLoop(3);
    step->takeRecords();
    step->setOriginalStep();
    QCOMPARE(step->loop(), 1u);
    QCOMPARE(pendingKinds(*step), QString("data+node"));
    QCOMPARE(step->dataRecord().words[3], 42u);
    QCOMPARE(step->nodeRecord().words[4], 64u * quint32(step->slot()));
}

void tst_ProgramStep::poolWrapsToLowestFreeSlotAndRefusesWhenFull()
{
    const int freeBefore = ProgramStep::freeSlots();
    std::vector<StepPtr> steps;
    while (ProgramStep *step = new ProgramStep(1))
        steps.emplace_back(step);
    QCOMPARE(int(steps.size()), freeBefore);
    QCOMPARE(ProgramStep::freeSlots(), 0);
    QVERIFY(!(new ProgramStep(2)));

    // After the end of the pool the allocator wraps to the lowest free slot.
    auto bySlot = [&steps](int slot) -> StepPtr & {
        for (StepPtr &s : steps) {
            if (s && s->slot() == slot)
                return s;
        }
        static StepPtr none;
        return none;
    };
    // Make the last slot the one taken last, then free two below it.
    bySlot(ProgramStep::PoolSize - 1).reset();
    StepPtr last(new ProgramStep(2));
    QCOMPARE(last->slot(), ProgramStep::PoolSize - 1);
    bySlot(15000).reset();
    bySlot(5).reset();
    QCOMPARE(ProgramStep::freeSlots(), 2);
    StepPtr a(new ProgramStep(3));
    StepPtr b(new ProgramStep(4));
    QVERIFY(a && b);
    QCOMPARE(a->slot(), 5);
    QCOMPARE(b->slot(), 15000);
    QCOMPARE(a->dataAddress(), 5u * 64);
    QVERIFY(!(new ProgramStep(5)));

    steps.clear();
    last.reset();
    a.reset();
    b.reset();
    QCOMPARE(ProgramStep::freeSlots(), freeBefore);
}

void tst_ProgramStep::programStepInfo()
{
    StepPtr step(new ProgramStep(0));
    const quint32 node = step->nodeAddress();
    QCOMPARE(ProgramStep::programStepInfo(node), step.get());
    QCOMPARE(ProgramStep::programStepInfo(0x3FFFE0), nullptr);
    QCOMPARE(ProgramStep::programStepInfo(0x400000 + 32 * 20000), nullptr);
    QCOMPARE(ProgramStep::programStepInfo(step->dataAddress()), nullptr);
    step.reset();
    QCOMPARE(ProgramStep::programStepInfo(node), nullptr);
}

void tst_ProgramStep::messageWords()
{
    const QVector<StepRecord> records { { 0x40, { 1, 2 } }, { 0x400020, { 3 } } };
    const QVector<quint32> expected { 0x40, 2, 1, 2, 0x400020, 1, 3 };
    QCOMPARE(ProgramStep::messageWords(records), expected);
}

QTEST_APPLESS_MAIN(tst_ProgramStep)
#include "tst_ProgramStep.moc"
