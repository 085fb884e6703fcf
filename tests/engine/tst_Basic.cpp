#include "engine/ArbitraryModel.h"
#include "engine/Basic.h"
#include "tests/support/EngineFixture.h"

#include "instrument/ModelHandler.h"

#include "remote/StatusRegisters.h"

#include <QBuffer>
#include <QElapsedTimer>
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
    void arbLoadFollowsTheCurve();
    void pulseTiming_data();
    void pulseTiming();
    void pulseStepTimesReachTheBoard();
    void sineFrequencyTakesTheNearestTableEntry_data();
    void sineFrequencyTakesTheNearestTableEntry();
    void elapsedTimeCutOff();
    void msyncWithoutTheLink();
    void loadSwitchTheBoardRefusesIsAnError();
    void loadSwitchFromAnotherThreadRunsInTheEngineThread();
    void overCurrentTripHoldsTheLoadOffUntilCleared();
    void protectionLevels_data();
    void protectionLevels();
    void cutOffLevels_data();
    void cutOffLevels();
    void voltageCutOffEndsTheLoad();
    void pulseAlternatesTheLevels();
    void sineSwingsAroundTheLevel();
    void modulationRefusals_data();
    void modulationRefusals();
    void externalLoadInputHoldsTheLoadOff();
    void loadOnTimeBecomesTheElapsedTimeCutOff();
    void loadOnTimeRunsInSoftwareWithoutTheCutOffFunction();

private:
    void build();
    // Switches the load on with the source and level given; true when the board reports it.
    bool loadOnAt(double volts, double ohms);
    // Lowest and highest monitor current seen within ms.
    QPair<double, double> currentSwing(int ms);
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
    Source::m_pulseState = false;
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

void tst_Basic::arbLoadFollowsTheCurve()
{
    // The curve I = 2 A/V x V meets the source's line I = (12 V - V) / 0.1 ohm at 10 V, 20 A;
    // a flatter curve moves the point along the source's line.
    QCOMPARE(m_engine.board->command("source 12 0.1").section(' ', 0, 0), QString("OK"));
    const double vfs = ModelInformation::rangeValue(m_engine.info->voltageMap(), 1).m_max;
    const double itop = ModelInformation::rangeValue(m_engine.info->currentMap(), 2).m_max;
    QVERIFY(vfs >= 20.0 && itop >= 25.0);
    vek::ArbitraryModel arb(m_engine.writer.get(), m_engine.info.get());
    QList<vek::ARBITRARY_DATA> curve { { 0, 0 }, { 12.5, 25 }, { vfs, 25 } };
    QCOMPARE(arb.setTable(curve), SCPIERR_T(0));
    QCOMPARE(arb.transmit(vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_basic->setFunctionMode(Mode::ARB), SCPIERR_T(0));
    QCOMPARE(m_basic->setOutput(true), SCPIERR_T(0));
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(m_amps - 20.0) < 0.2, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(m_volts - 10.0) < 0.02, 5000);

    // I = 1 A/V x V meets it at 120/11 V.
    curve = { { 0, 0 }, { 20, 20 }, { vfs, 20 } };
    QCOMPARE(arb.setTable(curve), SCPIERR_T(0));
    QCOMPARE(arb.transmit(vek::UpdateIfChanged), SCPIERR_T(0));
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(m_amps - 120.0 / 11.0) < 0.2, 5000);
    QCOMPARE(m_basic->setOutput(false), SCPIERR_T(0));
}

namespace {

// Gives the board's model the modulator of a 100 kHz model with sine modulation.
bool makeFastSineModel(ModelInformation *info)
{
    QByteArray text("<models><model tag=\"4101\" name=\"VEK3-150-30\">"
                    "<pulse-function min=\"1\" max=\"100000\"/>"
                    "<sine-function min=\"1\" max=\"10000\"/>"
                    "</model></models>");
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    ModelHandler handler(info, 4101);
    return handler.parse(&buffer) && info->hasSine() && info->pulseMax() == 100000.0;
}

} // namespace

