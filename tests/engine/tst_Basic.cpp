#include "engine/Basic.h"
#include "tests/support/EngineFixture.h"

#include <QThread>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <functional>
#include <memory>

using ioc::IoControl;
using vek::Basic;
using vek::SCPIERR_T;
using vek::Source;
using Mode = KeywordBridge_CcCrCvCpArb;
using Range = KeywordBridge_LowMedHigh;

using Setup = std::function<void(Basic &)>;
using Call = std::function<SCPIERR_T(Basic &)>;
Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(Call)
Q_DECLARE_METATYPE(vek::updateTiming)

namespace {

constexpr quint32 ProgramGroupAddress = EngineFixture::ProgramGroupAddress; // word 0: root

// Words of a step's data record.
enum StepWord { TimeLow = 0, TimeHigh = 1, Operate = 2, Dc = 3, Slew = 4, CvLimit = 5, Cp = 6 };
constexpr quint32 LoadBit = 0x10000;
constexpr quint32 ArbBit = 0x40000;
constexpr quint32 AddCvBit = 0x800000;

// Register words of the board's model (one register unit is 1e-6 of the base unit).
constexpr quint32 Amps(double a)
{
    return quint32(a * 1e6 + 0.5);
}

} // namespace

// The basic settings over a writer and a monitor link on the simulated board (a single unit of
// 150 V, 30/3/0.3 A), with the status object in a thread of its own fed by both links, as the
// engine root wires them. The board's step memory and register log are the witness.
class tst_Basic : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void initializeRunsTheSteadyProgramWithTheLoadOff();
    void ccLevel_data();
    void ccLevel();
    void refusalsChangeNothing_data();
    void refusalsChangeNothing();
    void interlockedSetterSeesAStoreMadeWhileItWaits_data();
    void interlockedSetterSeesAStoreMadeWhileItWaits();
    void refusedLevelsKeepTheirDisplayValues();
    void modeChangeAppliesTheStoredLevels();
    void cvOptionMakesTheCvLevelTheUvpLimit();
    void rangeChangeClampsTheStepsAndKeepsTheSetting();
    void externalRangeInputAppliesTheRangeAgain();
    void ccLoadRegulatesTheSource();

private:
    void build();
    // Data record (16 words) of step 1 or 2, read from the board.
    QVector<quint32> step(int number);
    // Write units of the log that land in the data records of steps 1 and 2.
    int stepWrites();

    EngineFixture m_engine;
    std::unique_ptr<Basic> m_basic;
    quint32 m_stepData[3] = {};
    std::atomic<double> m_volts { 0.0 };
    std::atomic<double> m_amps { 0.0 };
};

void tst_Basic::init()
{
    QVERIFY2(m_engine.startBoard(), qPrintable(m_engine.errorString()));
    build();
}

void tst_Basic::cleanup()
{
    m_basic.reset();
    QVERIFY2(m_engine.stop(), qPrintable(m_engine.errorString()));
}

void tst_Basic::build()
{
    QVERIFY2(m_engine.buildLinks(true), qPrintable(m_engine.errorString()));
    // Direct: the record is read and freed in the monitor's thread.
    connect(
        m_engine.monitor.get(),
        &IoControl::monitorUpdated,
        this,
        [this](const ioc::TRACE_DATA *record) {
            m_volts = record->voltage;
            m_amps = record->current;
            delete record;
        },
        Qt::DirectConnection);

    m_basic = std::make_unique<Basic>(
        m_engine.writer.get(), m_engine.info.get(), m_engine.status.get(), &m_engine.config);
    QSignalSpy modes(m_basic.get(), &Source::operationModeChanged);
    QTRY_COMPARE(modes.size(), 1); // initialize() has run
    QVERIFY(m_engine.flushWriter());

    // Head -> root (step 2) -> its left child (step 1).
    const quint32 head = m_engine.peek(ProgramGroupAddress).value(0);
    const quint32 node2 = m_engine.peek(head, 8).value(4);
    const quint32 node1 = m_engine.peek(node2, 8).value(5);
    m_stepData[1] = m_engine.peek(node1, 8).value(4);
    m_stepData[2] = m_engine.peek(node2, 8).value(4);
    QVERIFY(m_stepData[1] != m_stepData[2]);
    QVERIFY(m_engine.board->clearLog());
}

QVector<quint32> tst_Basic::step(int number)
{
    m_engine.flushWriter();
    return m_engine.peek(m_stepData[number], 16);
}

