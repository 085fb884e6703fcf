#include "commands/keywords/InstrumentErrorTexts.h"
#include "commands/keywords/KeywordsData.h"
#include "commands/keywords/KeywordsDisplay.h"
#include "commands/keywords/KeywordsProgram.h"
#include "commands/keywords/KeywordsSource.h"
#include "commands/keywords/KeywordsSystem.h"
#include "commands/keywords/KeywordsTrigger.h"

#include <QtTest>

#include <memory>

// Every alias of every enumeration maps to its index, in any case, and every index answers
// with its first alias; the enumeration values equal the indexes.
class tst_KeywordBridges : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aliases_data();
    void aliases();
    void enginesNumbers();
    void instrumentErrorTexts_data();
    void instrumentErrorTexts();

private:
    template <typename Bridge>
    void addAliases(const char *name, const char *alias, int index, const char *first, int value)
    {
        const QByteArray row = QByteArray(name) + ' ' + alias;
        QTest::newRow(row.constData())
            << std::shared_ptr<zostd::IKeywordBridge>(std::make_shared<Bridge>())
            << QByteArray(alias) << index << QByteArray(first) << value;
    }
};

Q_DECLARE_METATYPE(std::shared_ptr<zostd::IKeywordBridge>)

void tst_KeywordBridges::aliases_data()
{
    QTest::addColumn<std::shared_ptr<zostd::IKeywordBridge>>("bridge");
    QTest::addColumn<QByteArray>("alias");
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<int>("value");

    addAliases<KeywordBridge_CurrVoltPowEtimCapEner>("KeywordBridge_CurrVoltPowEtimCapEner",
        "CURR",
        0,
        "CURR",
        KeywordBridge_CurrVoltPowEtimCapEner::CURR);
    addAliases<KeywordBridge_CurrVoltPowEtimCapEner>("KeywordBridge_CurrVoltPowEtimCapEner",
        "CURRENT",
        0,
        "CURR",
        KeywordBridge_CurrVoltPowEtimCapEner::CURR);
    addAliases<KeywordBridge_CurrVoltPowEtimCapEner>("KeywordBridge_CurrVoltPowEtimCapEner",
        "VOLT",
        1,
        "VOLT",
        KeywordBridge_CurrVoltPowEtimCapEner::VOLT);
    addAliases<KeywordBridge_CurrVoltPowEtimCapEner>("KeywordBridge_CurrVoltPowEtimCapEner",
        "VOLTAGE",
        1,
        "VOLT",
        KeywordBridge_CurrVoltPowEtimCapEner::VOLT);
    addAliases<KeywordBridge_CurrVoltPowEtimCapEner>("KeywordBridge_CurrVoltPowEtimCapEner",
        "POW",
        2,
        "POW",
        KeywordBridge_CurrVoltPowEtimCapEner::POW);
    addAliases<KeywordBridge_CurrVoltPowEtimCapEner>("KeywordBridge_CurrVoltPowEtimCapEner",
        "POWER",
        2,
        "POW",
        KeywordBridge_CurrVoltPowEtimCapEner::POW);
    addAliases<KeywordBridge_CurrVoltPowEtimCapEner>("KeywordBridge_CurrVoltPowEtimCapEner",
        "ETIM",
        3,
        "ETIM",
        KeywordBridge_CurrVoltPowEtimCapEner::ETIM);
    addAliases<KeywordBridge_CurrVoltPowEtimCapEner>("KeywordBridge_CurrVoltPowEtimCapEner",
        "ETIME",
        3,
        "ETIM",
        KeywordBridge_CurrVoltPowEtimCapEner::ETIM);
    addAliases<KeywordBridge_CurrVoltPowEtimCapEner>("KeywordBridge_CurrVoltPowEtimCapEner",
        "CAP",
        4,
        "CAP",
        KeywordBridge_CurrVoltPowEtimCapEner::CAP);
    addAliases<KeywordBridge_CurrVoltPowEtimCapEner>("KeywordBridge_CurrVoltPowEtimCapEner",
        "CAPACITY",
        4,
        "CAP",
        KeywordBridge_CurrVoltPowEtimCapEner::CAP);
    addAliases<KeywordBridge_CurrVoltPowEtimCapEner>("KeywordBridge_CurrVoltPowEtimCapEner",
        "ENER",
        5,
        "ENER",
        KeywordBridge_CurrVoltPowEtimCapEner::ENER);
    addAliases<KeywordBridge_CurrVoltPowEtimCapEner>("KeywordBridge_CurrVoltPowEtimCapEner",
        "ENERGY",
        5,
        "ENER",
        KeywordBridge_CurrVoltPowEtimCapEner::ENER);
    addAliases<KeywordBridge_NumCharTabl>(
        "KeywordBridge_NumCharTabl", "NUM", 0, "NUM", KeywordBridge_NumCharTabl::NUM);
    addAliases<KeywordBridge_NumCharTabl>(
        "KeywordBridge_NumCharTabl", "NUMERIC", 0, "NUM", KeywordBridge_NumCharTabl::NUM);
    addAliases<KeywordBridge_NumCharTabl>(
        "KeywordBridge_NumCharTabl", "CHAR", 1, "CHAR", KeywordBridge_NumCharTabl::CHAR);
    addAliases<KeywordBridge_NumCharTabl>(
        "KeywordBridge_NumCharTabl", "CHART", 1, "CHAR", KeywordBridge_NumCharTabl::CHAR);
    addAliases<KeywordBridge_NumCharTabl>(
        "KeywordBridge_NumCharTabl", "TABL", 2, "TABL", KeywordBridge_NumCharTabl::TABL);
    addAliases<KeywordBridge_NumCharTabl>(
        "KeywordBridge_NumCharTabl", "TABLE", 2, "TABL", KeywordBridge_NumCharTabl::TABL);
    addAliases<KeywordBridge_DefNextEnd>(
        "KeywordBridge_DefNextEnd", "DEF", 0, "DEF", KeywordBridge_DefNextEnd::DEF);
    addAliases<KeywordBridge_DefNextEnd>(
        "KeywordBridge_DefNextEnd", "DEFAULT", 0, "DEF", KeywordBridge_DefNextEnd::DEF);
    addAliases<KeywordBridge_DefNextEnd>(
        "KeywordBridge_DefNextEnd", "NEXT", 1, "NEXT", KeywordBridge_DefNextEnd::NEXT);
    addAliases<KeywordBridge_DefNextEnd>(
        "KeywordBridge_DefNextEnd", "END", 2, "END", KeywordBridge_DefNextEnd::END);
    addAliases<KeywordBridge_IdleWtgRun>(
        "KeywordBridge_IdleWtgRun", "IDLE", 0, "IDLE", KeywordBridge_IdleWtgRun::IDLE);
    addAliases<KeywordBridge_IdleWtgRun>(
        "KeywordBridge_IdleWtgRun", "WTG", 1, "WTG", KeywordBridge_IdleWtgRun::WTG);
    addAliases<KeywordBridge_IdleWtgRun>(
        "KeywordBridge_IdleWtgRun", "SUSP", 2, "SUSP", KeywordBridge_IdleWtgRun::SUSP);
    addAliases<KeywordBridge_IdleWtgRun>(
        "KeywordBridge_IdleWtgRun", "RUN", 3, "RUN", KeywordBridge_IdleWtgRun::RUN);
    addAliases<KeywordBridge_IdleWtgRun>(
        "KeywordBridge_IdleWtgRun", "PULS", 4, "PULS", KeywordBridge_IdleWtgRun::PULS);
    addAliases<KeywordBridge_IdleWtgRun>(
        "KeywordBridge_IdleWtgRun", "SINE", 5, "SINE", KeywordBridge_IdleWtgRun::SINE);
    addAliases<KeywordBridge_CcCrCvCpArb>(
        "KeywordBridge_CcCrCvCpArb", "CC", 0, "CC", KeywordBridge_CcCrCvCpArb::CC);
    addAliases<KeywordBridge_CcCrCvCpArb>(
        "KeywordBridge_CcCrCvCpArb", "CR", 1, "CR", KeywordBridge_CcCrCvCpArb::CR);
    addAliases<KeywordBridge_CcCrCvCpArb>(
        "KeywordBridge_CcCrCvCpArb", "CV", 2, "CV", KeywordBridge_CcCrCvCpArb::CV);
    addAliases<KeywordBridge_CcCrCvCpArb>(
        "KeywordBridge_CcCrCvCpArb", "CP", 3, "CP", KeywordBridge_CcCrCvCpArb::CP);
    addAliases<KeywordBridge_CcCrCvCpArb>(
        "KeywordBridge_CcCrCvCpArb", "ARB", 4, "ARB", KeywordBridge_CcCrCvCpArb::ARB);
    addAliases<KeywordBridge_ImmRamp>(
        "KeywordBridge_ImmRamp", "IMM", 0, "IMM", KeywordBridge_ImmRamp::IMM);
    addAliases<KeywordBridge_ImmRamp>(
        "KeywordBridge_ImmRamp", "IMMEDIATE", 0, "IMM", KeywordBridge_ImmRamp::IMM);
    addAliases<KeywordBridge_ImmRamp>(
        "KeywordBridge_ImmRamp", "RAMP", 1, "RAMP", KeywordBridge_ImmRamp::RAMP);
    addAliases<KeywordBridge_LimitTrip>(
        "KeywordBridge_LimitTrip", "LIM", 0, "LIM", KeywordBridge_LimitTrip::LIM);
    addAliases<KeywordBridge_LimitTrip>(
        "KeywordBridge_LimitTrip", "LIMIT", 0, "LIM", KeywordBridge_LimitTrip::LIM);
    addAliases<KeywordBridge_LimitTrip>(
        "KeywordBridge_LimitTrip", "TRIP", 1, "TRIP", KeywordBridge_LimitTrip::TRIP);
    addAliases<KeywordBridge_LowHigh>(
        "KeywordBridge_LowHigh", "LOW", 0, "LOW", KeywordBridge_LowHigh::LOW);
    addAliases<KeywordBridge_LowHigh>(
        "KeywordBridge_LowHigh", "HIGH", 1, "HIGH", KeywordBridge_LowHigh::HIGH);
    addAliases<KeywordBridge_LowMedHigh>(
        "KeywordBridge_LowMedHigh", "LOW", 0, "LOW", KeywordBridge_LowMedHigh::LOW);
    addAliases<KeywordBridge_LowMedHigh>(
        "KeywordBridge_LowMedHigh", "MED", 1, "MED", KeywordBridge_LowMedHigh::MED);
    addAliases<KeywordBridge_LowMedHigh>(
        "KeywordBridge_LowMedHigh", "MEDIUM", 1, "MED", KeywordBridge_LowMedHigh::MED);
    addAliases<KeywordBridge_LowMedHigh>(
        "KeywordBridge_LowMedHigh", "HIGH", 2, "HIGH", KeywordBridge_LowMedHigh::HIGH);
    addAliases<KeywordBridge_NoneOcOpUvWdog>(
        "KeywordBridge_NoneOcOpUvWdog", "NONE", 0, "NONE", KeywordBridge_NoneOcOpUvWdog::NONE);
    addAliases<KeywordBridge_NoneOcOpUvWdog>(
        "KeywordBridge_NoneOcOpUvWdog", "OC", 1, "OC", KeywordBridge_NoneOcOpUvWdog::OC);
    addAliases<KeywordBridge_NoneOcOpUvWdog>(
        "KeywordBridge_NoneOcOpUvWdog", "OP", 2, "OP", KeywordBridge_NoneOcOpUvWdog::OP);
    addAliases<KeywordBridge_NoneOcOpUvWdog>(
        "KeywordBridge_NoneOcOpUvWdog", "UV", 3, "UV", KeywordBridge_NoneOcOpUvWdog::UV);
    addAliases<KeywordBridge_NoneOcOpUvWdog>(
        "KeywordBridge_NoneOcOpUvWdog", "WDOG", 4, "WDOG", KeywordBridge_NoneOcOpUvWdog::WDOG);
    addAliases<KeywordBridge_NormFast>(
        "KeywordBridge_NormFast", "NORM", 0, "NORM", KeywordBridge_NormFast::NORM);
    addAliases<KeywordBridge_NormFast>(
        "KeywordBridge_NormFast", "NORMAL", 0, "NORM", KeywordBridge_NormFast::NORM);
    addAliases<KeywordBridge_NormFast>(
        "KeywordBridge_NormFast", "FAST", 1, "FAST", KeywordBridge_NormFast::FAST);
    addAliases<KeywordBridge_NormWoutBout>(
        "KeywordBridge_NormWoutBout", "NORM", 0, "NORM", KeywordBridge_NormWoutBout::NORM);
    addAliases<KeywordBridge_NormWoutBout>(
        "KeywordBridge_NormWoutBout", "NORMAL", 0, "NORM", KeywordBridge_NormWoutBout::NORM);
    addAliases<KeywordBridge_NormWoutBout>(
        "KeywordBridge_NormWoutBout", "WOUT", 1, "WOUT", KeywordBridge_NormWoutBout::WOUT);
    addAliases<KeywordBridge_NormWoutBout>(
        "KeywordBridge_NormWoutBout", "BOUT", 2, "BOUT", KeywordBridge_NormWoutBout::BOUT);
    addAliases<KeywordBridge_PosNeg>(
        "KeywordBridge_PosNeg", "POS", 0, "POS", KeywordBridge_PosNeg::POS);
    addAliases<KeywordBridge_PosNeg>(
        "KeywordBridge_PosNeg", "POSITIVE", 0, "POS", KeywordBridge_PosNeg::POS);
    addAliases<KeywordBridge_PosNeg>(
        "KeywordBridge_PosNeg", "NEG", 1, "NEG", KeywordBridge_PosNeg::NEG);
    addAliases<KeywordBridge_PosNeg>(
        "KeywordBridge_PosNeg", "NEGATIVE", 1, "NEG", KeywordBridge_PosNeg::NEG);
    addAliases<KeywordBridge_InpOutp>(
        "KeywordBridge_InpOutp", "INP", 0, "INP", KeywordBridge_InpOutp::INP);
    addAliases<KeywordBridge_InpOutp>(
        "KeywordBridge_InpOutp", "INPUT", 0, "INP", KeywordBridge_InpOutp::INP);
    addAliases<KeywordBridge_InpOutp>(
        "KeywordBridge_InpOutp", "OUTP", 1, "OUTP", KeywordBridge_InpOutp::OUTP);
    addAliases<KeywordBridge_InpOutp>(
        "KeywordBridge_InpOutp", "OUTPUT", 1, "OUTP", KeywordBridge_InpOutp::OUTP);
    addAliases<KeywordBridge_LocRemRwl>(
        "KeywordBridge_LocRemRwl", "LOC", 0, "LOC", KeywordBridge_LocRemRwl::LOC);
    addAliases<KeywordBridge_LocRemRwl>(
        "KeywordBridge_LocRemRwl", "LOCAL", 0, "LOC", KeywordBridge_LocRemRwl::LOC);
    addAliases<KeywordBridge_LocRemRwl>(
        "KeywordBridge_LocRemRwl", "REM", 1, "REM", KeywordBridge_LocRemRwl::REM);
    addAliases<KeywordBridge_LocRemRwl>(
        "KeywordBridge_LocRemRwl", "REMOTE", 1, "REM", KeywordBridge_LocRemRwl::REM);
    addAliases<KeywordBridge_LocRemRwl>(
        "KeywordBridge_LocRemRwl", "RWL", 2, "RWL", KeywordBridge_LocRemRwl::RWL);
    addAliases<KeywordBridge_LocRemRwl>(
        "KeywordBridge_LocRemRwl", "RWLOCK", 2, "RWL", KeywordBridge_LocRemRwl::RWL);
    addAliases<KeywordBridge_NoneLoadonProgran>("KeywordBridge_NoneLoadonProgran",
        "NONE",
        0,
        "NONE",
        KeywordBridge_NoneLoadonProgran::NONE);
    addAliases<KeywordBridge_NoneLoadonProgran>("KeywordBridge_NoneLoadonProgran",
        "LOAD_ON",
        1,
        "LOAD_ON",
        KeywordBridge_NoneLoadonProgran::LOAD_ON);
    addAliases<KeywordBridge_NoneLoadonProgran>("KeywordBridge_NoneLoadonProgran",
        "PROG_RUN",
        2,
        "PROG_RUN",
        KeywordBridge_NoneLoadonProgran::PROG_RUN);
    addAliases<KeywordBridge_RstRcl0Auto>(
        "KeywordBridge_RstRcl0Auto", "RST", 0, "RST", KeywordBridge_RstRcl0Auto::RST);
    addAliases<KeywordBridge_RstRcl0Auto>(
        "KeywordBridge_RstRcl0Auto", "RCL0", 1, "RCL0", KeywordBridge_RstRcl0Auto::RCL0);
    addAliases<KeywordBridge_RstRcl0Auto>(
        "KeywordBridge_RstRcl0Auto", "AUTO", 2, "AUTO", KeywordBridge_RstRcl0Auto::AUTO);
    addAliases<KeywordBridge_ImmBusAndMore>(
        "KeywordBridge_ImmBusAndMore", "IMM", 0, "IMM", KeywordBridge_ImmBusAndMore::IMM);
    addAliases<KeywordBridge_ImmBusAndMore>(
        "KeywordBridge_ImmBusAndMore", "IMMEDIATE", 0, "IMM", KeywordBridge_ImmBusAndMore::IMM);
    addAliases<KeywordBridge_ImmBusAndMore>(
        "KeywordBridge_ImmBusAndMore", "BUS", 1, "BUS", KeywordBridge_ImmBusAndMore::BUS);
    addAliases<KeywordBridge_ImmBusAndMore>(
        "KeywordBridge_ImmBusAndMore", "TRIGIN", 2, "TRIGIN", KeywordBridge_ImmBusAndMore::TRIGIN);
    addAliases<KeywordBridge_ImmBusAndMore>("KeywordBridge_ImmBusAndMore",
        "TRIGOUT",
        3,
        "TRIGOUT",
        KeywordBridge_ImmBusAndMore::TRIGOUT);
    addAliases<KeywordBridge_ImmBusAndMore>("KeywordBridge_ImmBusAndMore",
        "DIGITAL0",
        4,
        "DIGITAL0",
        KeywordBridge_ImmBusAndMore::DIGITAL0);
    addAliases<KeywordBridge_ImmBusAndMore>("KeywordBridge_ImmBusAndMore",
        "DIGITAL1",
        5,
        "DIGITAL1",
        KeywordBridge_ImmBusAndMore::DIGITAL1);
    addAliases<KeywordBridge_ImmBusAndMore>("KeywordBridge_ImmBusAndMore",
        "DIGITAL2",
        6,
        "DIGITAL2",
        KeywordBridge_ImmBusAndMore::DIGITAL2);
    addAliases<KeywordBridge_ImmBusAndMore>(
        "KeywordBridge_ImmBusAndMore", "TAL", 7, "TAL", KeywordBridge_ImmBusAndMore::TAL);
    addAliases<KeywordBridge_ImmBusAndMore>(
        "KeywordBridge_ImmBusAndMore", "TALINK", 7, "TAL", KeywordBridge_ImmBusAndMore::TAL);
    addAliases<KeywordBridge_ImmBusAndMore>(
        "KeywordBridge_ImmBusAndMore", "MSYN", 8, "MSYN", KeywordBridge_ImmBusAndMore::MSYN);
    addAliases<KeywordBridge_ImmBusAndMore>(
        "KeywordBridge_ImmBusAndMore", "MSYNC", 8, "MSYN", KeywordBridge_ImmBusAndMore::MSYN);
    addAliases<KeywordBridge_ImmBusAndMore>("KeywordBridge_ImmBusAndMore",
        "LOADOFF",
        9,
        "LOADOFF",
        KeywordBridge_ImmBusAndMore::LOADOFF);
    addAliases<KeywordBridge_ImmBusAndMore>(
        "KeywordBridge_ImmBusAndMore", "CUTOFF", 10, "CUTOFF", KeywordBridge_ImmBusAndMore::CUTOFF);
}

