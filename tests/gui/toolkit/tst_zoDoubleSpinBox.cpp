#include "gui/toolkit/zoDoubleSpinBox.h"
#include "instrument/BoundValue.h"

#include <QtTest>

class tst_zoDoubleSpinBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaults();
    void prefixScalesShownValues_data();
    void prefixScalesShownValues();
    void boundValueConfiguresWidget();
    void enteredValueIsKept();
};

void tst_zoDoubleSpinBox::defaults()
{
    zoDoubleSpinBox box;
    QCOMPARE(box.prefixFactor(), 1.0);
    QCOMPARE(box.decimals(), 0);
}

void tst_zoDoubleSpinBox::prefixScalesShownValues_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<double>("factor");

    QTest::newRow("n") << "n" << 1e-9;
    QTest::newRow("u") << "u" << 1e-6;
    QTest::newRow("m") << "m" << 1e-3;
    QTest::newRow("none") << "" << 1.0;
    QTest::newRow("k") << "k" << 1e3;
    QTest::newRow("M") << "M" << 1e6;
    QTest::newRow("G") << "G" << 1e9;
}

void tst_zoDoubleSpinBox::prefixScalesShownValues()
{
    QFETCH(QString, prefix);
    QFETCH(double, factor);

    zoDoubleSpinBox box;
    box.setDecimals(3);
    box.setSiPrefix(prefix);
    box.setRange(0, 150 * factor);
    box.setSingleStep(0.5 * factor);
    box.setValue(12.5 * factor);
    QCOMPARE(box.prefixFactor(), factor);
    QCOMPARE(box.QDoubleSpinBox::maximum(), 150.0);
    QCOMPARE(box.QDoubleSpinBox::singleStep(), 0.5);
    QCOMPARE(box.QDoubleSpinBox::value(), 12.5);
    QCOMPARE(box.value(), 12.5 * factor);
}

void tst_zoDoubleSpinBox::boundValueConfiguresWidget()
{
    // 0 .. 0.15 A: step 5e-6, prefix "m", 3 shown decimals.
    BoundValue current;
    current.setLimits(0, 0.15);
    current.m_scale = 150000;
    int power = BoundValueBase::PowerUnset;
    QCOMPARE(current.calculation(&power), 0);

    zoDoubleSpinBox box;
    current.setBoundValueWidget(&box, 0);
    QCOMPARE(box.siPrefix(), QString("m"));
    QCOMPARE(box.decimals(), 3);
    QCOMPARE(box.suffix(), QString("m"));
    QCOMPARE(box.QDoubleSpinBox::maximum(), 150.0);
    QCOMPARE(box.QDoubleSpinBox::singleStep(), 0.005);
    box.setValue(0.0123);
    QCOMPARE(box.text(), QString("12.300m"));

    zoDoubleSpinBox coarse;
    current.setBoundValueWidget(&coarse, -1);
    QCOMPARE(coarse.decimals(), 2);
    QCOMPARE(coarse.QDoubleSpinBox::singleStep(), 0.01);
}

void tst_zoDoubleSpinBox::enteredValueIsKept()
{
    zoDoubleSpinBox box;
    box.setDecimals(3);
    box.setRange(0, 10);
    box.QDoubleSpinBox::setValue(4.25); // as an entry on the panel would
    box.setSiPrefix("m");
    QCOMPARE(box.value(), 4.25);
    QCOMPARE(box.QDoubleSpinBox::value(), 4250.0);
}

QTEST_MAIN(tst_zoDoubleSpinBox)
#include "tst_zoDoubleSpinBox.moc"