int tst_Basic::stepWrites()
{
    m_engine.flushWriter();
    int writes = 0;
    for (const PowerBoard::LogEntry &e : m_engine.board->log()) {
        if (e.address == m_stepData[1] || e.address == m_stepData[2])
            ++writes;
    }
    return writes;
}

void tst_Basic::initializeRunsTheSteadyProgramWithTheLoadOff()
{
    // "OK <phase> <node> <loop>": the steady program runs, endlessly, at step 1 or 2.
    const QStringList program = m_engine.board->command("program").split(' ');
    QCOMPARE(program.value(1), QString("run"));
    for (int number : { 1, 2 }) {
        const QVector<quint32> words = step(number);
        QCOMPARE(words.value(TimeLow), 0xFFFFFFFFu);
        QCOMPARE(words.value(TimeHigh), 0xFFFFu);
        QCOMPARE(words.value(Operate) & LoadBit, 0u);
    }
    QCOMPARE(m_engine.board->command("measure").split(' ').value(3), QString("0"));
    QVERIFY(!Source::m_stateLoad);
}

void tst_Basic::ccLevel_data()
{
    QTest::addColumn<double>("amps");
    QTest::addColumn<vek::updateTiming>("timing");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("writes"); // data records of steps 1 and 2 sent
    QTest::addColumn<double>("stored");
    QTest::addColumn<bool>("announced");

    // The stored level is 2 A, in the steps of both.
    QTest::newRow("unchanged, if changed") << 2.0 << vek::UpdateIfChanged << 0 << 0 << 2.0 << false;
    QTest::newRow("unchanged, always") << 2.0 << vek::UpdateAlways << 0 << 2 << 2.0 << true;
    QTest::newRow("new level") << 2.5 << vek::UpdateIfChanged << 0 << 2 << 2.5 << true;
    QTest::newRow("rounds to the stored counts")
        << 2.0000004 << vek::UpdateIfChanged << 0 << 0 << 2.0 << false;
    QTest::newRow("above the maximum, if changed")
        << 31.0 << vek::UpdateIfChanged << -222 << 0 << 2.0 << false;
    QTest::newRow("above the maximum, always")
        << 31.0 << vek::UpdateAlways << 0 << 2 << 30.0 << true;
    QTest::newRow("above the maximum, steps only")
        << 31.0 << vek::UpdateStepsOnly << 0 << 2 << 2.0 << true;
    QTest::newRow("far beyond 32 bits, always")
        << 1e12 << vek::UpdateAlways << 0 << 2 << 30.0 << true;
    QTest::newRow("negative") << -0.5 << vek::UpdateIfChanged << -222 << 0 << 2.0 << false;
    QTest::newRow("not a number, always")
        << qQNaN() << vek::UpdateAlways << -222 << 0 << 2.0 << false;
}

