#include "instrument/BoundValue.h"
#include "instrument/IBoundValueWidget.h"
#include "instrument/InstrumentErrors.h"

#include <QMap>
#include <QtTest>

#include <limits>

namespace {

// Records the calls a bound value makes on an entry widget, in order.
class RecordingWidget : public IBoundValueWidget
{
public:
    void setSiPrefix(const QString &prefix) override { calls << "prefix " + prefix; }
    void setDecimals(int decimals) override { calls << QString("decimals %1").arg(decimals); }
    void setRange(double min, double max) override
    {
        calls << QString("range %1 %2").arg(min).arg(max);
    }
    void setSingleStep(double step) override { calls << QString("step %1").arg(step); }
    void setSuffix(const QString &suffix) override { calls << "suffix " + suffix; }
    void setValue(double value) override { calls << QString("value %1").arg(value); }

    QStringList calls;
};

BoundValue level(double min, double max, qint64 scale = 4294967295LL)
{
    BoundValue v;
    v.setLimits(min, max);
    v.m_scale = scale;
    return v;
}

// Calculates a map the way the model information does: one exponent, keys ascending.
QVector<int> calculateMap(QMap<int, BoundValue> &map)
{
    QVector<int> results;
    int power = BoundValueBase::PowerUnset;
    for (auto it = map.begin(); it != map.end(); ++it)
        results << it.value().calculation(&power);
    return results;
}

} // namespace

class tst_BoundValue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void round_data();
    void round();
    void computation_data();
    void computation();
    void prefix_data();
    void prefix();
    void currentMapWorkedExample();
    void firstKeyFixesPower();
    void acquisitionFactor();
    void limitsRoundToNearest_data();
    void limitsRoundToNearest();
    void toCounts_data();
    void toCounts();
    void registerValue();
    void overflowIsRefused_data();
    void overflowIsRefused();
    void parallelUnitsSum();
    void widgetCalls_data();
    void widgetCalls();
};

void tst_BoundValue::round_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("expected");

    QTest::newRow("0.00025") << 0.00025 << 0.0005;
    QTest::newRow("0.0025") << 0.0025 << 0.005;
    QTest::newRow("member 0.005 unchanged") << 0.005 << 0.005;
    QTest::newRow("member 0.0005 unchanged") << 0.0005 << 0.0005;
    QTest::newRow("7.5e-5") << 7.5e-5 << 0.0001;
    QTest::newRow("0.3") << 0.3 << 0.5;
    QTest::newRow("2.5e-6") << 2.5e-6 << 5e-6;
    QTest::newRow("150") << 150.0 << 200.0;
    QTest::newRow("just above a member") << 0.2000001 << 0.5;
    QTest::newRow("1.1 to 2") << 1.1 << 2.0;
    QTest::newRow("smallest of the table span") << std::ldexp(1.0, -25) << 5e-8;
    QTest::newRow("beyond 200 goes on") << 250.0 << 500.0;
    QTest::newRow("zero") << 0.0 << 0.0;
}

void tst_BoundValue::round()
{
    QFETCH(double, x);
    QFETCH(double, expected);
    // Exact: the result must be the double the decimal literal reads as.
    QCOMPARE(BoundValueAcq::round(x), expected);
}

void tst_BoundValue::computation_data()
{
    QTest::addColumn<double>("step");
    QTest::addColumn<int>("decimals");

    QTest::newRow("5") << 5.0 << 0;
    QTest::newRow("0.5") << 0.5 << 1;
    QTest::newRow("0.0005") << 0.0005 << 4;
    QTest::newRow("1e-5") << 1e-5 << 5;
    QTest::newRow("5e-8") << 5e-8 << 8;
    QTest::newRow("capped at 10") << 1e-12 << 10;
}

void tst_BoundValue::computation()
{
    QFETCH(double, step);
    QFETCH(int, decimals);
    QCOMPARE(BoundValueAcq::computation(step), decimals);
}

