#include "gui/toolkit/zoDoubleSpinBox.h"
#include "instrument/BoundValue.h"
#include "tests/support/PanelTestLook.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

// A box as a level entry has it: shown, focused, keys arriving as from the panel.
class EntryFixture
{
public:
    EntryFixture(double min, double max, int decimals, double step, double value)
    {
        box.setDecimals(decimals);
        box.setRange(min, max);
        box.setSingleStep(step);
        box.setValue(value);
        box.resize(120, 24);
        box.show();
        box.activateWindow();
        box.setFocus(Qt::OtherFocusReason);
    }

    QLineEdit *edit() const { return box.findChild<QLineEdit *>(); }
    QString selected() const { return edit()->selectedText(); }
    int caret() const { return edit()->cursorPosition(); }

    zoDoubleSpinBox box;
};

class tst_zoDoubleSpinBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void selectionHighlightsDownToDigit();
    void leftRightStopAtEnds_data();
    void leftRightStopAtEnds();
    void stepsTheSelectedDigit_data();
    void stepsTheSelectedDigit();
    void stepAtLimitIsBoundedAndLeavesNothingArmed();
    void keyFilterPattern_data();
    void keyFilterPattern();
    void keyFilterDropsMisfits();
    void escapeRestoresStoredValue();
    void returnCommitsInBaseUnits();
    void siPrefixScalesShownNumber_data();
    void siPrefixScalesShownNumber();
    void widerThanMaximumSelectsTheRightDigit();
    void boundValueConfiguresWidget();
};

void tst_zoDoubleSpinBox::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_zoDoubleSpinBox::selectionHighlightsDownToDigit()
{
    EntryFixture f(0, 150, 3, 0.001, 12.345);
    f.box.setCursorResolution(1);
    QCOMPARE(f.edit()->text(), QString(" 12.345"));
    QCOMPARE(f.selected(), QString(" 12.3"));
    QCOMPARE(f.caret(), 5);

    QTest::keyClick(&f.box, Qt::Key_Left);
    QCOMPARE(f.selected(), QString(" 12"));
    QCOMPARE(f.box.cursorResolution(), 0);

    // The caller's prefix stays in front of the filler blanks and out of the selection.
    f.box.setPrefix("I=");
    f.box.setCursorResolution(2);
    QCOMPARE(f.edit()->text(), QString("I= 12.345"));
    QCOMPARE(f.selected(), QString(" 12.34"));
}

void tst_zoDoubleSpinBox::leftRightStopAtEnds_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("presses");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("selected");

    // Maximum 150: the hundreds digit leads and is not selectable, the tens digit is the
    // coarsest; the last decimal is the finest.
    QTest::newRow("left to tens") << 3 << int(Qt::Key_Left) << 4 << -1 << " 1";
    QTest::newRow("left stays at tens") << -1 << int(Qt::Key_Left) << 1 << -1 << " 1";
    QTest::newRow("right to last decimal") << -1 << int(Qt::Key_Right) << 4 << 3 << " 12.345";
    QTest::newRow("right stays at last decimal") << 3 << int(Qt::Key_Right) << 2 << 3 << " 12.345";
}

void tst_zoDoubleSpinBox::leftRightStopAtEnds()
{
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, presses);
    QFETCH(int, expected);
    QFETCH(QString, selected);

    EntryFixture f(0, 150, 3, 0.001, 12.345);
    f.box.setCursorResolution(start);
    for (int i = 0; i < presses; ++i)
        QTest::keyClick(&f.box, Qt::Key(key));
    QCOMPARE(f.box.cursorResolution(), expected);
    QCOMPARE(f.selected(), selected);
}

void tst_zoDoubleSpinBox::stepsTheSelectedDigit_data()
{
    QTest::addColumn<double>("step");
    QTest::addColumn<double>("start");
    QTest::addColumn<int>("digit");
    QTest::addColumn<int>("key");
    QTest::addColumn<double>("expected");
    QTest::addColumn<QString>("selected");

    QTest::newRow("tenths up") << 0.001 << 12.345 << 1 << int(Qt::Key_Up) << 12.445 << " 12.4";
    QTest::newRow("units down") << 0.001 << 12.345 << 0 << int(Qt::Key_Down) << 11.345 << " 11";
    QTest::newRow("tens from 145 bounded")
        << 0.001 << 145.0 << -1 << int(Qt::Key_Up) << 150.0 << "15";
    QTest::newRow("tens down bounded at 0")
        << 0.001 << 5.0 << -1 << int(Qt::Key_Down) << 0.0 << "  ";
    QTest::newRow("last decimal by the step")
        << 0.005 << 12.345 << 3 << int(Qt::Key_Up) << 12.35 << " 12.350";
}