void tst_Basic::pulseTiming_data()
{
    QTest::addColumn<bool>("fast"); // 100 kHz model: 5 µs minimum step, else 20 µs
    QTest::addColumn<double>("hertz");
    QTest::addColumn<double>("percent");
    QTest::addColumn<int>("error");
    QTest::addColumn<quint64>("high");
    QTest::addColumn<quint64>("low");
    QTest::addColumn<int>("duty");

    QTest::newRow("50 % at 5 Hz") << false << 5.0 << 50.0 << 0 << quint64(100000) << quint64(100000)
                                  << 50000;
    QTest::newRow("4.9 %") << false << 5.0 << 4.9 << -222 << quint64(100000) << quint64(100000)
                           << 50000;
    QTest::newRow("95.1 %") << false << 5.0 << 95.1 << -222 << quint64(100000) << quint64(100000)
                            << 50000;
    QTest::newRow("5 % at 20 kHz, 20 us minimum")
        << false << 20000.0 << 5.0 << 0 << quint64(20) << quint64(30) << 40000;
    QTest::newRow("95 % at 20 kHz, 20 us minimum")
        << false << 20000.0 << 95.0 << 0 << quint64(30) << quint64(20) << 60000;
    QTest::newRow("5 % at 100 kHz, 5 us minimum")
        << true << 100000.0 << 5.0 << 0 << quint64(5) << quint64(5) << 50000;
    QTest::newRow("above the model's maximum")
        << false << 20001.0 << 50.0 << -222 << quint64(500) << quint64(500) << 50000;
    QTest::newRow("below the model's minimum")
        << false << 0.999 << 50.0 << -222 << quint64(500) << quint64(500) << 50000;
    QTest::newRow("NaN") << false << std::nan("") << 50.0 << -222 << quint64(500) << quint64(500)
                         << 50000;
    QTest::newRow("huge") << false << 1e300 << 50.0 << -222 << quint64(500) << quint64(500)
                          << 50000;
}

// Frequency first, then duty; a refused frequency leaves the 1 kHz, 50 % default, a refused
// duty the times of the new frequency.
void tst_Basic::pulseTiming()
{
    QFETCH(bool, fast);
    QFETCH(double, hertz);
    QFETCH(double, percent);
    QFETCH(int, error);
    QFETCH(quint64, high);
    QFETCH(quint64, low);
    QFETCH(int, duty);

    if (fast)
        QVERIFY(makeFastSineModel(m_engine.info.get()));
    QSignalSpy duties(m_basic.get(), &Basic::pulseDutyCycleUiChanged);
    int result = m_basic->setRealPulseFrequency(hertz, vek::UpdateIfChanged);
    if (result == 0)
        result = m_basic->setRealPulseDutyCycle(percent, vek::UpdateIfChanged);
    QCOMPARE(result, error);
    QCOMPARE(m_basic->getPulseHighTime(), high);
    QCOMPARE(m_basic->getPulseLowTime(), low);
    QCOMPARE(m_basic->getPulseDutyCycle(), duty);
    QCOMPARE(
        m_basic->getPulseHighTime() + m_basic->getPulseLowTime(), m_basic->getPulseCycleTime());
    if (error == 0)
        QCOMPARE(duties.last().at(0).toDouble(), duty / 1000.0);
}