void tst_BoundValue::prefix_data()
{
    QTest::addColumn<double>("max");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<double>("factor");
    QTest::addColumn<int>("decimals");

    // A range entry starts from 0 decimals, so they show the prefix's exponent.
    QTest::newRow("below 1e-6") << 5e-7 << "n" << 1e-9 << -9;
    QTest::newRow("below 1e-3") << 5e-4 << "u" << 1e-6 << -6;
    QTest::newRow("0.5") << 0.5 << "m" << 1e-3 << -3;
    QTest::newRow("exactly 1") << 1.0 << "" << 1.0 << 0;
    QTest::newRow("9999") << 9999.0 << "" << 1.0 << 0;
    QTest::newRow("exactly 10000") << 10000.0 << "k" << 1e3 << 3;
    QTest::newRow("1e6") << 1e6 << "M" << 1e6 << 6;
    QTest::newRow("beyond every threshold") << 5e11 << "G" << 1e9 << 9;
}

void tst_BoundValue::prefix()
{
    QFETCH(double, max);
    QFETCH(QString, prefix);
    QFETCH(double, factor);
    QFETCH(int, decimals);

    BoundValueBase range;
    QVERIFY(range.setLimits(0, max));
    int power = BoundValueBase::PowerUnset;
    QCOMPARE(range.calculation(&power), 0);
    QCOMPARE(power, int(BoundValueBase::PowerUnset));
    QCOMPARE(range.m_siPrefix, prefix);
    QCOMPARE(range.m_prefixFactor, factor);
    QCOMPARE(range.m_decimals, decimals);
}

void tst_BoundValue::currentMapWorkedExample()
{
    QMap<int, BoundValue> map;
    map[0] = level(0, 0.15, 150000);
    map[1] = level(0, 1.5, 1500000);
    map[2] = level(0, 15, 15000000);
    QCOMPARE(calculateMap(map), QVector<int>({ 0, 0, 0 }));

    struct Row
    {
        double step;
        int stepDecimals;
        qint32 maxCount;
        const char *prefix;
        int decimals;
    } rows[] = {
        { 5e-6, 6, 150000, "m", 3 },
        { 5e-5, 5, 1500000, "", 5 },
        { 0.0005, 4, 15000000, "", 4 },
    };
    for (int key = 0; key < 3; ++key) {
        const BoundValue &v = map[key];
        QCOMPARE(v.m_power, 6);
        QCOMPARE(v.m_step, rows[key].step);
        QCOMPARE(v.m_stepDecimals, rows[key].stepDecimals);
        QCOMPARE(v.m_minCount, 0);
        QCOMPARE(v.m_maxCount, rows[key].maxCount);
        QCOMPARE(v.m_siPrefix, QString(rows[key].prefix));
        QCOMPARE(v.m_decimals, rows[key].decimals);
        // Scales chosen as 1e6 per ampere: one count of 1e-6 A is one register unit.
        QCOMPARE(v.m_factor, 1.0);
    }
}

void tst_BoundValue::firstKeyFixesPower()
{
    // Key 0 needs 2 decimals (step 0.02), key 1 on its own would need 6: it still gets 2.
    QMap<int, BoundValue> map;
    map[0] = level(0, 1000);
    map[1] = level(0.1, 0.29);
    QCOMPARE(calculateMap(map), QVector<int>({ 0, 0 }));
    QCOMPARE(map[0].m_power, 2);
    QCOMPARE(map[1].m_power, 2);
    QCOMPARE(map[1].m_stepDecimals, 6);
    QCOMPARE(map[1].m_minCount, 10);
    QCOMPARE(map[1].m_maxCount, 29);

    qint32 counts = -1;
    QCOMPARE(map[1].toCounts(0.29, &counts), 0);
    QCOMPARE(counts, 29);
    QCOMPARE(map[1].toCounts(0.30, &counts), int(InstrumentErrors::DataOutOfRange));
    QCOMPARE(map[1].toCounts(0.1, &counts), 0);
    QCOMPARE(counts, 10);
    QCOMPARE(map[1].toCounts(0.09, &counts), int(InstrumentErrors::DataOutOfRange));
}

