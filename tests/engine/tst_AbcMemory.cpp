#include "engine/AbcMemory.h"
#include "engine/Basic.h"
#include "tests/support/EngineFixture.h"

#include <QtTest>

#include <memory>

using vek::ABC_MEMORY;
using vek::AbcMemories;
using vek::Basic;
using vek::SCPIERR_T;
using vek::Source;
using Mode = KeywordBridge_CcCrCvCpArb;
using Range = KeywordBridge_LowMedHigh;
using VoltRange = KeywordBridge_LowHigh;

// The A/B/C presets over the basic settings on the simulated board.
class tst_AbcMemory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void storeTakesOnlyThePresentModeAndRanges();
    void previewsReadZeroAfterAReset();
    void recallAppliesTheStoredLevels();
    void recallRefusedWhileAProgramRuns();
    void levelOutOfRangeStillAppliesTheVoltage();
    void refusals();
    void arbPresetHoldsThePointTable();

private:
    EngineFixture m_engine;
    std::unique_ptr<Basic> m_basic;
    AbcMemories m_presets;
};

void tst_AbcMemory::init()
{
    QVERIFY2(m_engine.startBoard(), qPrintable(m_engine.errorString()));
    QVERIFY2(m_engine.buildLinks(true), qPrintable(m_engine.errorString()));
    m_basic = std::make_unique<Basic>(
        m_engine.writer.get(), m_engine.info.get(), m_engine.status.get(), &m_engine.config);
    QSignalSpy modes(m_basic.get(), &Source::operationModeChanged);
    QTRY_COMPARE(modes.size(), 1); // initialize() has run
    m_presets.reset();
}

void tst_AbcMemory::cleanup()
{
    Source::setProgramRunState(KeywordBridge_IdleWtgRun::IDLE);
    m_basic.reset();
    QVERIFY2(m_engine.stop(), qPrintable(m_engine.errorString()));
}