void tst_KeywordBridges::aliases()
{
    QFETCH(std::shared_ptr<zostd::IKeywordBridge>, bridge);
    QFETCH(QByteArray, alias);
    QFETCH(int, index);
    QFETCH(QByteArray, first);
    QFETCH(int, value);

    QCOMPARE(value, index);
    QVERIFY(index < bridge->getCount());
    QCOMPARE(bridge->getMappedValue(alias.toStdString()), index);
    QCOMPARE(bridge->getMappedValue(alias.toLower().toStdString()), index);
    QCOMPARE(QByteArray::fromStdString(bridge->getMappedKeyword(index)), first);
    QCOMPARE(bridge->getMappedValue((alias + 'Z').toStdString()), -1); // no prefix match
    QVERIFY(bridge->getMappedKeyword(bridge->getCount()).empty());
}

// The numbers the engine and the stored files rely on.
void tst_KeywordBridges::enginesNumbers()
{
    QCOMPARE(int(KeywordBridge_CcCrCvCpArb::ARB), 4);
    QCOMPARE(int(KeywordBridge_LowMedHigh::HIGH), 2);
    QCOMPARE(int(KeywordBridge_LowHigh::HIGH), 1);
    QCOMPARE(int(KeywordBridge_NormFast::FAST), 1);
    QCOMPARE(int(KeywordBridge_ImmBusAndMore::CUTOFF), 10);
    QCOMPARE(int(KeywordBridge_IdleWtgRun::RUN), 3);
    QCOMPARE(KeywordBridge_ImmBusAndMore().getCount(), 11);
    QCOMPARE(KeywordBridge_CurrVoltPowEtimCapEner().getCount(), 6);
}

void tst_KeywordBridges::instrumentErrorTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("101") << 101 << QByteArray("Setting conflicts due to PROTection state");
    QTest::newRow("108") << 108 << QByteArray("Wrong password given");
    QTest::newRow("126") << 126 << QByteArray("Too many ARBitrary map data");
    QTest::newRow("304") << 304 << QByteArray("PROGram not selected");
    QTest::newRow("313") << 313 << QByteArray("PROGram cannot be created during selection");
    QTest::newRow("gap 114") << 114 << QByteArray();
    QTest::newRow("standard code") << -222 << QByteArray();
}

void tst_KeywordBridges::instrumentErrorTexts()
{
    QFETCH(int, code);
    QFETCH(QByteArray, text);

    QCOMPARE(QByteArray(InstrumentErrorTexts::text(short(code))), text);
    QCOMPARE(InstrumentErrorTexts::count(), 37);
}

QTEST_APPLESS_MAIN(tst_KeywordBridges)

#include "tst_KeywordBridges.moc"