void tst_zoDoubleSpinBox::stepsTheSelectedDigit()
{
    QFETCH(double, step);
    QFETCH(double, start);
    QFETCH(int, digit);
    QFETCH(int, key);
    QFETCH(double, expected);
    QFETCH(QString, selected);

    EntryFixture f(0, 150, 3, step, start);
    f.box.setCursorResolution(digit);
    QSignalSpy reported(&f.box, &zoDoubleSpinBox::valuePrefixChanged);
    QTest::keyClick(&f.box, Qt::Key(key));
    QCOMPARE(f.box.value(), expected);
    QCOMPARE(reported.count(), 1);
    QCOMPARE(reported.at(0).at(0).toDouble(), expected);
    QCOMPARE(f.box.cursorResolution(), digit);
    QCOMPARE(f.selected(), selected);
}

void tst_zoDoubleSpinBox::stepAtLimitIsBoundedAndLeavesNothingArmed()
{
    EntryFixture f(0, 150, 0, 1, 150);
    f.box.setCursorResolution(-1);
    QSignalSpy reported(&f.box, &zoDoubleSpinBox::valuePrefixChanged);
    QTest::keyClick(&f.box, Qt::Key_Up); // no wrap-around
    QCOMPARE(f.box.value(), 150.0);
    QCOMPARE(reported.count(), 0);

    // An update from the engine after the idle step is not reported as the operator's entry.
    f.box.setValue(100);
    QCOMPARE(reported.count(), 0);
    QTest::keyClick(&f.box, Qt::Key_Down);
    QCOMPARE(reported.count(), 1);
    QCOMPARE(reported.at(0).at(0).toDouble(), 90.0);
}

void tst_zoDoubleSpinBox::keyFilterPattern_data()
{
    QTest::addColumn<QString>("siPrefix");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("step");
    QTest::addColumn<QString>("pattern");

    QTest::newRow("step 0.005") << "" << 3 << 0.005 << "\\s*\\d*.\\d{0,2}[0,5]?\\D?";
    QTest::newRow("step 0.002") << "" << 3 << 0.002 << "\\s*\\d*.\\d{0,2}[0,2,4,6,8]?\\D?";
    QTest::newRow("step 0.001") << "" << 3 << 0.001 << "\\s*\\d*.\\d{0,2}[0-9]?\\D?";
    QTest::newRow("step 0.01 at 3 decimals") << "" << 3 << 0.01 << "\\s*\\d*.\\d{0,2}[0-9]?\\D?";
    QTest::newRow("no decimals") << "" << 0 << 1.0 << "\\s*\\d*.\\d{0,0}\\D?";
    QTest::newRow("6 decimals") << "" << 6 << 0.000001 << "\\s*\\d*.\\d{0,5}[0-9]?\\D?";
    // 5 uA in mA is 0.005 up to rounding noise.
    QTest::newRow("milli, 5e-6 A") << "m" << 3 << 5e-6 << "\\s*\\d*.\\d{0,2}[0,5]?\\D?";
}

void tst_zoDoubleSpinBox::keyFilterPattern()
{
    QFETCH(QString, siPrefix);
    QFETCH(int, decimals);
    QFETCH(double, step);
    QFETCH(QString, pattern);

    zoDoubleSpinBox box;
    box.setDecimals(decimals);
    box.setSiPrefix(siPrefix);
    box.setSingleStep(step);
    QCOMPARE(box.regPattern(), pattern);
}

void tst_zoDoubleSpinBox::keyFilterDropsMisfits()
{
    EntryFixture f(0, 150, 3, 0.005, 12.35);
    f.box.setCursorResolution(3);
    QTest::keyClick(&f.box, Qt::Key_End); // no selection: every key is filtered
    QCOMPARE(f.edit()->text(), QString(" 12.350"));

    QTest::keyClick(&f.box, Qt::Key_1); // a fourth decimal
    QCOMPARE(f.edit()->text(), QString(" 12.350"));

    QTest::keyClick(&f.box, Qt::Key_Backspace);
    QCOMPARE(f.edit()->text(), QString(" 12.35"));
    QTest::keyClick(&f.box, Qt::Key_3); // the last decimal steps by 5
    QCOMPARE(f.edit()->text(), QString(" 12.35"));
    QTest::keyClick(&f.box, Qt::Key_5);
    QCOMPARE(f.edit()->text(), QString(" 12.355"));
}