void tst_Basic::ccLevel()
{
    QFETCH(double, amps);
    QFETCH(vek::updateTiming, timing);
    QFETCH(int, error);
    QFETCH(int, writes);
    QFETCH(double, stored);
    QFETCH(bool, announced);

    QCOMPARE(m_basic->setRealCurrentLevel(2.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(step(1).value(Dc), Amps(2.0));
    QVERIFY(m_engine.board->clearLog());
    QSignalSpy changes(m_basic.get(), &Basic::currentUiChanged);

    QCOMPARE(int(m_basic->setRealCurrentLevel(amps, timing)), error);
    QCOMPARE(stepWrites(), writes);
    QCOMPARE(m_basic->getRealCurrentLevel(), stored);
    QCOMPARE(changes.size(), announced ? 1 : 0);
    if (announced)
        QCOMPARE(changes.at(0).at(0).toDouble(), amps); // as requested, also when clamped
    const quint32 expected = Amps(timing == vek::UpdateIfChanged ? stored : qMin(amps, 30.0));
    for (int number : { 1, 2 }) {
        const QVector<quint32> words = step(number);
        QCOMPARE(words.value(Dc), error == 0 ? expected : Amps(2.0));
        QCOMPARE(words.value(TimeLow), 0xFFFFFFFFu);
        QCOMPARE(words.value(TimeHigh), 0xFFFFu);
    }
}

void tst_Basic::refusalsChangeNothing_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<Call>("call");
    QTest::addColumn<int>("error");

    const Setup none = [](Basic &) {};
    const Setup loadOn = [](Basic &) {
        Source::m_stateLoad = true;
    };
    const Setup running = [](Basic &) {
        Source::setProgramRunState(KeywordBridge_IdleWtgRun::RUN);
    };
    const auto mode = [](Mode::values m) {
        return Call([m](Basic &b) {
            return b.setFunctionMode(m);
        });
    };

    QTest::newRow("mode with the load on") << loadOn << mode(Mode::CR) << 102;
    QTest::newRow("unchanged mode with the load on") << loadOn << mode(Mode::CC) << 102;
    QTest::newRow("current range with the load on") << loadOn << Call([](Basic &b) {
        return b.setCurrentRange(Range::LOW);
    }) << 102;
    QTest::newRow("voltage range with the load on") << loadOn << Call([](Basic &b) {
        return b.setVoltageRange(KeywordBridge_LowHigh::HIGH);
    }) << 102;
    QTest::newRow("CV with the output short is checked before pulse") << Setup([](Basic &) {
        Source::m_outputShort = true;
        Source::m_pulseState = true;
    }) << mode(Mode::CV) << 103;
    QTest::newRow("CV with pulse") << Setup([](Basic &) {
        Source::m_pulseState = true;
    }) << mode(Mode::CV) << 105;
    QTest::newRow("CR with sine") << Setup([](Basic &) {
        Source::m_sineState = true;
    }) << mode(Mode::CR) << 113;
    QTest::newRow("mode while a program runs") << running << mode(Mode::CP) << 104;
    QTest::newRow("CV option while a program runs") << running << Call([](Basic &b) {
        return b.setFunctionModeCvOption(true);
    }) << 104;
    QTest::newRow("current range a program runs") << running << Call([](Basic &b) {
        return b.setCurrentRange(Range::MED);
    }) << 104;
    QTest::newRow("slew rate below the minimum") << none << Call([](Basic &b) {
        return b.setRealCurrentSlewRateLevel(0.001, vek::UpdateIfChanged);
    }) << -222;
    QTest::newRow("conductance above the maximum") << none << Call([](Basic &b) {
        return b.setRealConductanceLevel(20.5, vek::UpdateIfChanged);
    }) << -222;
    QTest::newRow("count setter below the minimum") << none << Call([](Basic &b) {
        return b.setCurrentLevel(-1, vek::UpdateIfChanged);
    }) << -222;
    QTest::newRow("output short in CP") << Setup([](Basic &) {
        Source::m_functionMode = Mode::CP;
    }) << Call([](Basic &b) {
        return b.setOutputShort(true, vek::UpdateIfChanged);
    }) << 106;
    QTest::newRow("pulse level above the main level, even forced") << none << Call([](Basic &b) {
        return b.setRealPulseLevelCurrent(0.5, vek::UpdateAlways);
    }) << -222;
    QTest::newRow("OCP below the minimum is not clamped for a re-application")
        << none << Call([](Basic &b) {
               return b.setCurrentProtectionLevel(-5, vek::UpdateStepsOnly);
           })
        << -222;
}

void tst_Basic::refusalsChangeNothing()
{
    QFETCH(Setup, setup);
    QFETCH(Call, call);
    QFETCH(int, error);

    setup(*m_basic);
    QVERIFY(m_engine.board->clearLog());
    const quint32 mode = Source::m_functionMode;
    const auto range = Source::m_currRange.load();
    QSignalSpy modes(m_basic.get(), &Source::operationModeChanged);
    QSignalSpy ranges(m_basic.get(), &Source::currRangeChanged);
    QSignalSpy levels(m_basic.get(), &Basic::currentUiChanged);

    QCOMPARE(int(call(*m_basic)), error);

    m_engine.flushWriter();
    QVERIFY(m_engine.board->log().isEmpty());
    QVERIFY(modes.isEmpty());
    QVERIFY(ranges.isEmpty());
    QVERIFY(levels.isEmpty());
    QCOMPARE(quint32(Source::m_functionMode), mode);
    QCOMPARE(Source::m_currRange.load(), range);
    QCOMPARE(m_basic->getRealCurrentLevel(), 0.0);
}

void tst_Basic::interlockedSetterSeesAStoreMadeWhileItWaits_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<Setup>("store");
    QTest::addColumn<int>("error");

    QTest::newRow("CV mode while the output short goes on") << Call([](Basic &b) {
        return b.setFunctionMode(Mode::CV);
    }) << Setup([](Basic &) {
        Source::m_outputShort = true;
    }) << 103;
    QTest::newRow("CR mode while sine goes on") << Call([](Basic &b) {
        return b.setFunctionMode(Mode::CR);
    }) << Setup([](Basic &) {
        Source::m_sineState = true;
    }) << 113;
    QTest::newRow("output short while pulse goes on") << Call([](Basic &b) {
        return b.setOutputShort(true, vek::UpdateIfChanged);
    }) << Setup([](Basic &) {
        Source::m_pulseState = true;
    }) << 105;
    QTest::newRow("current range while the load goes on") << Call([](Basic &b) {
        return b.setCurrentRange(Range::LOW);
    }) << Setup([](Basic &) {
        Source::m_stateLoad = true;
    }) << 102;
    QTest::newRow("pulse level while the main level drops") << Call([](Basic &b) {
        return b.setRealPulseLevelCurrent(1.0, vek::UpdateIfChanged);
    }) << Setup([](Basic &b) {
        QCOMPARE(b.setRealCurrentLevel(0.5, vek::UpdateIfChanged), SCPIERR_T(0));
    }) << -222;
    QTest::newRow("load on while a program starts") << Call([](Basic &b) {
        return b.setOutput(true);
    }) << Setup([](Basic &) {
        Source::setProgramRunState(KeywordBridge_IdleWtgRun::RUN);
    }) << 104;
}

