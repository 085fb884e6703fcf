#include "gui/toolkit/Plot.h"
#include "gui/toolkit/Plots.h"

#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>

namespace {

// A logger-shaped table: time in column 0, then the given headers.
struct Table
{
    explicit Table(const QStringList &headers = { "ETime[s]", "Current[A]" })
        : model(0, headers.size())
    {
        model.setHorizontalHeaderLabels(headers);
    }
    void addRow(double x, double y) { insertRow(model.rowCount(), x, y); }
    void insertRow(int row, double x, double y)
    {
        model.insertRow(
            row, { new QStandardItem(QString::number(x)), new QStandardItem(QString::number(y)) });
    }
    QStandardItemModel model;
};

// Records the container's signals in order.
struct Recorder
{
    explicit Recorder(Plots &plots)
    {
        QObject::connect(&plots, &Plots::refreshed, [this] {
            seen << "refreshed";
        });
        QObject::connect(&plots, &Plots::autoScaleUpdated, [this] {
            seen << "autoScaleUpdated";
        });
        QObject::connect(&plots, &Plots::dataUpdated, [this] {
            seen << "dataUpdated";
        });
    }
    QStringList take() { return std::exchange(seen, {}); }
    QStringList seen;
};

} // namespace

class tst_Plots : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void plotsPerHeader_data();
    void plotsPerHeader();
    void followsRows();
    void removalRecomputesExtremes();
    void resetAndDataChange();
    void plotExtremesAndAppend();
};

void tst_Plots::plotsPerHeader_data()
{
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<QList<int>>("columns");
    QTest::newRow("logger table") << QStringList {
        "ETime[s]", "Current[A]", "Voltage[V]", "Power[W]", "Capacity[Ah]", "Energy[Wh]"
    } << QList<int> { 1, 2, 3, 4, 5 };
    QTest::newRow("empty header stops")
        << QStringList { "ETime[s]", "Current[A]", "", "Power[W]" } << QList<int> { 1 };
    QTest::newRow("time only") << QStringList { "ETime[s]" } << QList<int> {};
}

void tst_Plots::plotsPerHeader()
{
    QFETCH(QStringList, headers);
    QFETCH(QList<int>, columns);
    Table table(headers);
    Plots plots;
    plots.setModel(&table.model);
    QCOMPARE(plots.columnMap().keys(), columns);
    for (int column : columns)
        QCOMPARE(plots.plot(column)->column(), column);
    QVERIFY(!plots.plot(0));
}

void tst_Plots::followsRows()
{
    Table table;
    Plots plots;
    plots.setModel(&table.model);
    Recorder recorder(plots);
    const Plot *plot = plots.plot(1);

    table.addRow(0, 5);
    QCOMPARE(recorder.take(), QStringList { "autoScaleUpdated" });
    table.addRow(10, 1);
    QCOMPARE(recorder.take(), QStringList { "autoScaleUpdated" });
    table.addRow(5, 3); // inside every extreme
    QCOMPARE(recorder.take(), QStringList { "dataUpdated" });
    QCOMPARE(plot->maxX(), 10.0);
    QCOMPARE(plot->minY(), 1.0);

    table.insertRow(0, 2, 2); // not at the end
    QCOMPARE(recorder.take(), QStringList { "refreshed" });
    table.insertRow(1, 2, 9);
    QCOMPARE(recorder.take(), (QStringList { "autoScaleUpdated", "refreshed" }));
    QCOMPARE(plot->maxY(), 9.0);
}

void tst_Plots::removalRecomputesExtremes()
{
    Table table;
    Plots plots;
    plots.setModel(&table.model);
    table.addRow(0, 1);
    table.addRow(1, 7);
    table.addRow(2, 3);
    table.addRow(3, 0);
    Recorder recorder(plots);
    const Plot *plot = plots.plot(1);

    table.model.removeRow(2); // inner point
    QCOMPARE(recorder.take(), QStringList { "refreshed" });
    QCOMPARE(plot->maxY(), 7.0);
    table.model.removeRow(1); // holds the maximum
    QCOMPARE(recorder.take(), (QStringList { "autoScaleUpdated", "refreshed" }));
    QCOMPARE(plot->maxY(), 1.0);
    QCOMPARE(plot->maxX(), 3.0);
    QVERIFY(!plot->recalcNeeded());
}

void tst_Plots::resetAndDataChange()
{
    Table table;
    Plots plots;
    plots.setModel(&table.model);
    table.addRow(0, 1);
    table.addRow(4, 2);
    Recorder recorder(plots);
    Plot *plot = plots.plot(1);

    table.model.item(1, 1)->setText("8");
    QCOMPARE(recorder.take(), (QStringList { "autoScaleUpdated", "refreshed" }));
    QCOMPARE(plot->maxY(), 8.0);
    table.model.item(1, 1)->setText("not a number"); // counts as 0
    recorder.take();
    QCOMPARE(plot->minY(), 0.0);
    QCOMPARE(plot->maxY(), 1.0);

    plot->setDrawnRow(1);
    table.model.clear();
    QCOMPARE(recorder.take(), (QStringList { "autoScaleUpdated", "refreshed" }));
    QCOMPARE(plot->drawnRow(), 0);
    QCOMPARE(plot->maxX(), -DBL_MAX);
    QCOMPARE(plot->minY(), DBL_MAX);
}

void tst_Plots::plotExtremesAndAppend()
{
    Plot plot(1, nullptr);
    QSignalSpy rescale(&plot, &Plot::autoScaleUpdated);
    QSignalSpy data(&plot, &Plot::dataUpdated);
    QSignalSpy refresh(&plot, &Plot::refreshed);
    plot.append(QPointF(1, 1));
    plot.append(QVector<QPointF> { { 0, 0 }, { 2, 2 } });
    plot.append(QPointF(1.5, 1.5));
    QCOMPARE(rescale.count(), 2);
    QCOMPARE(data.count(), 1);
    plot.setLineWidth(1.0);
    plot.setLineColor(Qt::red);
    plot.setVisble(true);
    QCOMPARE(refresh.count(), 0);
    plot.setLineWidth(2.0);
    QCOMPARE(refresh.count(), 1);
    plot.clear();
    QCOMPARE(plot.minX(), DBL_MAX);
}

QTEST_GUILESS_MAIN(tst_Plots)
#include "tst_Plots.moc"
