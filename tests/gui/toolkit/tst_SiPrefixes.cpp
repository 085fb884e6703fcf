#include "gui/toolkit/SiPrefixes.h"
#include "tests/support/PanelTestLook.h"

#include <QSignalSpy>
#include <QtTest>

class tst_SiPrefixes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void labels_data();
    void labels();
    void prefixKeptBelowTheSmallestBand();
    void unitAndDecimals();
};

void tst_SiPrefixes::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_SiPrefixes::labels_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("1000") << 1000.0 << "1k";
    QTest::newRow("999.9") << 999.9 << "999.9";
    QTest::newRow("0.0015") << 0.0015 << "1.5m";
    QTest::newRow("negative") << -2.5e-6 << "-2.5\u03bc";
    QTest::newRow("six digits") << 123.4567 << "123.457";
    QTest::newRow("mega") << 4.7e6 << "4.7M";
    QTest::newRow("yocto") << 1e-24 << "1y";
    QTest::newRow("yotta") << 9e26 << "900Y";
    QTest::newRow("1e27") << 1e27 << "1e+27error";
}

void tst_SiPrefixes::labels()
{
    QFETCH(double, value);
    QFETCH(QString, text);

    SiPrefixes label;
    QSignalSpy prefixes(&label, &SiPrefixes::siPrefixChanged);
    label.setValue(value);
    QCOMPARE(label.text(), text);
    QCOMPARE(prefixes.count(), 0); // the prefix is part of the text
}

void tst_SiPrefixes::prefixKeptBelowTheSmallestBand()
{
    SiPrefixes label;
    label.setValue(0); // equals the initial value: nothing shown
    QCOMPARE(label.text(), QString());
    label.setValue(0.002);
    label.setValue(1e-30);
    QCOMPARE(label.text(), QStringLiteral("1e-30m"));
    QCOMPARE(label.prefix(), QStringLiteral("m"));
}

void tst_SiPrefixes::unitAndDecimals()
{
    SiPrefixes label;
    QSignalSpy prefixes(&label, &SiPrefixes::siPrefixChanged);
    label.setValue(2000);
    label.setSi(QStringLiteral("Hz"));
    QCOMPARE(prefixes.takeFirst().at(0).toString(), QStringLiteral("kHz"));

    label.setDecimals(2);
    QCOMPARE(label.text(), QStringLiteral("2000.00"));
    label.setValue(2000); // the same value: the decimals' text stays
    QCOMPARE(label.text(), QStringLiteral("2000.00"));
}

QTEST_MAIN(tst_SiPrefixes)
#include "tst_SiPrefixes.moc"
