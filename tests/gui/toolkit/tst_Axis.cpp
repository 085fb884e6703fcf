#include "gui/toolkit/Axis.h"
#include "gui/toolkit/Plot.h"

#include <QSignalSpy>
#include <QTest>

#include <cfloat>

class tst_Axis : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void adjustAxis_data();
    void adjustAxis();
    void adjustAxisRejectsEmptySpans_data();
    void adjustAxisRejectsEmptySpans();
    void manualRangeOnlyWithoutAutoScale();
    void autoScaleFollowsAllPlots();
};

void tst_Axis::adjustAxis_data()
{
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("alignedMin");
    QTest::addColumn<double>("alignedMax");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<bool>("changed");
    QTest::newRow("0..37") << 0.0 << 37.0 << 0.0 << 40.0 << 8 << true;
    QTest::newRow("0..10 stays") << 0.0 << 10.0 << 0.0 << 10.0 << 5 << false;
    QTest::newRow("-3.2..7.7") << -3.2 << 7.7 << -4.0 << 8.0 << 6 << true;
    QTest::newRow("0..2.5") << 0.0 << 2.5 << 0.0 << 2.5 << 5 << true;
}

void tst_Axis::adjustAxis()
{
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, alignedMin);
    QFETCH(double, alignedMax);
    QFETCH(int, ticks);
    QFETCH(bool, changed);
    Axis axis;
    QCOMPARE(axis.adjustAxis(min, max, Axis::AutoAdjust), changed);
    QCOMPARE(axis.min(), alignedMin);
    QCOMPARE(axis.max(), alignedMax);
    QCOMPARE(axis.ticks(), ticks);
}

void tst_Axis::adjustAxisRejectsEmptySpans_data()
{
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::newRow("equal") << 3.0 << 3.0;
    QTest::newRow("reversed") << 5.0 << 1.0;
    QTest::newRow("empty extremes") << DBL_MAX << -DBL_MAX;
    QTest::newRow("overflowing span") << -DBL_MAX << DBL_MAX;
    QTest::newRow("nan") << qQNaN() << 1.0;
}

void tst_Axis::adjustAxisRejectsEmptySpans()
{
    QFETCH(double, min);
    QFETCH(double, max);
    Axis axis;
    QVERIFY(!axis.adjustAxis(min, max, Axis::ForceAdjust));
    QCOMPARE(axis.min(), 0.0);
    QCOMPARE(axis.max(), 10.0);
    QCOMPARE(axis.ticks(), 5);
}

void tst_Axis::manualRangeOnlyWithoutAutoScale()
{
    Axis axis;
    QSignalSpy changed(&axis, &Axis::minMaxChanged);
    axis.setMax(11);
    QCOMPARE(axis.max(), 10.0);

    QSignalSpy autoChanged(&axis, &Axis::autoScaleChanged);
    axis.setAutoScale(false);
    axis.setAutoScale(false);
    QCOMPARE(autoChanged.count(), 1);
    // Automatic alignment is off now, forced alignment is not.
    QVERIFY(!axis.adjustAxis(0, 37, Axis::AutoAdjust));
    axis.setMin(1.3);
    QCOMPARE(axis.min(), 0.0);
    QCOMPARE(changed.count(), 0);
    axis.setMax(11);
    QCOMPARE(axis.min(), 0.0);
    QCOMPARE(axis.max(), 12.0);
    QCOMPARE(axis.ticks(), 6);
    QCOMPARE(changed.count(), 1);
}

void tst_Axis::autoScaleFollowsAllPlots()
{
    Axis axis;
    Plot a(1, nullptr), b(2, nullptr), empty(3, nullptr);
    QVERIFY(!axis.autoScaleAdjustY({}));
    QVERIFY(!axis.autoScaleAdjustY({ &empty }));
    a.appendData(QPointF(0, -3.2));
    b.appendData(QPointF(37, 7.7));
    b.setVisble(false); // hidden plots still count
    QVERIFY(axis.autoScaleAdjustY({ &a, &b, &empty }));
    QCOMPARE(axis.min(), -4.0);
    QCOMPARE(axis.max(), 8.0);
    QVERIFY(axis.autoScaleAdjustX({ &a, &b }));
    QCOMPARE(axis.max(), 40.0);
}

QTEST_GUILESS_MAIN(tst_Axis)
#include "tst_Axis.moc"
