#include "commands/AcquireValues.h"

#include "engine/ioc/IoControl.h"

#include <QtTest>

using Sources = KeywordBridge_ImmBusAndMore;
using ioc::IoControl;

namespace {

// Acquisition flags as the acquisition value maps them (a model with the load-off trigger).
unsigned acquisitionFlag(Sources::values s)
{
    switch (s) {
    case Sources::IMM:
        return IoControl::tasImmediate;
    case Sources::BUS:
        return IoControl::tasBus;
    case Sources::DIGITAL2:
        return IoControl::tasDigital2;
    case Sources::LOADOFF:
        return IoControl::tasLoadOff;
    default:
        return 0;
    }
}

} // namespace

// The trigger-source value's forms: a source alone, a source added to the first one set, a
// source removed from it, and the sources the trigger system has no flag for.
class tst_AcquireValues : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sources_data();
    void sources();
};

void tst_AcquireValues::sources_data()
{
    QTest::addColumn<unsigned>("present");
    QTest::addColumn<int>("k");
    QTest::addColumn<int>("result");
    QTest::addColumn<unsigned>("after");
    QTest::addColumn<int>("answer");

    const unsigned imm = IoControl::tasImmediate;
    const unsigned bus = IoControl::tasBus;
    const unsigned dig2 = IoControl::tasDigital2;
    QTest::newRow("bus alone") << imm << int(Sources::BUS) << 0 << bus << int(Sources::BUS);
    QTest::newRow("no flag") << bus << int(Sources::TRIGIN) << -224 << bus << int(Sources::BUS);
    QTest::newRow("cut-off has no flag")
        << bus << int(Sources::CUTOFF) << -224 << bus << int(Sources::BUS);
    QTest::newRow("add to immediate") << imm << (0x80 | Sources::DIGITAL2) << 0 << dig2
                                      << int(Sources::DIGITAL2);
    QTest::newRow("add to bus") << bus << (0x80 | Sources::DIGITAL2) << 0 << (bus | dig2)
                                << int(Sources::BUS);
    QTest::newRow("add immediate") << bus << 0x80 << 0 << imm << int(Sources::IMM);
    QTest::newRow("remove the first") << bus << (0xC0 | Sources::BUS) << 0 << imm
                                      << int(Sources::IMM);
    QTest::newRow("remove another")
        << bus << (0xC0 | Sources::DIGITAL2) << 0 << bus << int(Sources::BUS);
    QTest::newRow("add one without a flag")
        << bus << (0x80 | Sources::TRIGOUT) << -224 << bus << int(Sources::BUS);
}

void tst_AcquireValues::sources()
{
    QFETCH(unsigned, present);
    QFETCH(int, k);
    QFETCH(int, result);
    QFETCH(unsigned, after);
    QFETCH(int, answer);

    unsigned flags = present;
    ValueTriggerSources value(
        2109, acquisitionFlag,
        [&flags](unsigned f) {
            flags = f;
            return 0;
        },
        [&flags] { return flags; });
    QCOMPARE(value.setValue(static_cast<unsigned char>(k)), result);
    QCOMPARE(flags, after);
    QCOMPARE(int(value.getValue()), answer);
}

QTEST_GUILESS_MAIN(tst_AcquireValues)
#include "tst_AcquireValues.moc"
