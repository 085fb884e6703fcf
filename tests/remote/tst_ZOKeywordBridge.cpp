#include "remote/ZOKeywordBridge.h"

#include <QtTest>

using namespace zostd;

class tst_ZOKeywordBridge : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void mappedValue_data();
    void mappedValue();
    void mappedKeyword_data();
    void mappedKeyword();
    void count();
};

void tst_ZOKeywordBridge::mappedValue_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("index");

    QTest::newRow("short form") << QByteArray("MED") << 1;
    QTest::newRow("long form lower case") << QByteArray("medium") << 1;
    QTest::newRow("mixed case") << QByteArray("Med") << 1;
    QTest::newRow("first keyword") << QByteArray("low") << 0;
    QTest::newRow("last keyword") << QByteArray("HIGH") << 2;
    QTest::newRow("no abbreviation") << QByteArray("MEDI") << -1;
    QTest::newRow("prefix of an alias") << QByteArray("ME") << -1;
    QTest::newRow("longer than an alias") << QByteArray("HIGHER") << -1;
    QTest::newRow("empty") << QByteArray("") << -1;
    QTest::newRow("separator") << QByteArray("|") << -1;
    QTest::newRow("both aliases") << QByteArray("MED|MEDIUM") << -1;
}

void tst_ZOKeywordBridge::mappedValue()
{
    QFETCH(QByteArray, text);
    QFETCH(int, index);

    const ZOKeywordBridge<3> bridge(3, "LOW", "MED|MEDIUM", "HIGH");
    QCOMPARE(bridge.getMappedValue(text.toStdString()), index);
}

void tst_ZOKeywordBridge::mappedKeyword_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("keyword");

    QTest::newRow("0") << 0 << QByteArray("LOW");
    QTest::newRow("first alias") << 1 << QByteArray("MED");
    QTest::newRow("2") << 2 << QByteArray("HIGH");
    QTest::newRow("past the count") << 3 << QByteArray();
    QTest::newRow("negative") << -1 << QByteArray();
}

void tst_ZOKeywordBridge::mappedKeyword()
{
    QFETCH(int, index);
    QFETCH(QByteArray, keyword);

    const ZOKeywordBridge<3> bridge(3, "LOW", "MED|MEDIUM", "HIGH");
    QCOMPARE(QByteArray::fromStdString(bridge.getMappedKeyword(index)), keyword);
}

void tst_ZOKeywordBridge::count()
{
    const ZOKeywordBridge<6> six(6, "IDLE", "WTG", "SUSP", "RUN", "PULS", "SINE");
    QCOMPARE(six.getCount(), 6);
    QCOMPARE(six.getMappedValue("sine"), 5);

    // Slots from the count on are empty, even when a list was given for them.
    const ZOKeywordBridge<3> two(2, "A", "B", "C");
    QCOMPARE(two.getCount(), 2);
    QCOMPARE(two.getMappedValue("C"), -1);
    QCOMPARE(two.getMappedKeyword(2), std::string());

    // A count beyond the lists given does not reach past them.
    const ZOKeywordBridge<3> short_(3, "A");
    QCOMPARE(short_.getCount(), 1);
    QCOMPARE(short_.getMappedKeyword(2), std::string());

    // Blanks after a separator are not part of the alias.
    const ZOKeywordBridge<2> spaced(2, "NORM| NORMAL", "FAST");
    QCOMPARE(spaced.getMappedValue("normal"), 0);
}

QTEST_APPLESS_MAIN(tst_ZOKeywordBridge)

#include "tst_ZOKeywordBridge.moc"
