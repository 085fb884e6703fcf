#include "gui/toolkit/zoMeasDoubleBox.h"
#include "tests/support/PanelTestLook.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

namespace {

// A current read-out as the set screen builds it: all prefixes, 3 decimals, unit "A".
class CurrentReadout
{
public:
    CurrentReadout()
        : prefixes(&box, &zoMeasDoubleBox::siPrefixChanged)
    {
        box.setDecimals(3);
        box.setSi(QStringLiteral("A"));
        prefixes.clear();
    }

    // The unit texts emitted since the last call.
    QStringList emitted()
    {
        QStringList texts;
        for (const QList<QVariant> &args : prefixes)
            texts << args.at(0).toString();
        prefixes.clear();
        return texts;
    }

    zoMeasDoubleBox box;
    QSignalSpy prefixes;
};

} // namespace

class tst_zoMeasDoubleBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void valuesInAllPrefixes_data();
    void valuesInAllPrefixes();
    void prefixFollowsTheMagnitudeOnly();
    void restrictedPrefixes_data();
    void restrictedPrefixes();
    void specialTexts_data();
    void specialTexts();
    void decimalsPerPrefix();
    void sameValueDoesNotRedraw();
    void newBoxGivenZeroStaysEmpty();
    void valueFromAnotherThread();
};

void tst_zoMeasDoubleBox::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_zoMeasDoubleBox::valuesInAllPrefixes_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("unit");

    QTest::newRow("12.3 mA") << 0.0123 << "12.300"
                             << "mA";
    QTest::newRow("5 A") << 5.0 << "5.000"
                         << " A";
    QTest::newRow("negative") << -0.5 << "-500.000"
                              << "mA";
    QTest::newRow("999 A") << 999.0 << "999.000"
                           << " A";
    QTest::newRow("1 kA at the band's start") << 1000.0 << "1.000"
                                              << "kA";
    QTest::newRow("micro") << 2.5e-6 << "2.500"
                           << "\u03bcA";
    QTest::newRow("yocto") << 3e-24 << "3.000"
                           << "yA";
    QTest::newRow("yotta") << 4e26 << "400.000"
                           << "YA";
    QTest::newRow("1e27: error") << 1e27 << "error"
                                 << "";
    QTest::newRow("NaN: error") << qQNaN() << "error"
                                << "";
}

void tst_zoMeasDoubleBox::valuesInAllPrefixes()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QFETCH(QString, unit);

    CurrentReadout readout;
    readout.box.setValue(value);
    QCOMPARE(readout.box.text(), text);
    QCOMPARE(readout.emitted(), unit.isEmpty() ? QStringList() : QStringList { unit });
}

void tst_zoMeasDoubleBox::prefixFollowsTheMagnitudeOnly()
{
    CurrentReadout readout;
    readout.box.setValue(0.0123);
    readout.box.setValue(0.0456);
    QCOMPARE(readout.box.text(), QStringLiteral("45.600"));
    QCOMPARE(readout.emitted(), QStringList { "mA" }); // one change only
    readout.box.setValue(5);
    QCOMPARE(readout.emitted(), QStringList { " A" });
    readout.box.setValue(0);
    QCOMPARE(readout.box.text(), QStringLiteral("0")); // zero keeps the prefix
    readout.box.setValue(1e30);
    QCOMPARE(readout.box.text(), QStringLiteral("error"));
    QVERIFY(readout.emitted().isEmpty());
    QCOMPARE(readout.box.prefix(), QStringLiteral(" "));

    readout.box.setSi(QStringLiteral("V"));
    QCOMPARE(readout.emitted(), QStringList { " V" });
}

void tst_zoMeasDoubleBox::restrictedPrefixes_data()
{
    QTest::addColumn<QString>("prefixes");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("prefix");

    QTest::newRow("power: 0.5 W unscaled") << "GMk " << 0.5 << "0.500"
                                           << " ";
    QTest::newRow("power: 5e13 in G") << "GMk " << 5e13 << "50000.000"
                                      << "G";
    QTest::newRow("energy: 2 mWh") << "TGMk m" << 0.002 << "2.000"
                                   << "m";
    QTest::newRow("energy: 1 uWh in the finest") << "TGMk m" << 1e-6 << "0.001"
                                                 << "m";
    QTest::newRow("empty: the unit alone") << "" << 12345.0 << "12345.000"
                                           << " ";
    // Micro is spelled with the Greek letter: a plain u admits no row.
    QTest::newRow("no row matches") << "u" << 1e-6 << "error"
                                    << "";
}

