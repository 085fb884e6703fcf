#include "remote/ZOKeywordBridge.h"
#include "remote/ZOKvTypes.h"
#include "remote/ZONullValue.h"
#include "remote/ZOValueManager.h"
#include "remote/ZOValue_bool8_t.h"
#include "remote/ZOValue_int16_t.h"
#include "remote/ZOValue_int32_t_engX.h"
#include "remote/ZOValue_keyword.h"
#include "remote/ZOValue_real64_t.h"
#include "remote/ZOValue_uint8_t.h"
#include "remote/ZOValue_vect_int32_t_engX.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace zostd;

namespace {

class CountingObserver : public IValueObserver
{
public:
    void onCommit(IValue *value) override { seen.append(value->getID()); }
    QVector<uint> seen;
};

} // namespace

class tst_ZOValue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void realLimits_data();
    void realLimits();
    void boolAcceptsOnlyZeroAndOne();
    void commitGoesToBoundVariable();
    void asyncThenCommit();
    void texts();
    void engineeringExponents();
    void vectorElements_data();
    void vectorElements();
    void typeTagsAreDistinctPointers();
    void nullValueNotifies();
};

void tst_ZOValue::realLimits_data()
{
    QTest::addColumn<double>("input");
    QTest::addColumn<int>("result");

    QTest::newRow("inside") << 5.0 << 0;
    QTest::newRow("minimum") << 0.0 << 0;
    QTest::newRow("maximum") << 10.0 << 0;
    QTest::newRow("above") << 10.5 << -222;
    QTest::newRow("below") << -0.001 << -222;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << -222;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << -222;
}

void tst_ZOValue::realLimits()
{
    QFETCH(double, input);
    QFETCH(int, result);

    CountingObserver observer;
    ZOValue_real64_t value(101);
    value.setLimits(0.0, 10.0);
    value.setRangeCheck(true);
    value.setObserver(&observer);
    QCOMPARE(value.setValue(2.5), 0);
    observer.seen.clear();

    QCOMPARE(value.setValue(input), result);
    if (result == 0) {
        QCOMPARE(value.getValue(), input);
        QCOMPARE(observer.seen, QVector<uint> { 101 });
    } else {
        QCOMPARE(value.getValue(), 2.5); // unchanged, and the pending copy too
        QCOMPARE(value.pending(), 2.5);
        QVERIFY(observer.seen.isEmpty());
    }
}

void tst_ZOValue::boolAcceptsOnlyZeroAndOne()
{
    ZOValue_bool8_t value(1212);
    QCOMPARE(value.setValue(1), 0);
    QCOMPARE(value.toString(), std::string("ON"));
    QCOMPARE(value.setValue(2), -222);
    QCOMPARE(int(value.getValue()), 1);
    QCOMPARE(value.setValue(0), 0);
    QCOMPARE(value.toString(), std::string("OFF"));
}

void tst_ZOValue::commitGoesToBoundVariable()
{
    short engineVariable = 7;
    ZOValue_int16_t value(150);
    value.bindValue(&engineVariable);
    QCOMPARE(value.getValue(), short(7));
    QCOMPARE(value.setValue(-12), 0);
    QCOMPARE(engineVariable, short(-12));
    // Without range check any value passes, limits or not.
    value.setLimits(1, 3600);
    QCOMPARE(value.setValue(5000), 0);
    value.setRangeCheck(true);
    QCOMPARE(value.setValue(5000), -222);
    QCOMPARE(engineVariable, short(5000));
}

void tst_ZOValue::asyncThenCommit()
{
    ZOValue_uint8_t value(130);
    QCOMPARE(value.setValueAsync(3), 0);
    QCOMPARE(int(value.getValue()), 0); // pending only
    QCOMPARE(value.commit(), 0);
    QCOMPARE(int(value.getValue()), 3);
}

void tst_ZOValue::texts()
{
    ZOValue_real64_t real(1);
    real.setValue(1.5);
    QCOMPARE(real.toString(), std::string("+1.50000E+00"));
    real.setValue(-0.000123);
    QCOMPARE(real.toString(), std::string("-1.23000E-04"));

    ZOValue_uint8_t small(2);
    small.setValue(255);
    QCOMPARE(small.toString(), std::string("255"));

    ZOValue_int16_t medium(3);
    medium.setValue(-32768);
    QCOMPARE(medium.toString(), std::string("-32768"));

    ZOValue_int32_t_engX integer(4);
    integer.setValue(-42);
    QCOMPARE(integer.toString(), std::string("-42"));

    ZOKeywordBridge<3> ranges(3, "LOW", "MED|MEDIUM", "HIGH");
    ZOValue_keyword keyword(123, &ranges);
    keyword.setValue(1);
    QCOMPARE(keyword.toString(), std::string("MED"));
    keyword.setValue(9);
    QCOMPARE(keyword.toString(), std::string());
    QCOMPARE(keyword.getKeywordBridge(), static_cast<IKeywordBridge *>(&ranges));

    ZOValue_vect_int32_t list(5, 3);
    list.setValue(std::vector<int> { 1, -2, 3 });
    QCOMPARE(list.toString(), std::string("1,-2,3,"));
}

