#include "gui/toolkit/SiDoubleSpinBox.h"
#include "tests/support/PanelTestLook.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

// A settings-tree editor of a real value with automatic prefix, as the delegate builds it.
class SiFixture
{
public:
    SiFixture(double min, double max, int decimals, double value)
    {
        box.setRange(min, max);
        box.setDecimals(decimals);
        box.setSingleStep(1.0);
        box.setValue(value);
        box.resize(120, 24);
        box.show();
    }

    QString selected() const { return box.findChild<QLineEdit *>()->selectedText(); }

    SiDoubleSpinBox box;
};

class tst_SiDoubleSpinBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void rangeKeepsPrefixBands_data();
    void rangeKeepsPrefixBands();
    void valueShownInItsBand_data();
    void valueShownInItsBand();
    void stepCrossesBandKeepingTheDigit();
    void stepAboveMaximumIsIgnored();
};

void tst_SiDoubleSpinBox::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_SiDoubleSpinBox::rangeKeepsPrefixBands_data()
{
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<QStringList>("prefixes");

    QTest::newRow("0 .. 10") << 0.0 << 10.0 << QStringList { "n", "\u03bc", "m", "" };
    QTest::newRow("0.001 .. 1000") << 0.001 << 1000.0 << QStringList { "m", "" };
    QTest::newRow("1 .. 1e7") << 1.0 << 1e7 << QStringList { "", "k", "M" };
    // No prefix exponent between the limits: the band holding the maximum serves alone.
    QTest::newRow("2 .. 5") << 2.0 << 5.0 << QStringList { "" };
    QTest::newRow("0 .. 1e-10") << 0.0 << 1e-10 << QStringList { "n" };
}

void tst_SiDoubleSpinBox::rangeKeepsPrefixBands()
{
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(QStringList, prefixes);

    SiDoubleSpinBox box;
    box.setRange(min, max);
    QStringList kept;
    for (const siResolutionData &row : box.table())
        kept << row.prefix;
    QCOMPARE(kept, prefixes);
    QCOMPARE(box.table().last().bound, max);
}

void tst_SiDoubleSpinBox::valueShownInItsBand_data()
{
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("0.0005 in micro") << 1e12 << 0.0005 << "500\u03bc";
    QTest::newRow("1 stays in milli") << 1e12 << 1.0 << "1000m";
    QTest::newRow("2.5 without prefix") << 1e12 << 2.5 << "3"; // no decimals: rounded
    QTest::newRow("5000 in kilo") << 1e6 << 5000.0 << "5k";
    QTest::newRow("above the table in its last band") << 10.0 << 20.0 << "20";
}

void tst_SiDoubleSpinBox::valueShownInItsBand()
{
    QFETCH(double, max);
    QFETCH(double, value);
    QFETCH(QString, text);

    SiDoubleSpinBox box;
    if (max < 1e12)
        box.setRange(0, max);
    QSignalSpy reported(&box, &zoDoubleSpinBox::valuePrefixChanged);
    box.setValue(value);
    QCOMPARE(box.text().trimmed(), text); // blanks pad it to the width of the maximum
    QCOMPARE(reported.count(), 0); // showing a value is not an entry
}

void tst_SiDoubleSpinBox::stepCrossesBandKeepingTheDigit()
{
    SiFixture f(0, 10, 3, 0.999);
    QCOMPARE(f.box.text(), QString("  999.000m")); // at the width of 10000.000 mA
    f.box.setCursorResolution(0); // units of mA
    QSignalSpy reported(&f.box, &zoDoubleSpinBox::valuePrefixChanged);

    QTest::keyClick(&f.box, Qt::Key_Up);
    QCOMPARE(f.box.text(), QString(" 1000.000m")); // 1 A is still the milli band's bound
    QCOMPARE(f.box.cursorResolution(), 0);

    QTest::keyClick(&f.box, Qt::Key_Up);
    QCOMPARE(f.box.text(), QString(" 1.001"));
    QCOMPARE(f.box.siPrefix(), QString());
    QCOMPARE(f.box.cursorResolution(), 3); // the same absolute digit: thousandths of A
    QCOMPARE(f.selected(), QString(" 1.001"));

    QTest::keyClick(&f.box, Qt::Key_Down); // 1 A belongs to the milli band again
    QCOMPARE(f.box.text(), QString(" 1000.000m"));
    QCOMPARE(f.box.cursorResolution(), 0);
    QTest::keyClick(&f.box, Qt::Key_Down);
    QCOMPARE(f.box.text(), QString("  999.000m"));
    QCOMPARE(f.box.cursorResolution(), 0);

    // Each step reports its own new value once, in base units.
    QList<double> values;
    for (const QList<QVariant> &signal : qAsConst(reported))
        values << signal.at(0).toDouble();
    QCOMPARE(values, (QList<double> { 1.0, 1.001, 1.0, 0.999 }));
}

void tst_SiDoubleSpinBox::stepAboveMaximumIsIgnored()
{
    SiFixture f(0, 10, 3, 9.5);
    f.box.setCursorResolution(0);
    const QString before = f.box.text();
    const QString selection = f.selected();
    QSignalSpy reported(&f.box, &zoDoubleSpinBox::valuePrefixChanged);
    QTest::keyClick(&f.box, Qt::Key_Up);
    QCOMPARE(f.box.value(), 9.5);
    QCOMPARE(f.box.text(), before);
    QCOMPARE(f.selected(), selection);
    QCOMPARE(reported.count(), 0);
}

QTEST_MAIN(tst_SiDoubleSpinBox)
#include "tst_SiDoubleSpinBox.moc"