// As the source's setters: the checks the basic settings add go with the store as one step,
// so a store another thread makes while this setter waits is seen and refused.
void tst_Basic::interlockedSetterSeesAStoreMadeWhileItWaits()
{
    QFETCH(Call, call);
    QFETCH(Setup, store);
    QFETCH(int, error);

    std::atomic<bool> entered { false };
    std::atomic<int> result { 1 };
    std::unique_ptr<QThread> thread(QThread::create([&] {
        entered = true;
        result = call(*m_basic);
    }));
    {
        vek::EngineLocker lock(&vek::engineMutex());
        thread->start();
        QTRY_VERIFY(entered);
        // Held off until the other step ends.
        QVERIFY(!thread->wait(50));
        store(*m_basic);
    }
    QVERIFY(thread->wait(5000));
    QCOMPARE(result.load(), error);
    QCOMPARE(Source::m_functionMode.load(), Mode::CC);
    QCOMPARE(Source::m_currRange.load(), Range::HIGH);
    QCOMPARE(Source::m_load.load(), false);
    QCOMPARE(m_basic->getRealPulseLevelCurrent(), 0.0);
    QVERIFY(!Source::m_outputShort || !Source::m_pulseState);
}

void tst_Basic::refusedLevelsKeepTheirDisplayValues()
{
    QCOMPARE(m_basic->setRealConductanceLevel(1.25, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_basic->setRealConductanceLevel(25.0, vek::UpdateIfChanged), SCPIERR_T(-222));
    QCOMPARE(m_basic->getRealConductanceLevelForDisplay(), 1.25);

    QCOMPARE(m_basic->setRealCurrentLevel(2.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_basic->setRealCurrentLevel(qInf(), vek::UpdateAlways), SCPIERR_T(-222));
    QCOMPARE(m_basic->getRealCurrentLevelForDisplay(), 2.0);

    // The pulse levels may not exceed the main levels; the depth shown stays the accepted one.
    QCOMPARE(m_basic->setRealPulseLevelCurrent(0.5, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_basic->setRealPulseLevelCurrent(2.5, vek::UpdateAlways), SCPIERR_T(-222));
    QCOMPARE(m_basic->getRealPulseLevelCurrentForDisplay(), 0.5);
    QCOMPARE(m_basic->getRealPulseLevelCurrent(), 0.5);
    QCOMPARE(m_basic->setRealPulseLevelConductance(1.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_basic->setRealPulseLevelConductance(1.5, vek::UpdateIfChanged), SCPIERR_T(-222));
    QCOMPARE(m_basic->getRealPulseLevelConductanceForDisplay(), 1.0);
}

void tst_Basic::modeChangeAppliesTheStoredLevels()
{
    QCOMPARE(m_basic->setRealCurrentLevel(2.0, vek::UpdateIfChanged), SCPIERR_T(0));
    // Other modes' levels are only stored while CC regulates.
    m_engine.flushWriter();
    QVERIFY(m_engine.board->clearLog());
    QCOMPARE(m_basic->setRealPowerLevel(50.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_basic->setRealVoltageLevel(10.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(stepWrites(), 0);

    QSignalSpy modes(m_basic.get(), &Source::operationModeChanged);
    QCOMPARE(m_basic->setFunctionMode(Mode::CP), SCPIERR_T(0));
    QCOMPARE(m_engine.modeWord() & 0xF, 0x8u);
    QCOMPARE(modes.size(), 1);
    for (int number : { 1, 2 }) {
        const QVector<quint32> words = step(number);
        QCOMPARE(words.value(Dc), 0u);
        QCOMPARE(words.value(Cp), 50000000u); // mW x 1000
        QCOMPARE(words.value(Operate) & ArbBit, 0u);
    }

    // The CC level set in CP is written when CC regulates again; the CP word holds the OPP
    // level, which the first application clamps to its maximum (165 W).
    QCOMPARE(m_basic->setRealCurrentLevel(3.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(step(1).value(Dc), 0u);
    QCOMPARE(m_basic->setFunctionMode(Mode::CC), SCPIERR_T(0));
    for (int number : { 1, 2 }) {
        const QVector<quint32> words = step(number);
        QCOMPARE(words.value(Dc), Amps(3.0));
        QCOMPARE(words.value(Cp), 165000000u);
        QCOMPARE(words.value(Slew), 1000000u); // first slew rate: the range's maximum, 1 A/µs
    }

    QCOMPARE(m_basic->setFunctionMode(Mode::CV), SCPIERR_T(0));
    QCOMPARE(step(1).value(Dc), 10000000u); // mV x 1000
    QCOMPARE(step(2).value(Slew), 33000000u); // CC limit: OCP, clamped to 33 A
    QCOMPARE(m_basic->setFunctionMode(Mode::ARB), SCPIERR_T(0));
    QCOMPARE(step(1).value(Operate) & ArbBit, ArbBit);
    QCOMPARE(step(2).value(Operate) & ArbBit, ArbBit);
    QCOMPARE(m_basic->getRealPowerLevel(), 50.0);
    QCOMPARE(m_basic->getRealVoltageLevel(), 10.0);
}

void tst_Basic::cvOptionMakesTheCvLevelTheUvpLimit()
{
    QSignalSpy levels(m_basic.get(), &Basic::voltageUiChanged);
    QSignalSpy protections(m_basic.get(), &Basic::voltageProtectUiChanged);
    QCOMPARE(m_basic->setRealVoltageLevel(10.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(levels.size(), 1);
    QCOMPARE(protections.size(), 0);
    QCOMPARE(stepWrites(), 0);

    QCOMPARE(m_basic->setFunctionModeCvOption(true), SCPIERR_T(0));
    QVERIFY(Source::m_functionModeCvOption);
    QVERIFY(m_basic->getVoltageProtectionState());
    QVERIFY(!m_basic->getVoltageProtectionTripState());
    QCOMPARE(m_basic->getRealVoltageProtectionLevel(), 10.0);
    QVERIFY(!protections.isEmpty());
    QCOMPARE(protections.last().at(0).toDouble(), 10.0);

    // The limit words travel with the load switch.
    QCOMPARE(m_basic->setOutput(true), SCPIERR_T(0));
    for (int number : { 1, 2 }) {
        const QVector<quint32> words = step(number);
        QCOMPARE(words.value(CvLimit), 10000000u);
        QCOMPARE(words.value(7), 10000000u); // UVP word
        QCOMPARE(words.value(Operate) & (AddCvBit | LoadBit), AddCvBit | LoadBit);
    }
    QCOMPARE(m_basic->setOutput(false), SCPIERR_T(0));
    QVERIFY(!Source::m_stateLoad);

    QCOMPARE(m_basic->setFunctionModeCvOption(false), SCPIERR_T(0));
    QVERIFY(!m_basic->getVoltageProtectionState());
    QCOMPARE(protections.last().at(0).toDouble(), std::numeric_limits<double>::max());
    QCOMPARE(step(1).value(Operate) & AddCvBit, 0u);
}

void tst_Basic::rangeChangeClampsTheStepsAndKeepsTheSetting()
{
    // With the load off the slew rate waits in the steps and travels with the next send.
    QCOMPARE(m_basic->setRealCurrentSlewRateLevel(0.5, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_basic->setRealCurrentLevel(2.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(step(1).value(Slew), 500000u);

    QSignalSpy ranges(m_basic.get(), &Source::currRangeChanged);
    QCOMPARE(m_basic->setCurrentRange(Range::LOW), SCPIERR_T(0));
    QCOMPARE(m_engine.modeWord() & 0x300, 0x100u);
    QCOMPARE(ranges.size(), 1);
    for (int number : { 1, 2 })
        QCOMPARE(step(number).value(Dc), Amps(0.3));
    QCOMPARE(m_basic->getRealCurrentLevel(), 2.0);
    QCOMPARE(m_basic->getRealCurrentSlewRateLevel(), 0.5);
    QCOMPARE(m_basic->setOutput(true), SCPIERR_T(0));
    QCOMPARE(step(2).value(Slew), 10000u); // 0.01 A/µs
    QCOMPARE(m_basic->setOutput(false), SCPIERR_T(0));
    QVERIFY(!Source::m_stateLoad);

    // A level of the low range is taken as it is; back in the high range it stays.
    QCOMPARE(m_basic->setRealCurrentLevel(0.2, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(step(2).value(Dc), Amps(0.2));
    QCOMPARE(m_basic->setRealCurrentLevel(0.5, vek::UpdateIfChanged), SCPIERR_T(-222));
    QCOMPARE(m_basic->setCurrentRange(Range::HIGH), SCPIERR_T(0));
    QCOMPARE(step(1).value(Dc), Amps(0.2));
    QCOMPARE(ranges.size(), 2);
}

void tst_Basic::externalRangeInputAppliesTheRangeAgain()
{
    QCOMPARE(m_basic->setRealCurrentLevel(2.0, vek::UpdateIfChanged), SCPIERR_T(0));
    m_basic->onExtCurrentRangeChange(vek::Status::ExternalRangeMedium);
    QCOMPARE(Source::m_extCurrIoRange.load(), 0x200u);
    QCOMPARE(Source::getCurrentRange(), Range::MED);
    QCOMPARE(m_engine.modeWord() & 0x300, 0x200u);
    QCOMPARE(step(1).value(Dc), Amps(2.0));

    // A value the input cannot force is not stored, but the range is applied again.
    QVERIFY(m_engine.board->clearLog());
    QSignalSpy ranges(m_basic.get(), &Source::currRangeChanged);
    m_basic->onExtCurrentRangeChange(vek::Status::ExternalRangeHigh);
    QCOMPARE(Source::m_extCurrIoRange.load(), 0x200u);
    QCOMPARE(ranges.size(), 1);
    m_engine.flushWriter();
    QVERIFY(!m_engine.board->log().isEmpty());
}

void tst_Basic::ccLoadRegulatesTheSource()
{
    QCOMPARE(m_engine.board->command("source 12 0.1").section(' ', 0, 0), QString("OK"));
    QCOMPARE(m_basic->setRealCurrentLevel(2.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QSignalSpy outputs(m_basic.get(), &Source::outputUiChanged);
    QCOMPARE(m_basic->setOutput(true), SCPIERR_T(0));
    QVERIFY(Source::m_load);
    QVERIFY(Source::m_stateLoad); // the call returns with the controller's report
    QVERIFY(!outputs.isEmpty());
    QCOMPARE(outputs.last().at(0).toBool(), true);

    // A monitor record of the regulated point: 2 A through 0.1 ohm leaves 11.8 V.
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(m_amps - 2.0) < 0.02, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(m_volts - 11.8) < 0.02, 5000);

    // A level change while the load is on reaches the board at once.
    QCOMPARE(m_basic->setRealCurrentLevel(3.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(m_volts - 11.7) < 0.02, 5000);

    QCOMPARE(m_basic->setFunctionMode(Mode::CR), SCPIERR_T(102));
    QCOMPARE(m_basic->setCurrentRange(Range::LOW), SCPIERR_T(102));
    QCOMPARE(Source::m_functionMode.load(), Mode::CC);
    QCOMPARE(Source::m_currRange.load(), Range::HIGH);

    QCOMPARE(m_basic->setOutput(false), SCPIERR_T(0));
    QVERIFY(!Source::m_stateLoad);
    QTRY_VERIFY(!Source::m_stateLoad);
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(m_volts - 12.0) < 0.02 && m_amps < 0.01, 5000);
}

QTEST_MAIN(tst_Basic)
#include "tst_Basic.moc"