void tst_ZOValue::engineeringExponents()
{
    ZOValue_int32_t_engX value(6);
    value.setEngExponent(-3);
    value.setValue(1500);
    QVERIFY(std::abs(value.getRealValue() - 1.5) < 1e-12);

    ZOValue_vect_int32_t_engX list(7, 2);
    list.setEngPrefix({ -3, 2 });
    list.setValue(std::vector<int> { 250, 4 });
    const std::vector<double> real = list.getRealValue();
    QCOMPARE(real.size(), std::size_t(2));
    QVERIFY(std::abs(real[0] - 0.25) < 1e-12);
    QVERIFY(std::abs(real[1] - 400.0) < 1e-9);
}

void tst_ZOValue::vectorElements_data()
{
    const int keep = ZOValue_vect_int32_t::Unchanged;
    QTest::addColumn<QVector<int>>("input");
    QTest::addColumn<int>("result");
    QTest::addColumn<QVector<int>>("after");

    QTest::newRow("all inside") << QVector<int> { 1, 2, 3 } << 0 << QVector<int> { 1, 2, 3 };
    QTest::newRow("marker keeps element")
        << QVector<int> { keep, 9, keep } << 0 << QVector<int> { 5, 9, 7 };
    QTest::newRow("shorter list") << QVector<int> { 0 } << 0 << QVector<int> { 0, 6, 7 };
    QTest::newRow("element above its limit")
        << QVector<int> { 1, 11, 1 } << -222 << QVector<int> { 5, 6, 7 };
    // Lexicographically below {0,0,0} but every element within its own limits.
    QTest::newRow("per element, not lexicographic")
        << QVector<int> { 0, -5, 10 } << 0 << QVector<int> { 0, -5, 10 };
    QTest::newRow("longer than the list")
        << QVector<int> { 1, 2, 3, 4 } << -222 << QVector<int> { 5, 6, 7 };
}

void tst_ZOValue::vectorElements()
{
    QFETCH(QVector<int>, input);
    QFETCH(int, result);
    QFETCH(QVector<int>, after);

    ZOValue_vect_int32_t value(8, 3);
    value.setLimits({ 0, -5, 0 }, { 10, 10, 10 });
    value.setRangeCheck(true);
    QCOMPARE(value.setValue(std::vector<int> { 5, 6, 7 }), 0);

    const std::vector<int> lvalue(input.begin(), input.end());
    QCOMPARE(value.setValue(lvalue), result);
    const std::vector<int> now = value.getValue();
    QCOMPARE(QVector<int>(now.begin(), now.end()), after);
}

void tst_ZOValue::typeTagsAreDistinctPointers()
{
    ZOKeywordBridge<2> bridge(2, "LOW", "HIGH");
    ZOValue_bool8_t b(1);
    ZOValue_uint8_t u(2);
    ZOValue_keyword k(3, &bridge);
    ZOValue_int16_t s(4);
    ZOValue_int32_t i(5);
    ZOValue_int32_t_engX ie(6);
    ZOValue_real64_t r(7);
    ZOValue_vect_int32_t v(8, 1);
    ZOValue_vect_int32_t_engX ve(9, 1);
    ZONullValue n(10);
    const QVector<const IValue *> values { &b, &u, &k, &s, &i, &ie, &r, &v, &ve, &n };
    const QVector<const char *> tags { ZOValue_bool8_t::kvtype,
        ZOValue_uint8_t::kvtype,
        ZOValue_keyword::kvtype,
        ZOValue_int16_t::kvtype,
        ZOValue_int32_t::kvtype,
        ZOValue_int32_t_engX::kvtype,
        ZOValue_real64_t::kvtype,
        ZOValue_vect_int32_t::kvtype,
        ZOValue_vect_int32_t_engX::kvtype,
        ZONullValue::kvtype };
    for (int a = 0; a < values.size(); ++a) {
        // Users compare the pointer; QCOMPARE on texts would compare the characters.
        for (int other = 0; other < tags.size(); ++other)
            QCOMPARE(values[a]->getKvType() == tags[other], a == other);
    }
    QCOMPARE(QByteArray(ZOValue_keyword::kvtype), QByteArray("keyword"));
    QCOMPARE(QByteArray(ZOKvTypes::StringValue), QByteArray("StringValue"));
}

void tst_ZOValue::nullValueNotifies()
{
    ZOValueManager registry;
    CountingObserver observer;
    ZONullValue abort(2001);
    abort.setObserver(&observer);
    IValue *found = registry.find(2001);
    QVERIFY(found);
    QCOMPARE(found->getKvType(), ZONullValue::kvtype);
    QCOMPARE(found->commit(), 0);
    QCOMPARE(observer.seen, QVector<uint> { 2001 });
}

QTEST_APPLESS_MAIN(tst_ZOValue)

#include "tst_ZOValue.moc"