void tst_zoDoubleSpinBox::escapeRestoresStoredValue()
{
    EntryFixture f(0, 150, 3, 0.001, 12.345);
    f.box.setCursorResolution(0);
    QSignalSpy reported(&f.box, &zoDoubleSpinBox::valuePrefixChanged);
    QTest::keyClicks(&f.box, "99"); // replaces " 12" while typing
    QCOMPARE(f.box.value(), 99.345);
    QCOMPARE(reported.count(), 0);

    QTest::keyClick(&f.box, Qt::Key_Escape);
    QCOMPARE(f.box.value(), 12.345);
    QCOMPARE(reported.count(), 1);
    QCOMPARE(reported.at(0).at(0).toDouble(), 12.345);
}

void tst_zoDoubleSpinBox::returnCommitsInBaseUnits()
{
    zoDoubleSpinBox box;
    box.setDecimals(1);
    box.setSiPrefix("m");
    box.setRange(0, 1);
    box.setSingleStep(0.0001);
    box.setSuffix("m"); // Return's own "\r" must not count as typed after it
    box.setValue(0.5);
    box.show();
    box.setFocus(Qt::OtherFocusReason);
    box.setCursorResolution(-2);
    QSignalSpy reported(&box, &zoDoubleSpinBox::valuePrefixChanged);
    QTest::keyClicks(&box, "7");
    QTest::keyClick(&box, Qt::Key_Return);
    QCOMPARE(reported.count(), 1);
    QCOMPARE(reported.at(0).at(0).toDouble(), 0.7);

    // The committed value is what Escape restores from now on.
    QTest::keyClick(&box, Qt::Key_End);
    QTest::keyClick(&box, Qt::Key_Backspace);
    QTest::keyClick(&box, Qt::Key_Escape);
    QCOMPARE(box.value(), 0.7);
}

void tst_zoDoubleSpinBox::siPrefixScalesShownNumber_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<double>("factor");

    QTest::newRow("n") << "n" << 1e-9;
    QTest::newRow("u") << "u" << 1e-6;
    QTest::newRow("micro sign") << "\u03bc" << 1e-6;
    QTest::newRow("m") << "m" << 1e-3;
    QTest::newRow("none") << "" << 1.0;
    QTest::newRow("k") << "k" << 1e3;
    QTest::newRow("M") << "M" << 1e6;
    QTest::newRow("G") << "G" << 1e9;
    QTest::newRow("unknown x") << "x" << 1.0;
}

void tst_zoDoubleSpinBox::siPrefixScalesShownNumber()
{
    QFETCH(QString, prefix);
    QFETCH(double, factor);

    zoDoubleSpinBox box;
    box.setDecimals(3);
    box.setSiPrefix(prefix);
    box.setRange(0, 1000 * factor);
    box.setValue(500 * factor);
    QCOMPARE(box.QDoubleSpinBox::value(), 500.0);
    QCOMPARE(box.QDoubleSpinBox::maximum(), 1000.0);
    QCOMPARE(box.value(), 500 * factor);

    // A prefix changed later re-shows the stored value; the range stays as converted.
    box.setValue(250 * factor);
    box.setSiPrefix("");
    QCOMPARE(box.QDoubleSpinBox::value(), qMin(1000.0, std::round(250 * factor * 1000) / 1000));
    QCOMPARE(box.QDoubleSpinBox::maximum(), 1000.0);
}

void tst_zoDoubleSpinBox::widerThanMaximumSelectsTheRightDigit()
{
    // "-150.000" is one character wider than the maximum's "150.000": no filler, and the
    // selection still ends at the selected digit.
    EntryFixture f(-150, 150, 3, 0.001, -150);
    f.box.setCursorResolution(1);
    QCOMPARE(f.edit()->text(), QString("-150.000"));
    QCOMPARE(f.selected(), QString("-150.0"));
    QTest::keyClick(&f.box, Qt::Key_Left);
    QCOMPARE(f.selected(), QString("-150"));
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
    QCOMPARE(box.cursorResolution(), 3);
    QCOMPARE(box.suffix(), QString("m"));
    QCOMPARE(box.QDoubleSpinBox::maximum(), 150.0);
    QCOMPARE(box.QDoubleSpinBox::singleStep(), 0.005);
    QCOMPARE(box.regPattern(), QString("\\s*\\d*.\\d{0,2}[0,5]?\\D?"));
    box.setValue(0.0123);
    QCOMPARE(box.text(), QString("12.300m"));
    box.setCursorResolution(1);
    QCOMPARE(box.text(), QString(" 12.300m"));

    zoDoubleSpinBox coarse;
    current.setBoundValueWidget(&coarse, -1);
    QCOMPARE(coarse.decimals(), 2);
    QCOMPARE(coarse.QDoubleSpinBox::singleStep(), 0.01);
}

QTEST_MAIN(tst_zoDoubleSpinBox)
#include "tst_zoDoubleSpinBox.moc"
