#include "gui/toolkit/Graph.h"
#include "gui/toolkit/Plot.h"
#include "gui/toolkit/Plots.h"
#include "tests/support/PanelTestLook.h"

#include <QApplication>
#include <QStandardItemModel>
#include <QTest>
#include <QWheelEvent>

#include <memory>

namespace {

// A graph over a two-column table with one plot bound to one Y axis, shown at a fixed size.
struct Chart
{
    explicit Chart(const QSize &size = QSize(240, 160))
        : model(0, 2)
        , axis(new Axis)
    {
        model.setHorizontalHeaderLabels({ "ETime[s]", "Current[A]" });
        graph.resize(size);
        graph.setModel(&model);
        plot = graph.columnPlots()->plot(1);
        graph.setPlot(plot, axis);
    }
    void addRow(double x, double y)
    {
        model.appendRow(
            { new QStandardItem(QString::number(x)), new QStandardItem(QString::number(y)) });
    }
    QImage image() const { return graph.pixmap().toImage(); }
    // Non-black pixels of one row of the picture between two columns.
    int litInRow(int y, int from, int to) const
    {
        const QImage picture = image();
        int lit = 0;
        for (int x = from; x <= to; ++x)
            lit += (picture.pixel(x, y) & 0xffffff) != 0 ? 1 : 0;
        return lit;
    }
    void drag(QPoint from, QPoint to)
    {
        QTest::mousePress(&graph, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&graph, &move);
        QTest::mouseRelease(&graph, Qt::LeftButton, {}, to);
    }
    void wheel(QPoint angle)
    {
        QWheelEvent event(QPointF(50, 50),
            QPointF(50, 50),
            QPoint(),
            angle,
            Qt::NoButton,
            Qt::NoModifier,
            Qt::NoScrollPhase,
            false);
        QApplication::sendEvent(&graph, &event);
    }

    QStandardItemModel model;
    QSharedPointer<Axis> axis;
    Graph graph;
    Plot *plot = nullptr;
};

} // namespace

class tst_Graph : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void bindingScalesAxes();
    void tooSmallShowsOnlyBlack();
    void hiddenXAxisDrawsNoLabelsOrVerticalGrid();
    void hiddenYAxisTakesNoRoom();
    void appendedRowsDrawIncrementally();
    void rubberBandZoom();
    void zoomedLevelsKeepTheirRanges();
    void arrowKeysFreezeThenScroll();
    void wheelScrollsWholeIntervals_data();
    void wheelScrollsWholeIntervals();
};

void tst_Graph::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_Graph::bindingScalesAxes()
{
    Chart chart;
    chart.model.setHorizontalHeaderLabels({ "ETime[s]", "Current[A]", "Voltage[V]" });
    QCOMPARE(chart.graph.shownAxes().yAxes.size(), 1);
    // A second plot on the same axis: the axis joins the level once and scales to both.
    Plot other(2, &chart.model);
    chart.graph.setPlot(&other, chart.axis);
    QCOMPARE(chart.graph.shownAxes().yAxes.size(), 1);
    QCOMPARE(chart.graph.plots()->values(chart.axis).first(), &other);
    chart.addRow(0, 1);
    other.append(QPointF(0, 37));
    chart.addRow(37, 2);
    QCOMPARE(chart.axis->max(), 40.0);
    QCOMPARE(chart.graph.xAxis()->max(), 40.0);

    chart.graph.onYAxesVisbleChange(false);
    QCOMPARE(chart.graph.visibleYAxes(), 0);
}

void tst_Graph::tooSmallShowsOnlyBlack()
{
    Chart chart(QSize(20, 20));
    chart.addRow(0, 1);
    chart.addRow(10, 5);
    const QImage picture = chart.image();
    QCOMPARE(picture.size(), QSize(20, 20));
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            QCOMPARE(picture.pixel(x, y) & 0xffffff, 0u);
}

void tst_Graph::hiddenXAxisDrawsNoLabelsOrVerticalGrid()
{
    Chart chart;
    const int fh = chart.graph.fontMetrics().height();
    QRect area = chart.graph.plotRect();
    // Between the two lowest horizontal grid lines only vertical lines are lit.
    const int between = area.bottom() - (area.bottom() - 5) / 10;
    QVERIFY(chart.litInRow(between, area.left() + 2, area.right() - 3) > 0);
    QVERIFY(chart.litInRow(area.bottom() + 8, 0, 239) > 0);

    chart.graph.xAxis()->setVisble(false);
    QCOMPARE(chart.graph.plotRect().bottom(), area.bottom() + fh);
    area = chart.graph.plotRect();
    QCOMPARE(
        chart.litInRow(area.bottom() - (area.bottom() - 5) / 10, area.left() + 2, area.right() - 3),
        0);
    // The Y axis' lowest label may reach below the area; nothing else may.
    for (int y = area.bottom() + 2; y < 160; ++y)
        QCOMPARE(chart.litInRow(y, area.left(), 239), 0);
}

void tst_Graph::hiddenYAxisTakesNoRoom()
{
    Chart chart;
    const int left = chart.graph.plotRect().left();
    QCOMPARE(left, 5 + chart.axis->labelWidth());
    QVERIFY(chart.axis->labelWidth() > 10);
    chart.axis->setVisble(false);
    QCOMPARE(chart.graph.plotRect().left(), 5);
    QCOMPARE(chart.graph.visibleYAxes(), 0);
    chart.axis->setVisble(true);
    QCOMPARE(chart.graph.plotRect().left(), left);
}