void tst_BoundValue::acquisitionFactor()
{
    BoundValueAcq current;
    current.setLimits(0, 30);
    current.m_scale = 30000000;
    int power = BoundValueBase::PowerUnset;
    QCOMPARE(current.calculation(&power), 0);
    QCOMPARE(power, int(BoundValueBase::PowerUnset));
    QCOMPARE(current.m_factor, 1e-6);
    // step round(30 / 20000) = 0.002: 3 decimals, no prefix.
    QCOMPARE(current.m_decimals, 3);
    QCOMPARE(current.m_siPrefix, QString());

    BoundValueAcq zeroScale;
    zeroScale.setLimits(0, 30);
    zeroScale.m_scale = 0;
    QCOMPARE(zeroScale.calculation(&power), int(InstrumentErrors::SystemError));
}

void tst_BoundValue::limitsRoundToNearest_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<quint64>("e5");

    QTest::newRow("0.29 is 29000, not 28999") << 0.29 << true << quint64(29000);
    QTest::newRow("0.57") << 0.57 << true << quint64(57000);
    QTest::newRow("150") << 150.0 << true << quint64(15000000);
    QTest::newRow("0") << 0.0 << true << quint64(0);
    QTest::newRow("negative") << -0.1 << false << quint64(0);
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << false << quint64(0);
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << false << quint64(0);
    QTest::newRow("implausibly large") << 1e13 << false << quint64(0);
}

void tst_BoundValue::limitsRoundToNearest()
{
    QFETCH(double, value);
    QFETCH(bool, accepted);
    QFETCH(quint64, e5);

    quint64 result = 0;
    QCOMPARE(BoundValueBase::toE5(value, &result), accepted);
    if (accepted)
        QCOMPARE(result, e5);

    BoundValue v = level(0, 1);
    QCOMPARE(v.setLimits(0, value), accepted);
    QCOMPARE(v.m_max, accepted ? value : 1.0);
}

void tst_BoundValue::toCounts_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("clamp");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("counts");

    // Map of 0.1 .. 15 A with power 4 (step 0.0005): counts 1000 .. 150000.
    const int bad = InstrumentErrors::DataOutOfRange;
    QTest::newRow("inside") << 1.2345 << false << 0 << 12345;
    QTest::newRow("half rounds away from zero") << 1.23445 << false << 0 << 12345;
    QTest::newRow("just under half") << 1.23444 << false << 0 << 12344;
    QTest::newRow("maximum") << 15.0 << false << 0 << 150000;
    QTest::newRow("minimum") << 0.1 << false << 0 << 1000;
    QTest::newRow("above maximum") << 15.0001 << false << bad << -1;
    QTest::newRow("below minimum") << 0.0999 << false << bad << -1;
    QTest::newRow("1E12 does not wrap into range") << 1e12 << false << bad << -1;
    QTest::newRow("-1E12 does not wrap") << -1e12 << false << bad << -1;
    QTest::newRow("beyond 64 bits") << 1e300 << false << bad << -1;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << false << bad << -1;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << false << bad << -1;
    QTest::newRow("clamp above") << 1e12 << true << 0 << 150000;
    QTest::newRow("clamp below") << -3.0 << true << 0 << 1000;
    QTest::newRow("clamp NaN still refused")
        << std::numeric_limits<double>::quiet_NaN() << true << bad << -1;
    QTest::newRow("clamp infinity still refused")
        << -std::numeric_limits<double>::infinity() << true << bad << -1;
}

void tst_BoundValue::toCounts()
{
    QFETCH(double, value);
    QFETCH(bool, clamp);
    QFETCH(int, result);
    QFETCH(int, counts);

    BoundValue v = level(0.1, 15, 15000000);
    int power = BoundValueBase::PowerUnset;
    QCOMPARE(v.calculation(&power), 0);
    QCOMPARE(v.m_power, 4);

    qint32 out = -1;
    QCOMPARE(v.toCounts(value, &out, clamp), result);
    QCOMPARE(out, counts);
    if (result == 0)
        QCOMPARE(v.fromCounts(out), out / 1e4);
}