void tst_zoMeasDoubleBox::restrictedPrefixes()
{
    QFETCH(QString, prefixes);
    QFETCH(double, value);
    QFETCH(QString, text);
    QFETCH(QString, prefix);

    zoMeasDoubleBox box;
    box.setPrefix(prefixes);
    box.setDecimals(3);
    box.setValue(value);
    QCOMPARE(box.text(), text);
    QCOMPARE(box.prefix(), prefix);
}

void tst_zoMeasDoubleBox::specialTexts_data()
{
    QTest::addColumn<double>("minimum");
    QTest::addColumn<QString>("minText");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<QString>("maxText");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("+Over at the maximum")
        << -9.9e37 << "-Over" << 9.9e37 << "+Over" << 9.9e37 << "+Over";
    QTest::newRow("-Over at the minimum")
        << -9.9e37 << "-Over" << 9.9e37 << "+Over" << -1e38 << "-Over";
    QTest::newRow("in between") << -9.9e37 << "-Over" << 9.9e37 << "+Over" << 2.0 << "2.000";
    QTest::newRow("Open: negative") << 0.0 << "Open" << 1e300 << "" << -1.0 << "Open";
    QTest::newRow("Open: zero") << 0.0 << "Open" << 1e300 << "" << 1e-30 << "0";
    QTest::newRow("empty text shows the number") << 0.0 << "" << 1.0 << "" << 5.0 << "5.000";
}

void tst_zoMeasDoubleBox::specialTexts()
{
    QFETCH(double, minimum);
    QFETCH(QString, minText);
    QFETCH(double, maximum);
    QFETCH(QString, maxText);
    QFETCH(double, value);
    QFETCH(QString, text);

    CurrentReadout readout;
    readout.box.m_minimum = minimum;
    readout.box.m_maximum = maximum;
    readout.box.setSpecialMinValueText(minText);
    readout.box.setSpecialMaxValueText(maxText);
    readout.box.setValue(value);
    QCOMPARE(readout.box.text(), text);
}

void tst_zoMeasDoubleBox::decimalsPerPrefix()
{
    CurrentReadout readout;
    readout.box.setDecimals(1, QStringLiteral("m"));
    readout.box.setValue(0.0123);
    QCOMPARE(readout.box.text(), QStringLiteral("12.3"));
    readout.box.setValue(1.5);
    QCOMPARE(readout.box.text(), QStringLiteral("1.500"));

    // New decimals re-show the value in the prefix in force, never the unscaled base units.
    readout.box.setValue(0.0123);
    readout.box.setDecimals(2, QStringLiteral("m"));
    QCOMPARE(readout.box.text(), QStringLiteral("12.30"));
    QCOMPARE(readout.box.prefix(), QStringLiteral("m"));

    readout.box.m_maximum = 0.01;
    readout.box.setSpecialMaxValueText(QStringLiteral("+Over"));
    readout.box.setDecimals(4);
    QCOMPARE(readout.box.text(), QStringLiteral("+Over"));
}

void tst_zoMeasDoubleBox::sameValueDoesNotRedraw()
{
    CurrentReadout readout;
    readout.box.setValue(0.0123);
    readout.box.setDecimals(1);
    readout.box.setText(QStringLiteral("changed"));
    readout.box.setValue(0.0123);
    QCOMPARE(readout.box.text(), QStringLiteral("changed"));
}

void tst_zoMeasDoubleBox::newBoxGivenZeroStaysEmpty()
{
    zoMeasDoubleBox box;
    QSignalSpy prefixes(&box, &zoMeasDoubleBox::siPrefixChanged);
    box.setValue(0);
    QCOMPARE(box.text(), QString());
    QCOMPARE(prefixes.count(), 0);
    QVERIFY(box.isReadOnly());
}

void tst_zoMeasDoubleBox::valueFromAnotherThread()
{
    CurrentReadout readout;
    QThread *producer = QThread::create([&readout] {
        emit readout.box.valueChanged(0.25);
    });
    producer->start();
    QVERIFY(producer->wait(5000));
    delete producer;
    QTRY_COMPARE_WITH_TIMEOUT(readout.box.text(), QStringLiteral("250.000"), 5000);
}

QTEST_MAIN(tst_zoMeasDoubleBox)
#include "tst_zoMeasDoubleBox.moc"