void tst_Graph::appendedRowsDrawIncrementally()
{
    Chart chart;
    chart.plot->setLineColor(Qt::green);
    chart.addRow(0, 0);
    chart.addRow(10, 10);
    QCOMPARE(chart.plot->drawnRow(), 1);
    const QImage before = chart.image();
    // Inside the extremes: painted onto the picture without a full redraw.
    chart.addRow(5, 8);
    QCOMPARE(chart.plot->drawnRow(), 2);
    const QImage after = chart.image();
    int changed = 0;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x)
            if (before.pixel(x, y) != after.pixel(x, y)) {
                ++changed;
                QCOMPARE(after.pixel(x, y) & 0xffffff, 0x00ff00u);
            }
    QVERIFY(changed > 0);

    chart.plot->setVisble(false);
    chart.addRow(7, 2);
    QCOMPARE(chart.plot->drawnRow(), 0); // reset by the redraw, not moved while hidden
}

void tst_Graph::rubberBandZoom()
{
    Chart chart;
    for (int i = 0; i <= 100; ++i)
        chart.addRow(i, i % 10);
    const QRect area = chart.graph.plotRect();
    const QPoint start = area.topLeft() + QPoint(20, 10);
    // The band spans 3 x 50 pixels.
    chart.drag(start, start + QPoint(2, 49));
    QCOMPARE(chart.graph.zoomLevels(), 1);
    chart.drag(start, start + QPoint(49, 2));
    QCOMPARE(chart.graph.zoomLevels(), 1);

    chart.drag(start, start + QPoint(60, 60));
    QCOMPARE(chart.graph.zoomLevels(), 2);
    QCOMPARE(chart.graph.zoomLevel(), 1);
    const Axis *zoomed = chart.graph.xAxis();
    QVERIFY(zoomed->max() - zoomed->min() < 100);
    QVERIFY(zoomed->max() <= 100);

    chart.graph.zoomOut();
    QCOMPARE(chart.graph.zoomLevel(), 0);
    QCOMPARE(chart.graph.xAxis()->max(), 100.0);
    QTest::keyClick(&chart.graph, Qt::Key_Plus);
    QCOMPARE(chart.graph.xAxis(), zoomed);
    QTest::keyClick(&chart.graph, Qt::Key_Minus);
    QCOMPARE(chart.graph.zoomLevel(), 0);
    // A new band from the base level replaces the deeper one.
    chart.drag(start, start + QPoint(30, 30));
    QCOMPARE(chart.graph.zoomLevels(), 2);
    QVERIFY(chart.graph.xAxis() != zoomed);
}

void tst_Graph::zoomedLevelsKeepTheirRanges()
{
    Chart chart;
    for (int i = 0; i <= 100; ++i)
        chart.addRow(i, i % 10);
    const QPoint start = chart.graph.plotRect().topLeft() + QPoint(20, 10);
    chart.drag(start, start + QPoint(60, 60));
    QCOMPARE(chart.graph.zoomLevel(), 1);
    const double zoomedMax = chart.graph.xAxis()->max();
    chart.addRow(1000, 50);
    QCOMPARE(chart.graph.xAxis()->max(), zoomedMax);
    QCOMPARE(chart.axis->max(), 10.0);
    chart.graph.zoomOut();
    QCOMPARE(chart.graph.xAxis()->max(), 100.0);
}

void tst_Graph::arrowKeysFreezeThenScroll()
{
    Chart chart;
    chart.addRow(0, 0);
    chart.addRow(10, 10);
    Axis *x = chart.graph.xAxis();
    QCOMPARE(x->max(), 10.0);
    QTest::keyClick(&chart.graph, Qt::Key_Left);
    QCOMPARE(x->min(), 0.0);
    QVERIFY(!x->autoScale());
    QTest::keyClick(&chart.graph, Qt::Key_Left);
    QCOMPARE(x->min(), -2.0);
    QCOMPARE(x->max(), 8.0);
    // Frozen: new data no longer moves the axis.
    chart.addRow(20, 5);
    QCOMPARE(x->max(), 8.0);

    QTest::keyClick(&chart.graph, Qt::Key_Up);
    QVERIFY(!chart.axis->autoScale());
    QCOMPARE(chart.axis->min(), 0.0);
    QTest::keyClick(&chart.graph, Qt::Key_Up);
    QCOMPARE(chart.axis->min(), 2.0);
}

void tst_Graph::wheelScrollsWholeIntervals_data()
{
    QTest::addColumn<QPoint>("angle");
    QTest::addColumn<double>("xMin");
    QTest::addColumn<double>("yMin");
    QTest::newRow("one notch") << QPoint(0, 120) << 0.0 << 2.0;
    QTest::newRow("less than a step") << QPoint(0, 100) << 0.0 << 0.0;
    QTest::newRow("horizontal back") << QPoint(-120, 0) << -2.0 << 0.0;
}

void tst_Graph::wheelScrollsWholeIntervals()
{
    QFETCH(QPoint, angle);
    QFETCH(double, xMin);
    QFETCH(double, yMin);
    Chart chart;
    chart.graph.xAxis()->setAutoScale(false);
    chart.axis->setAutoScale(false);
    chart.wheel(angle);
    QCOMPARE(chart.graph.xAxis()->min(), xMin);
    QCOMPARE(chart.axis->min(), yMin);
}

QTEST_MAIN(tst_Graph)
#include "tst_Graph.moc"