void tst_BoundValue::registerValue()
{
    // 150 V at 1e6 register units per volt; step 0.005 gives power 3.
    BoundValue v = level(0, 150, 150000000);
    int power = BoundValueBase::PowerUnset;
    QCOMPARE(v.calculation(&power), 0);
    QCOMPARE(v.m_power, 3);
    qint32 counts = 0;
    QCOMPARE(v.toCounts(12.345, &counts), 0);
    QCOMPARE(v.toRegister(counts), qint64(12345000));
    QCOMPARE(v.toRegister(v.m_maxCount), qint64(150000000));

    // Read back: a word a count's worth off the grid still gives the level that was set.
    QCOMPARE(v.toRealValueEx(12345000), 12.345);
    QCOMPARE(v.toRealValueEx(12345400), 12.345);
    QCOMPARE(v.toRealValueEx(0xFFFFFFFF), 4294.967); // no wrap in 32 bits
    QCOMPARE(BoundValue::safeEntry().toRealValueEx(12345000), 0.0);
}

void tst_BoundValue::overflowIsRefused_data()
{
    QTest::addColumn<double>("firstMax");
    QTest::addColumn<double>("secondMax");
    QTest::addColumn<int>("secondResult");

    const int bad = InstrumentErrors::SystemError;
    // 0.15 fixes power 6: 2147 A still fits 32-bit counts, 3000 A does not.
    QTest::newRow("wide map fits") << 0.15 << 2147.0 << 0;
    QTest::newRow("wide map overflows") << 0.15 << 3000.0 << bad;
    QTest::newRow("zero full scale") << 0.15 << 0.0 << bad;
}

void tst_BoundValue::overflowIsRefused()
{
    QFETCH(double, firstMax);
    QFETCH(double, secondMax);
    QFETCH(int, secondResult);

    QMap<int, BoundValue> map;
    map[0] = level(0, firstMax);
    map[1] = level(0, secondMax);
    const QVector<int> results = calculateMap(map);
    QCOMPARE(results[0], 0);
    QCOMPARE(results[1], secondResult);
    if (secondResult == 0)
        QVERIFY(map[1].m_maxCount > 0);
}

void tst_BoundValue::parallelUnitsSum()
{
    BoundValue first = level(0.1, 15, 15000000);
    first.m_default = 1.0;
    BoundValue second = level(0.1, 15, 15000000);
    second.m_default = 2.0;
    second += first;
    QCOMPARE(second.m_min, 0.2);
    QCOMPARE(second.m_max, 30.0);
    QCOMPARE(second.m_minE5, quint64(20000));
    QCOMPARE(second.m_maxE5, quint64(3000000));
    QCOMPARE(second.m_default, 2.0);
    QCOMPARE(second.m_scale, qint64(15000000));

    // Sixteen units of a wide map: the sum still calculates, or is refused, never wraps.
    QMap<int, BoundValue> map;
    map[0] = level(0, 0.15);
    BoundValue wide = level(0, 150);
    for (int unit = 1; unit < 16; ++unit)
        wide += level(0, 150);
    map[1] = wide;
    QCOMPARE(calculateMap(map), QVector<int>({ 0, int(InstrumentErrors::SystemError) }));
}

void tst_BoundValue::widgetCalls_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QStringList>("calls");

    // 0 .. 30 A: step 0.0005 (4 step decimals), no prefix.
    QTest::newRow("offset 0")
        << 0 << QStringList({ "decimals 4", "prefix ", "range 0 30", "step 0.0005", "suffix " });
    QTest::newRow("one decimal fewer steps by 0.001")
        << -1
        << QStringList(
               { "decimals 3", "prefix ", "range 0 30", "step 0.0005", "suffix ", "step 0.001" });
}

void tst_BoundValue::widgetCalls()
{
    QFETCH(int, offset);
    QFETCH(QStringList, calls);

    BoundValue v = level(0, 30, 30000000);
    int power = BoundValueBase::PowerUnset;
    QCOMPARE(v.calculation(&power), 0);
    RecordingWidget widget;
    v.setBoundValueWidget(&widget, offset);
    QCOMPARE(widget.calls, calls);

    // A range entry only sets decimals and range.
    BoundValueBase range;
    range.setLimits(0, 0.15);
    range.calculation(&power);
    RecordingWidget rangeWidget;
    range.setBoundValueWidget(&rangeWidget, offset);
    QCOMPARE(
        rangeWidget.calls, QStringList({ QString("decimals %1").arg(offset - 3), "range 0 0.15" }));
}

QTEST_GUILESS_MAIN(tst_BoundValue)
#include "tst_BoundValue.moc"
