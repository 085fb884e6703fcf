#include "commands/IFMAIN_Data.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <cstdio>
#include <limits>

// How DATA:R? writes the values it drains: the width every value keeps, whatever its size.
class tst_IFMAIN_Data : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void valueText_data();
    void valueText();
    void recordsJoinedByCommas();
    void agreesWithPrintfOverTheRange();
    void limitsKeepTheAnswerInsideTheBuffer();
};

void tst_IFMAIN_Data::valueText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("current") << 2.000004 << QByteArray("+2.00000E+00");
    QTest::newRow("negative") << -0.0123456 << QByteArray("-1.23456E-02");
    QTest::newRow("zero") << 0.0 << QByteArray("+0.00000E+00");
    QTest::newRow("over range") << 9.9e37 << QByteArray("+9.90000E+37");
    // Three exponent digits give up a decimal, so that no value is wider than 12 characters.
    QTest::newRow("tiny") << 1.5e-120 << QByteArray("+1.5000E-120");
    QTest::newRow("huge") << -2.5e150 << QByteArray("-2.5000E+150");
    QTest::newRow("rounds to a wide exponent") << 9.999999e99 << QByteArray("+1.0000E+100");
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN()
                                  << QByteArray("+9.91000E+37");
}

void tst_IFMAIN_Data::valueText()
{
    QFETCH(double, value);
    QFETCH(QByteArray, text);
    QCOMPARE(IFMAIN_DataR::formatValues({ value }), text);
    QVERIFY(text.size() <= 12);
}

void tst_IFMAIN_Data::recordsJoinedByCommas()
{
    QCOMPARE(IFMAIN_DataR::formatValues({ 1.0, 2.0, 3.0, 4.0 }),
        QByteArray("+1.00000E+00,+2.00000E+00,+3.00000E+00,+4.00000E+00"));
    QCOMPARE(IFMAIN_DataR::formatValues({}), QByteArray());
}

// Random magnitudes over the two-digit exponents, and values next to a rounding tie of the
// sixth digit and to powers of ten, written as the C library writes "%+.5E".
void tst_IFMAIN_Data::agreesWithPrintfOverTheRange()
{
    QRandomGenerator random(31);
    QVector<double> values;
    for (int i = 0; i < 20000; ++i) {
        const double magnitude = std::pow(10.0, random.bounded(198.0) - 99.0);
        values << (random.bounded(2) ? magnitude : -magnitude);
    }
    for (int exponent = -30; exponent <= 30; ++exponent) {
        const double unit = std::pow(10.0, exponent);
        for (double tie : { 1.000005, 1.234565, 2.5, 9.999995, 1.0, 4.0000005 }) {
            const double value = tie * unit;
            values << value << std::nextafter(value, 0.0) << std::nextafter(value, 1e300);
        }
    }
    values << 1234565.0 << 1234575.0 << 0.125 << 0.0009765625 << -0.0;
    QByteArray expected;
    for (double value : values) {
        char text[32];
        std::snprintf(text, sizeof text, "%+.5E", value);
        expected += text;
        expected += ',';
    }
    expected.chop(1);
    QCOMPARE(IFMAIN_DataR::formatValues(values), expected);
}

void tst_IFMAIN_Data::limitsKeepTheAnswerInsideTheBuffer()
{
    const int expected[] = { 3072, 3072, 1872, 1024, 768, 640, 512, 512 };
    for (int items = 0; items <= 7; ++items) {
        const int limit = IFMAIN_DataR::recordLimit(items);
        QCOMPARE(limit, expected[items]);
        // 13 characters a value with its separator, one newline: within 49,152 bytes.
        QVERIFY(std::max(items, 1) * limit * 13 <= 49152);
    }
}

QTEST_GUILESS_MAIN(tst_IFMAIN_Data)
#include "tst_IFMAIN_Data.moc"
