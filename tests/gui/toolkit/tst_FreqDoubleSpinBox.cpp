#include "gui/toolkit/FreqDoubleSpinBox.h"
#include "tests/support/PanelTestLook.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

// The pulse view's frequency entry: 1 decimal, 1 Hz to 100 kHz, step 0.1 Hz.
class FrequencyFixture
{
public:
    explicit FrequencyFixture(double value)
    {
        box.setDecimals(1);
        box.setRange(1, 100000);
        box.setSingleStep(0.1);
        box.setValue(value);
        box.resize(120, 24);
        box.show();
    }

    QString selected() const { return box.findChild<QLineEdit *>()->selectedText(); }

    FreqDoubleSpinBox box;
};

class tst_FreqDoubleSpinBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void stepsByBand_data();
    void stepsByBand();
    void walksTheHighBandsAndBack();
    void selectionLimitedToBand();
    void patternIsTheCallers();
};

void tst_FreqDoubleSpinBox::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_FreqDoubleSpinBox::stepsByBand_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<int>("digit");
    QTest::addColumn<int>("steps");
    QTest::addColumn<double>("expected");
    QTest::addColumn<int>("expectedDigit");

    QTest::newRow("10.0 tenths up re-steps by units") << 10.0 << 1 << 1 << 11.0 << 0;
    QTest::newRow("11 units down to tenths") << 11.0 << 0 << -1 << 10.0 << 1;
    QTest::newRow("9.9 tenths up stays fine") << 9.9 << 1 << 1 << 10.0 << 1;
    QTest::newRow("550 tens up") << 550.0 << -1 << 1 << 560.0 << -1;
    QTest::newRow("990 tens up to the bound") << 990.0 << -1 << 1 << 1000.0 << -1;
    QTest::newRow("1000 tens up re-steps by hundreds") << 1000.0 << -1 << 1 << 1100.0 << -2;
    QTest::newRow("10000 up jumps to 20000") << 10000.0 << -2 << 1 << 20000.0 << -4;
    QTest::newRow("20000 up to 50000") << 20000.0 << -4 << 1 << 50000.0 << -4;
    QTest::newRow("50000 up to 100000") << 50000.0 << -4 << 1 << 100000.0 << -4;
    QTest::newRow("100000 up bounded") << 100000.0 << -4 << 1 << 100000.0 << -4;
    QTest::newRow("100000 down to 50000") << 100000.0 << -4 << -1 << 50000.0 << -4;
    QTest::newRow("50000 down to 20000") << 50000.0 << -4 << -1 << 20000.0 << -4;
    QTest::newRow("20000 down to 10000") << 20000.0 << -4 << -1 << 10000.0 << -2;
    QTest::newRow("1.5 units down bounded at 1") << 1.5 << 0 << -1 << 1.0 << 1;
}

void tst_FreqDoubleSpinBox::stepsByBand()
{
    QFETCH(double, start);
    QFETCH(int, digit);
    QFETCH(int, steps);
    QFETCH(double, expected);
    QFETCH(int, expectedDigit);

    FrequencyFixture f(start);
    f.box.setCursorResolution(digit);
    QCOMPARE(f.box.cursorResolution(), digit);
    QSignalSpy reported(&f.box, &zoDoubleSpinBox::valuePrefixChanged);
    f.box.stepBy(steps);
    QCOMPARE(f.box.value(), expected);
    QCOMPARE(f.box.cursorResolution(), expectedDigit);
    QCOMPARE(reported.count(), expected == start ? 0 : 1);
}

void tst_FreqDoubleSpinBox::walksTheHighBandsAndBack()
{
    FrequencyFixture f(10000);
    f.box.setCursorResolution(-2);
    QList<double> seen;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(&f.box, Qt::Key_Up);
        seen << f.box.value();
    }
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(&f.box, Qt::Key_Down);
        seen << f.box.value();
    }
    QCOMPARE(seen, (QList<double> { 20000, 50000, 100000, 50000, 20000, 10000 }));
    // Back in the band of 100 Hz steps, with the hundreds digit selected.
    QCOMPARE(f.box.text(), QString(" 10000.0"));
    QCOMPARE(f.selected(), QString(" 100"));
}

void tst_FreqDoubleSpinBox::selectionLimitedToBand()
{
    FrequencyFixture f(500);
    f.box.setCursorResolution(1);
    QCOMPARE(f.box.cursorResolution(), -1); // up to 1 kHz the tens are the finest digit
    QTest::keyClick(&f.box, Qt::Key_Right);
    QCOMPARE(f.box.cursorResolution(), -1);

    // A table of the caller's replaces the built-in one.
    f.box.setTable({ { 1000, 0, 0 }, { 100000, -3, 0 } }, 0);
    f.box.setCursorResolution(1);
    QCOMPARE(f.box.cursorResolution(), 0);
}

void tst_FreqDoubleSpinBox::patternIsTheCallers()
{
    FrequencyFixture f(20);
    f.box.setRegPattern("\\s*((10{0,4})|(\\d{1,2}0{0,2})|(\\d\\.\\d))\\D?");
    f.box.setDecimals(1); // would rebuild the pattern in a plain entry
    QCOMPARE(f.box.regPattern(), QString("\\s*((10{0,4})|(\\d{1,2}0{0,2})|(\\d\\.\\d))\\D?"));
}

QTEST_MAIN(tst_FreqDoubleSpinBox)
#include "tst_FreqDoubleSpinBox.moc"