void tst_Basic::pulseStepTimesReachTheBoard()
{
    Source::m_pulseState = true;
    QCOMPARE(m_basic->setPulseCycleTime(200000, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_basic->setRealPulseDutyCycle(25.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QVERIFY(m_engine.flushWriter());
    QCOMPARE(step(1).value(TimeLow), 50000u);
    QCOMPARE(step(1).value(TimeHigh), 0u);
    QCOMPARE(step(2).value(TimeLow), 150000u);
    QCOMPARE(m_basic->getPulseFrequency(), qint64(5000));
    // Out of the modulator's period range: nothing changes.
    QCOMPARE(m_basic->setPulseCycleTime(9, vek::UpdateAlways), SCPIERR_T(-222));
    QCOMPARE(m_basic->setPulseCycleTime(1000001, vek::UpdateAlways), SCPIERR_T(-222));
    QCOMPARE(m_basic->getPulseCycleTime(), quint64(200000));
}

void tst_Basic::sineFrequencyTakesTheNearestTableEntry_data()
{
    QTest::addColumn<double>("hertz");
    QTest::addColumn<int>("error");
    QTest::addColumn<double>("set");

    QTest::newRow("1.4 Hz") << 1.4 << 0 << 1.0;
    QTest::newRow("1.5 Hz, on the midpoint") << 1.5 << 0 << 2.0;
    QTest::newRow("74 Hz") << 74.0 << 0 << 70.0;
    QTest::newRow("3.5 kHz") << 3500.0 << 0 << 5000.0;
    QTest::newRow("10 kHz") << 10000.0 << 0 << 10000.0;
    QTest::newRow("0.9 Hz") << 0.9 << -222 << 0.0;
    QTest::newRow("15 kHz") << 15000.0 << -222 << 0.0;
    QTest::newRow("NaN") << std::nan("") << -222 << 0.0;
}

void tst_Basic::sineFrequencyTakesTheNearestTableEntry()
{
    QFETCH(double, hertz);
    QFETCH(int, error);
    QFETCH(double, set);

    QVERIFY(makeFastSineModel(m_engine.info.get()));
    QSignalSpy changes(m_basic.get(), &Basic::sineFrequencyUiChanged);
    QCOMPARE(int(m_basic->setRealSineFrequency(hertz, vek::UpdateAlways)), error);
    QCOMPARE(changes.size(), error == 0 ? 1 : 0);
    if (error != 0)
        return;
    QCOMPARE(changes.at(0).at(0).toDouble(), set);
    QCOMPARE(m_basic->getSineFrequency(), qint64(set * 1000));
    QVERIFY(m_engine.flushWriter());
    const quint32 word = m_engine.peek(ioc::Address::SineGroup).value(0);
    QCOMPARE(word, quint32(50000000.0 / (set * 1000) - 0.5));
}

void tst_Basic::elapsedTimeCutOff()
{
    QSignalSpy times(m_basic.get(), &Basic::cutOffETimeUiChanged);
    const auto boardMicroseconds = [this] {
        if (!m_engine.flushWriter())
            return quint64(0);
        const QVector<quint32> words = m_engine.peek(ioc::Address::CutoffGroup, 4);
        return quint64(words.value(2)) | quint64(words.value(3)) << 32;
    };

    QCOMPARE(m_basic->setOutputCutOffElapsedTime(3600001.0, vek::UpdateIfChanged), SCPIERR_T(-222));
    QCOMPARE(m_basic->setOutputCutOffElapsedTime(-1.0, vek::UpdateStepsOnly), SCPIERR_T(-222));
    QCOMPARE(m_basic->setOutputCutOffElapsedTime(std::nan(""), vek::UpdateAlways), SCPIERR_T(-222));
    QCOMPARE(times.size(), 0);

    QCOMPARE(m_basic->setOutputCutOffElapsedTime(3600001.0, vek::UpdateAlways), SCPIERR_T(0));
    QCOMPARE(boardMicroseconds(), 3600000000000ULL);
    QCOMPARE(times.last().at(0).toULongLong(), 3600000000000ULL);
    QCOMPARE(m_basic->getOutputCutOffElapsedTime(), 3600000.0);

    QCOMPARE(m_basic->setOutputCutOffElapsedTime(90.5, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(boardMicroseconds(), 90500000ULL);
    QCOMPARE(m_basic->setOutputCutOffElapsedTime(90.5, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(times.size(), 2); // unchanged: not announced again

    QSignalSpy states(m_basic.get(), &Basic::cutOffETimeStateUiChanged);
    QCOMPARE(m_basic->setOutputCutOffElapsedTimeState(true), SCPIERR_T(0));
    QCOMPARE(m_basic->setOutputCutOffElapsedTimeState(true), SCPIERR_T(0));
    QVERIFY(m_basic->getOutputCutOffElapsedTimeState());
    QCOMPARE(states.size(), 1);
}

void tst_Basic::msyncWithoutTheLink()
{
    QSignalSpy changes(m_basic.get(), &Basic::msyncStateUiChanged);
    QVERIFY(!m_engine.status->linkOn());
    QCOMPARE(m_basic->setMSyncState(true), SCPIERR_T(110));
    QVERIFY(!m_basic->getMSyncState());
    QCOMPARE(m_basic->setMSyncState(false), SCPIERR_T(0));
    QCOMPARE(changes.size(), 0); // it never was on
}

bool tst_Basic::loadOnAt(double volts, double ohms)
{
    if (!m_engine.board->command(QStringLiteral("source %1 %2").arg(volts).arg(ohms))
             .startsWith("OK"))
        return false;
    return m_basic->setOutput(true) == 0 && Source::m_stateLoad;
}

QPair<double, double> tst_Basic::currentSwing(int ms)
{
    double low = 1e9;
    double high = -1e9;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QTest::qWait(5);
        low = qMin(low, m_amps.load());
        high = qMax(high, m_amps.load());
    }
    return { low, high };
}

void tst_Basic::loadSwitchTheBoardRefusesIsAnError()
{
    QCOMPARE(m_engine.board->command("loadhold on"), QString("OK"));
    QSignalSpy reports(m_basic.get(), &Source::outputUiChanged);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(m_basic->setOutput(true), SCPIERR_T(-200));
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    // The state it really has: off, requested off too.
    QVERIFY(!Source::m_stateLoad);
    QVERIFY(!Source::m_load);
    QCOMPARE(reports.last().at(0).toBool(), false);

    QCOMPARE(m_engine.board->command("loadhold off"), QString("OK"));
    QCOMPARE(m_basic->setOutput(true), SCPIERR_T(0));
    QVERIFY(Source::m_stateLoad);
    QCOMPARE(m_basic->setOutput(false), SCPIERR_T(0));
}

// The parser thread's OUTP, *RST and *RCL: the switch runs in the engine object's thread and
// the caller gets its real result.
void tst_Basic::loadSwitchFromAnotherThreadRunsInTheEngineThread()
{
    QThread *engineThread = QThread::currentThread();
    std::atomic<bool> inEngineThread { false };
    connect(
        m_basic.get(),
        &Source::outputUiChanged,
        this,
        [&] {
            inEngineThread = QThread::currentThread() == engineThread;
        },
        Qt::DirectConnection);
    for (bool hold : { true, false }) {
        QCOMPARE(m_engine.board->command(hold ? "loadhold on" : "loadhold off"), QString("OK"));
        std::atomic<int> result { 1 };
        std::unique_ptr<QThread> parser(QThread::create([&] {
            result = m_basic->setOutput(true);
        }));
        inEngineThread = false;
        parser->start();
        QTRY_VERIFY_WITH_TIMEOUT(parser->isFinished(), 5000);
        QCOMPARE(result.load(), hold ? -200 : 0);
        QVERIFY(inEngineThread);
        QCOMPARE(bool(Source::m_stateLoad), !hold);
    }
    QCOMPARE(m_basic->setOutput(false), SCPIERR_T(0));
}

void tst_Basic::overCurrentTripHoldsTheLoadOffUntilCleared()
{
    // Nothing to clear: nothing is sent.
    QCOMPARE(m_basic->clearProtection(), SCPIERR_T(0));
    QVERIFY(m_engine.board->log().isEmpty());

    // 12 V / 0.1 ohm at 0.5 S sinks 5.7 A; 2 S would sink 20 A, twice the OCP level.
    QCOMPARE(m_basic->setFunctionMode(Mode::CR), SCPIERR_T(0));
    QCOMPARE(m_basic->setRealConductanceLevel(0.5, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_basic->setRealCurrentProtectionLevel(10.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_basic->setCurrentProtectionTripState(true), SCPIERR_T(0));
    QVERIFY(loadOnAt(12.0, 0.1));
    QTRY_VERIFY(m_amps > 5.0);
    QVERIFY(!m_engine.status->protectionActive());

    QSignalSpy protections(m_engine.status.get(), &vek::Status::protectOccurred);
    QCOMPARE(m_basic->setRealConductanceLevel(2.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QTRY_VERIFY(m_engine.status->protectionActive());
    QVERIFY(m_engine.status->protections().testFlag(vek::Status::ProtectOverCurrent));
    QTRY_VERIFY(!Source::m_stateLoad);
    QTRY_COMPARE(zo4882::s_statQues.condition() & 0x2, 0x2); // over-current protection
    QCOMPARE(zo4882::s_statOper.condition() & 0x100, 0); // load off
    QVERIFY(!protections.isEmpty());

    QCOMPARE(m_basic->clearProtection(), SCPIERR_T(0));
    QTRY_VERIFY(!m_engine.status->protectionActive());
    QTRY_COMPARE(zo4882::s_statQues.condition() & 0x2, 0);
    // Cleared, the load stays off.
    QVERIFY(m_engine.flushWriter());
    QCOMPARE(m_engine.board->command("measure").split(' ').value(3), QString("0"));
    QVERIFY(!Source::m_stateLoad);
    QVERIFY(!Source::m_load);
    QCOMPARE(step(1).value(Operate) & LoadBit, 0u);
}

// OCP and OPP are checked against the widest range and only timing Always clamps them; UVP
// follows the level rules.
void tst_Basic::protectionLevels_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<int>("error");

    QTest::newRow("OCP below the minimum, steps only") << Call([](Basic &b) {
        return b.setCurrentProtectionLevel(-1, vek::UpdateStepsOnly);
    }) << -222;
    QTest::newRow("OCP below the minimum, always: clamped") << Call([](Basic &b) {
        return b.setCurrentProtectionLevel(-1, vek::UpdateAlways);
    }) << 0;
    QTest::newRow("OCP above the widest range") << Call([](Basic &b) {
        return b.setRealCurrentProtectionLevel(33.5, vek::UpdateIfChanged);
    }) << -222;
    QTest::newRow("OCP NaN") << Call([](Basic &b) {
        return b.setRealCurrentProtectionLevel(std::nan(""), vek::UpdateAlways);
    }) << -222;
    QTest::newRow("OCP huge") << Call([](Basic &b) {
        return b.setRealCurrentProtectionLevel(1e300, vek::UpdateAlways);
    }) << -222;
    QTest::newRow("OPP above the widest range") << Call([](Basic &b) {
        return b.setRealPowerProtectionLevel(166.0, vek::UpdateStepsOnly);
    }) << -222;
    QTest::newRow("UVP negative") << Call([](Basic &b) {
        return b.setRealVoltageProtectionLevel(-1.0, vek::UpdateIfChanged);
    }) << -222;
    QTest::newRow("pulse level negative") << Call([](Basic &b) {
        return b.setPulseLevelCurrent(-5, vek::UpdateAlways);
    }) << -222;
}

void tst_Basic::protectionLevels()
{
    QFETCH(Call, call);
    QFETCH(int, error);
    QCOMPARE(int(call(*m_basic)), error);
}

void tst_Basic::cutOffLevels_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("word");
    QTest::addColumn<qint64>("value");

    // Words of the cut-off group: 1 voltage (µV), 4-5 capacity (µAh), 6-7 energy (µWh).
    QTest::newRow("voltage") << Call([](Basic &b) {
        return b.setOutputCutOffVoltage(11.9, vek::UpdateIfChanged);
    }) << 0 << 1 << qint64(11900000);
    QTest::newRow("voltage above the range") << Call([](Basic &b) {
        return b.setOutputCutOffVoltage(150.5, vek::UpdateIfChanged);
    }) << -222 << 1 << qint64(0);
    QTest::newRow("voltage above the range, clamped") << Call([](Basic &b) {
        return b.setOutputCutOffVoltage(150.5, vek::UpdateAlways);
    }) << 0 << 1 << qint64(150000000);
    QTest::newRow("capacity") << Call([](Basic &b) {
        return b.setOutputCutOffCapacity(2.5, vek::UpdateIfChanged);
    }) << 0 << 4 << qint64(2500000);
    QTest::newRow("capacity NaN") << Call([](Basic &b) {
        return b.setOutputCutOffCapacity(std::nan(""), vek::UpdateAlways);
    }) << -222 << 4 << qint64(0);
    QTest::newRow("energy") << Call([](Basic &b) {
        return b.setOutputCutOffEnergy(30.0, vek::UpdateIfChanged);
    }) << 0 << 6 << qint64(30000000);
    QTest::newRow("energy negative") << Call([](Basic &b) {
        return b.setOutputCutOffEnergy(-1.0, vek::UpdateStepsOnly);
    }) << -222 << 6 << qint64(0);
}

void tst_Basic::cutOffLevels()
{
    QFETCH(Call, call);
    QFETCH(int, error);
    QFETCH(int, word);
    QFETCH(qint64, value);

    QCOMPARE(int(call(*m_basic)), error);
    QVERIFY(m_engine.flushWriter());
    const QVector<quint32> words = m_engine.peek(ioc::Address::CutoffGroup, 8);
    const qint64 sent = word == 1
        ? qint64(words.value(1))
        : qint64(quint64(words.value(word)) | quint64(words.value(word + 1)) << 32);
    QCOMPARE(sent, value);
}

void tst_Basic::voltageCutOffEndsTheLoad()
{
    QSignalSpy states(m_basic.get(), &Basic::cutOffVoltageStateUiChanged);
    QCOMPARE(m_basic->setOutputCutOffVoltage(11.9, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_basic->setOutputCutOffVoltageState(true), SCPIERR_T(0));
    QCOMPARE(m_basic->setOutputCutOffVoltageState(true), SCPIERR_T(0));
    QCOMPARE(states.size(), 1);
    QVERIFY(m_basic->getOutputCutOffVoltageState());
    QCOMPARE(m_basic->getOutputCutOffVoltage(), 11.9);

    // 0.5 A leaves 11.95 V; 2 A pulls the source to 11.8 V.
    QCOMPARE(m_basic->setRealCurrentLevel(0.5, vek::UpdateIfChanged), SCPIERR_T(0));
    QVERIFY(loadOnAt(12.0, 0.1));
    QSignalSpy cutoffs(m_engine.status.get(), &vek::Status::cutoffVoltageOccurred);
    QCOMPARE(m_basic->setRealCurrentLevel(2.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QTRY_VERIFY(!Source::m_stateLoad);
    QCOMPARE(m_engine.board->command("limits").split(' ').value(2), QString("00000010"));
    QTRY_VERIFY(!cutoffs.isEmpty());
    QVERIFY(cutoffs.last().at(0).toBool());

    // Switching on again clears the cut-off first; at 0.5 A the load stays on. The level is at
    // the board first: the writer sends the clear ahead of steps still queued.
    QCOMPARE(m_basic->setRealCurrentLevel(0.5, vek::UpdateIfChanged), SCPIERR_T(0));
    QVERIFY(m_engine.flushWriter());
    QCOMPARE(m_basic->setOutput(true), SCPIERR_T(0));
    QCOMPARE(m_engine.board->command("limits").split(' ').value(2), QString("00000000"));
    QCOMPARE(m_basic->setOutput(false), SCPIERR_T(0));
}

void tst_Basic::pulseAlternatesTheLevels()
{
    QSignalSpy waveforms(m_basic.get(), &Basic::waveformStateUiChanged);
    QCOMPARE(m_basic->setRealCurrentLevel(5.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_basic->setRealPulseLevelCurrent(1.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_basic->setRealPulseFrequency(5.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_basic->setPulseState(true), SCPIERR_T(0));
    QCOMPARE(waveforms.last().at(0).toInt(), 1);
    QCOMPARE(step(1).value(TimeLow), 100000u);
    QCOMPARE(step(2).value(TimeLow), 100000u);
    QCOMPARE(step(2).value(Dc), Amps(1.0));
    QVERIFY(step(1).value(Operate) & 0x4000); // trigger out with the high level

    QVERIFY(loadOnAt(12.0, 0.1));
    QTRY_VERIFY(m_amps > 0.5);
    const QPair<double, double> swing = currentSwing(600);
    QVERIFY2(swing.first < 1.1 && swing.second > 4.9,
        qPrintable(QString("%1 .. %2 A").arg(swing.first).arg(swing.second)));
    QVERIFY(m_engine.board->command("limits").split(' ').value(3).toInt() >= 2);

    QCOMPARE(m_basic->setPulseState(false), SCPIERR_T(0));
    QCOMPARE(waveforms.last().at(0).toInt(), 0);
    QCOMPARE(step(2).value(Dc), Amps(5.0));
    QCOMPARE(m_basic->setOutput(false), SCPIERR_T(0));
}

void tst_Basic::sineSwingsAroundTheLevel()
{
    QCOMPARE(m_basic->setRealCurrentLevel(5.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QSignalSpy amplitudes(m_basic.get(), &Basic::currentSineUiChanged);
    QCOMPARE(m_basic->setRealSineAmplitude(2.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(amplitudes.size(), 1);
    QCOMPARE(m_basic->getRealSineAmplitude(), 2.0);
    QCOMPARE(m_basic->setRealSineFrequency(1.0, vek::UpdateAlways), SCPIERR_T(0));
    QCOMPARE(m_basic->setSineState(true), SCPIERR_T(0));
    QVERIFY(!Source::m_pulseState);
    QVERIFY(loadOnAt(12.0, 0.1));
    QTRY_VERIFY(m_amps > 2.5); // the monitor reports the load on
    const QPair<double, double> swing = currentSwing(1100);
    QVERIFY2(swing.first < 3.5 && swing.second > 6.5 && swing.first > 2.9 && swing.second < 7.1,
        qPrintable(QString("%1 .. %2 A").arg(swing.first).arg(swing.second)));
    QCOMPARE(m_basic->setOutput(false), SCPIERR_T(0));
    QCOMPARE(m_basic->setSineState(false), SCPIERR_T(0));
}

void tst_Basic::modulationRefusals_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<Call>("call");
    QTest::addColumn<int>("error");

    const Setup none = [](Basic &) {};
    QTest::newRow("sine in CR") << Setup([](Basic &b) {
        QCOMPARE(b.setFunctionMode(Mode::CR), SCPIERR_T(0));
    }) << Call([](Basic &b) {
        return b.setSineState(true);
    }) << 106;
    QTest::newRow("pulse in CV") << Setup([](Basic &b) {
        QCOMPARE(b.setFunctionMode(Mode::CV), SCPIERR_T(0));
    }) << Call([](Basic &b) {
        return b.setPulseState(true);
    }) << 106;
    QTest::newRow("pulse with output short") << Setup([](Basic &b) {
        QCOMPARE(b.setOutputShort(true, vek::UpdateIfChanged), SCPIERR_T(0));
    }) << Call([](Basic &b) {
        return b.setPulseState(true);
    }) << 103;
    QTest::newRow("sine while a program runs") << Setup([](Basic &) {
        Source::setProgramRunState(KeywordBridge_IdleWtgRun::RUN);
    }) << Call([](Basic &b) {
        return b.setSineState(true);
    }) << 104;
    QTest::newRow("load on while a program runs") << Setup([](Basic &) {
        Source::setProgramRunState(KeywordBridge_IdleWtgRun::RUN);
    }) << Call([](Basic &b) {
        return b.setOutput(true);
    }) << 104;
    QTest::newRow("m-sync switch without the link") << none << Call([](Basic &b) {
        return b.setMSyncStateImmediate(true);
    }) << 110;
    QTest::newRow("pulse level above the main level, always") << none << Call([](Basic &b) {
        return b.setPulseLevelCurrent(1, vek::UpdateAlways);
    }) << -222;
}

// A refusal sends nothing and leaves the waveform off.
void tst_Basic::modulationRefusals()
{
    QFETCH(Setup, setup);
    QFETCH(Call, call);
    QFETCH(int, error);

    setup(*m_basic);
    QVERIFY(m_engine.flushWriter());
    QVERIFY(m_engine.board->clearLog());
    QCOMPARE(int(call(*m_basic)), error);
    QVERIFY(m_engine.flushWriter());
    QVERIFY(m_engine.board->log().isEmpty());
    QVERIFY(!Source::m_pulseState && !Source::m_sineState);
    Source::setProgramRunState(KeywordBridge_IdleWtgRun::IDLE);
}

void tst_Basic::externalLoadInputHoldsTheLoadOff()
{
    QVERIFY(loadOnAt(12.0, 0.1));
    QSignalSpy inputs(m_basic.get(), &Basic::outputExternalUiChanged);
    m_basic->onExtLoadChange(false, false);
    QCOMPARE(step(1).value(Operate) & LoadBit, 0u);
    QCOMPARE(step(2).value(Operate) & LoadBit, 0u);
    QVERIFY(Source::m_load); // the request stays
    QVERIFY(!Source::m_stateLoad);
    QCOMPARE(inputs.last().at(0).toBool(), false);
    QCOMPARE(inputs.last().at(1).toBool(), true);

    // Off requested meanwhile: the input coming back switches the load on all the same.
    m_basic->onExtLoadChange(true, false);
    QVERIFY(Source::m_stateLoad);
    QCOMPARE(step(1).value(Operate) & LoadBit, LoadBit);
    QCOMPARE(m_basic->setOutput(false), SCPIERR_T(0));
}

void tst_Basic::loadOnTimeBecomesTheElapsedTimeCutOff()
{
    QCOMPARE(m_basic->setOutputCutOffElapsedTime(30.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_basic->setOutputCutOffElapsedTimeState(false), SCPIERR_T(0));
    QCOMPARE(m_basic->setOutputOnDwell(5), SCPIERR_T(0));
    QVERIFY(m_basic->getOutputCutOffElapsedTimeState());
    QCOMPARE(m_basic->getOutputCutOffElapsedTime(), 5.0);
    QCOMPARE(m_basic->setOutputOnDwell(2), SCPIERR_T(0));
    QCOMPARE(m_basic->getOutputCutOffElapsedTime(), 2.0);
    // No on-time: the cut-off is given back as it was before the first on-time, so the next
    // switch-on does not end after the old on-time.
    QCOMPARE(m_basic->setOutputOnDwell(0), SCPIERR_T(0));
    QVERIFY(!m_basic->getOutputCutOffElapsedTimeState());
    QCOMPARE(m_basic->getOutputCutOffElapsedTime(), 30.0);

    // A cut-off set explicitly while an on-time holds it is the user's and stays.
    QCOMPARE(m_basic->setOutputOnDwell(5), SCPIERR_T(0));
    QCOMPARE(m_basic->setOutputCutOffElapsedTime(8.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_basic->setOutputOnDwell(0), SCPIERR_T(0));
    QVERIFY(m_basic->getOutputCutOffElapsedTimeState());
    QCOMPARE(m_basic->getOutputCutOffElapsedTime(), 8.0);
}

// A model whose controller has no cut-off function: the engine's own timer ends the load-on
// period, and is gone once the load is off.
void tst_Basic::loadOnTimeRunsInSoftwareWithoutTheCutOffFunction()
{
    m_basic.reset();
    QVERIFY2(m_engine.stop(), qPrintable(m_engine.errorString()));
    QVERIFY2(m_engine.startBoard(), qPrintable(m_engine.errorString()));
    QFile model(m_engine.board->root() + "/usr/bin/model.info");
    QVERIFY(model.open(QIODevice::ReadOnly));
    QByteArray text = model.readAll();
    model.close();
    text.replace("<ioc-cutoff-function enable=\"1\"/>", "<ioc-cutoff-function enable=\"0\"/>");
    QVERIFY(model.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(model.write(text) == text.size());
    model.close();
    build();
    QVERIFY(!m_engine.info->iocCutoff());

    QCOMPARE(m_basic->setOutputCutOffElapsedTime(1.0, vek::UpdateIfChanged), SCPIERR_T(-113));
    QCOMPARE(m_basic->setOutputOnDwell(1), SCPIERR_T(0));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(loadOnAt(12.0, 0.1));
    // A second switch on leaves the running timer as it is.
    QCOMPARE(m_basic->setOutput(true), SCPIERR_T(0));
    QTRY_VERIFY_WITH_TIMEOUT(!Source::m_stateLoad, 5000);
    QVERIFY2(timer.elapsed() >= 950, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(!Source::m_load);
    QTRY_VERIFY(m_basic->findChildren<QTimer *>().isEmpty());

    // Switched off early, the timer goes with the load.
    QVERIFY(loadOnAt(12.0, 0.1));
    QCOMPARE(m_basic->findChildren<QTimer *>().size(), 1);
    QCOMPARE(m_basic->setOutput(false), SCPIERR_T(0));
    QTRY_VERIFY(m_basic->findChildren<QTimer *>().isEmpty());
}

QTEST_MAIN(tst_Basic)
#include "tst_Basic.moc"