void tst_AbcMemory::storeTakesOnlyThePresentModeAndRanges()
{
    Basic &b = *m_basic;
    QCOMPARE(b.setFunctionMode(vek::SourceMode(Mode::CR)), SCPIERR_T(0));
    QCOMPARE(b.setCurrentRange(vek::SourceCurrentRange(Range::MED)), SCPIERR_T(0));
    QCOMPARE(b.setRealConductanceLevel(0.01, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(b.setRealVoltageLevel(1.0, vek::UpdateIfChanged), SCPIERR_T(0));
    // The board's model has a single voltage range: the low one is put in the source state.
    Source::m_voltRange = vek::SourceVoltageRange(VoltRange::LOW);

    QCOMPARE(m_presets.store(1, b), SCPIERR_T(0));
    ABC_MEMORY expected;
    expected.cr_medium = b.getRealConductanceLevel();
    expected.cv_low = b.getRealVoltageLevel();
    QVERIFY(expected.cr_medium > 0.0 && expected.cv_low > 0.0);
    QVERIFY(m_presets.at(1) == expected);
    QVERIFY(m_presets.at(0) == ABC_MEMORY());
    QVERIFY(m_presets.at(2) == ABC_MEMORY());

    Source::m_voltRange = vek::SourceVoltageRange(VoltRange::HIGH);

    // CP stores its one level and leaves the voltage levels alone.
    QCOMPARE(b.setFunctionMode(vek::SourceMode(Mode::CP)), SCPIERR_T(0));
    QCOMPARE(b.setRealPowerLevel(2.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(b.setRealVoltageLevel(2.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_presets.store(1, b), SCPIERR_T(0));
    expected.cp_medium = b.getRealPowerLevel();
    QVERIFY(m_presets.at(1) == expected);
}

void tst_AbcMemory::previewsReadZeroAfterAReset()
{
    QCOMPARE(m_basic->setRealCurrentLevel(1.5, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_presets.store(2, *m_basic), SCPIERR_T(0));
    QCOMPARE(m_presets.preview(2), QString("1.5A"));
    m_presets.reset();
    for (int i = 0; i < AbcMemories::Count; ++i)
        QCOMPARE(m_presets.preview(i), QString("0A"));
}

void tst_AbcMemory::recallAppliesTheStoredLevels()
{
    Basic &b = *m_basic;
    QCOMPARE(b.setRealCurrentLevel(1.5, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(b.setRealVoltageLevel(20.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_presets.store(0, b), SCPIERR_T(0));
    QCOMPARE(b.setRealCurrentLevel(2.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(b.setRealVoltageLevel(30.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_presets.recall(0, b), SCPIERR_T(0));
    QCOMPARE(b.getRealCurrentLevel(), 1.5);
    QCOMPARE(b.getRealVoltageLevel(), 20.0);
}

void tst_AbcMemory::recallRefusedWhileAProgramRuns()
{
    Basic &b = *m_basic;
    QCOMPARE(b.setRealCurrentLevel(1.5, vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(m_presets.store(0, b), SCPIERR_T(0));
    QCOMPARE(b.setRealCurrentLevel(2.0, vek::UpdateIfChanged), SCPIERR_T(0));
    for (auto state : { KeywordBridge_IdleWtgRun::WTG, KeywordBridge_IdleWtgRun::RUN }) {
        Source::setProgramRunState(state);
        QCOMPARE(m_presets.recall(0, b), SCPIERR_T(104));
        Source::setProgramRunState(KeywordBridge_IdleWtgRun::IDLE);
        QCOMPARE(b.getRealCurrentLevel(), 2.0);
    }
}

void tst_AbcMemory::levelOutOfRangeStillAppliesTheVoltage()
{
    Basic &b = *m_basic;
    ABC_MEMORY preset;
    preset.cc_high = 1e9;
    preset.cv_high = 25.0;
    m_presets.replace({ preset, preset, preset });
    const double before = b.getRealCurrentLevel();
    QCOMPARE(m_presets.recall(0, b), SCPIERR_T(-222));
    QCOMPARE(b.getRealCurrentLevel(), before);
    QCOMPARE(b.getRealVoltageLevel(), 25.0);
}

void tst_AbcMemory::refusals()
{
    QCOMPARE(m_presets.store(-1, *m_basic), SCPIERR_T(-222));
    QCOMPARE(m_presets.recall(3, *m_basic), SCPIERR_T(-222));
    QVERIFY(m_presets.preview(3).isEmpty());
    // Without an arbitrary table handed down, ARB presets are an error, never a silent success.
    QCOMPARE(m_basic->setFunctionMode(vek::SourceMode(Mode::ARB)), SCPIERR_T(0));
    QCOMPARE(m_presets.store(0, *m_basic), SCPIERR_T(-200));
    QCOMPARE(m_presets.recall(0, *m_basic), SCPIERR_T(-200));
    QVERIFY(m_presets.preview(0).isEmpty());
}

void tst_AbcMemory::arbPresetHoldsThePointTable()
{
    vek::ArbitraryModel arb(m_engine.writer.get(), m_engine.info.get());
    m_presets.setArbitraryModel(&arb);
    QCOMPARE(m_basic->setFunctionMode(vek::SourceMode(Mode::ARB)), SCPIERR_T(0));
    const double vfs = ModelInformation::rangeValue(m_engine.info->voltageMap(), 1).m_max;
    QList<vek::ARBITRARY_DATA> curve { { 0, 0 }, { 5, 1 }, { vfs, 2 } };
    QCOMPARE(arb.setTable(curve), SCPIERR_T(0));
    QCOMPARE(m_presets.store(1, *m_basic), SCPIERR_T(0));
    QCOMPARE(m_presets.at(1).cc_high, 0.0); // no level is touched
    QVERIFY(m_presets.preview(1).isEmpty());

    QCOMPARE(arb.clear(), SCPIERR_T(0));
    QCOMPARE(arb.transmit(vek::UpdateIfChanged), SCPIERR_T(0));
    QVERIFY(m_engine.flushWriter());
    QVERIFY(m_engine.board->clearLog());
    QCOMPARE(m_presets.recall(1, *m_basic), SCPIERR_T(0));
    QCOMPARE(arb.getCount(), 3);
    QCOMPARE(arb.getData().at(1).voltage, 5.0);
    QVERIFY(m_engine.flushWriter());
    QVERIFY(!EngineFixture::writesTo(m_engine.board->log(), 0x30000000).isEmpty());

    // A preset the table refuses changes nothing and sends nothing.
    vek::ABC_MEMORY bad;
    bad.arbitraryPoints = { { 0, 0 }, { 9, 0 }, { 3, 0 } };
    m_presets.replace({ bad, bad, bad });
    QVERIFY(m_engine.board->clearLog());
    QCOMPARE(m_presets.recall(0, *m_basic), SCPIERR_T(124));
    QCOMPARE(arb.getData().at(1).voltage, 5.0);
    QVERIFY(m_engine.flushWriter());
    QVERIFY(EngineFixture::writesTo(m_engine.board->log(), 0x30000000).isEmpty());
    Source::setProgramRunState(KeywordBridge_IdleWtgRun::RUN);
    QCOMPARE(m_presets.recall(0, *m_basic), SCPIERR_T(104));
}

QTEST_MAIN(tst_AbcMemory)
#include "tst_AbcMemory.moc"
