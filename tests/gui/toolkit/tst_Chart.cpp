#include "engine/DataLogger.h"
#include "gui/toolkit/Axis.h"
#include "gui/toolkit/Chart.h"
#include "gui/toolkit/Graph.h"
#include "gui/toolkit/Plot.h"
#include "gui/toolkit/Plots.h"
#include "gui/toolkit/zoMeasDoubleBox.h"
#include "tests/gui/toolkit/MeasBoundsFixture.h"
#include "tests/support/PanelTestLook.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QStackedWidget>
#include <QTableView>
#include <QThread>
#include <QtTest>

#include <memory>

using vek::AcquireTrigger;

// The chart page over a record logger, either in this thread or, as in the front-panel program,
// in a thread of its own.
class tst_Chart : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void tablePageFirst();
    void displayItemsChooseColumnsAndReadouts();
    void readoutsFollowTheRanges();
    void currentAndVoltageAreDrawn();
    void rowsFollowALoggerInItsOwnThread();
    void startsFromTheRecordsAlreadyLogged();
};

namespace {

// A logger living in a thread of its own; destroyed there.
struct ThreadedLogger
{
    ThreadedLogger()
    {
        logger = new DataLogger;
        logger->moveToThread(&thread);
        QObject::connect(&thread, &QThread::finished, logger, &QObject::deleteLater);
        thread.start();
    }
    ~ThreadedLogger()
    {
        logger->closeCalls();
        thread.quit();
        thread.wait();
    }

    QThread thread;
    DataLogger *logger;
};

} // namespace

void tst_Chart::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_Chart::tablePageFirst()
{
    DataLogger logger;
    Chart chart(nullptr, &logger, testBounds(), nullptr);
    const Ui_Chart *ui = chart.form();
    QCOMPARE(ui->stackedWidget->currentWidget(), ui->table);
    chart.onChartChange();
    QCOMPARE(ui->stackedWidget->currentWidget(), ui->chart);
    chart.onTableChange();
    QCOMPARE(ui->stackedWidget->currentWidget(), ui->table);
    QVERIFY(ui->chart->minimumWidth() >= 264);
}

void tst_Chart::displayItemsChooseColumnsAndReadouts()
{
    DataLogger logger;
    Chart chart(nullptr, &logger, testBounds(), nullptr);
    const Ui_Chart *ui = chart.form();
    // Everything shows until the first change.
    for (int column = 0; column < DataLogger::ColumnCount; ++column)
        QVERIFY(!ui->tableView->isColumnHidden(column));
    QVERIFY(!ui->ETime->isHidden());
    QVERIFY(!ui->MeasCapacity->isHidden());

    chart.onDisplayItemsChange(AcquireTrigger::eTime);
    QVERIFY(!ui->tableView->isColumnHidden(DataLogger::ETime));
    QVERIFY(!ui->tableView->isColumnHidden(DataLogger::Power));
    QVERIFY(ui->tableView->isColumnHidden(DataLogger::Capacity));
    QVERIFY(ui->tableView->isColumnHidden(DataLogger::Energy));
    QVERIFY(!ui->ETime->isHidden());
    for (QWidget *w : { static_cast<QWidget *>(ui->MeasCapacity),
             static_cast<QWidget *>(ui->CapacityUnit),
             static_cast<QWidget *>(ui->MeasEnergy),
             static_cast<QWidget *>(ui->EnergyUnit) })
        QVERIFY(w->isHidden());

    chart.onDisplayItemsChange(AcquireTrigger::energy);
    QVERIFY(ui->ETime->isHidden());
    QVERIFY(ui->tableView->isColumnHidden(DataLogger::Capacity));
    QVERIFY(!ui->tableView->isColumnHidden(DataLogger::Energy));
    QVERIFY(!ui->tableView->isColumnHidden(DataLogger::ETime));
}

void tst_Chart::readoutsFollowTheRanges()
{
    DataLogger logger;
    Chart chart(nullptr, &logger, testBounds(), nullptr);
    const Ui_Chart *ui = chart.form();
    ioc::TRACE_DATA r = record(1.5, 12.0, 0, 0, 61.5);
    chart.onMonitorUpdate(&r);
    QCOMPARE(ui->MeasCurr->text(), QString("1.5000"));
    QCOMPARE(ui->ETime->text(), QString("0:01:01"));
    r = record(0.0123, 12.0, 1, 1);
    chart.onMonitorUpdate(&r);
    QCOMPARE(ui->MeasCurr->text(), QString("12.30"));
    QCOMPARE(ui->CurrUnit->text(), QString("mA"));
    QCOMPARE(ui->MeasVolt->text(), QString("12.0000"));

    r = record(9.9e37, -9.9e37, 1, 1);
    r.capacity = -1.0; // capacity has no lower special text
    chart.onMonitorUpdate(&r);
    QCOMPARE(ui->MeasCurr->text(), QString("+Over"));
    QCOMPARE(ui->MeasVolt->text(), QString("-Over"));
    QCOMPARE(ui->MeasCapacity->text(), QString("-1.000"));
}

void tst_Chart::currentAndVoltageAreDrawn()
{
    DataLogger logger;
    Chart chart(nullptr, &logger, testBounds(), nullptr);
    Graph *graph = chart.form()->plot;
    QCOMPARE(graph->font().pointSize(), 6);
    const struct
    {
        int column;
        QColor colour;
        bool visible;
    } expected[] = {
        { DataLogger::Current, Qt::red, true },
        { DataLogger::Voltage, Qt::green, true },
        { DataLogger::Power, Qt::yellow, false },
        { DataLogger::Capacity, Qt::cyan, false },
        { DataLogger::Energy, Qt::blue, false },
    };
    QCOMPARE(graph->plots()->size(), 5);
    for (const auto &e : expected) {
        Plot *plot = graph->columnPlots()->plot(e.column);
        QVERIFY(plot);
        QCOMPARE(plot->lineColor(), e.colour);
        QCOMPARE(plot->visble(), e.visible);
        const QSharedPointer<Axis> axis = graph->plots()->key(plot);
        QVERIFY(axis);
        QCOMPARE(axis->visble(), e.visible);
        QCOMPARE(axis->lineColor(), e.colour);
    }
    // The base level's Y axes in binding order: current next to the plot, voltage beside it.
    const Axes &axes = graph->shownAxes();
    QCOMPARE(axes.yAxes.size(), 5);
    QCOMPARE(graph->visibleYAxes(), 2);
    QCOMPARE(axes.yAxes.at(0)->lineColor(), QColor(Qt::red));
    QCOMPARE(axes.yAxes.at(1)->lineColor(), QColor(Qt::green));

    chart.setChartAxisVisible(false);
    QVERIFY(!axes.yAxes.at(0)->visble());
    QVERIFY(!axes.yAxes.at(1)->visble());
    QVERIFY(!graph->xAxis()->visble());
}

void tst_Chart::rowsFollowALoggerInItsOwnThread()
{
    ThreadedLogger owner;
    DataLogger *logger = owner.logger;
    QVERIFY(logger->setBufSize(1024) == 0);
    Chart chart(nullptr, logger, testBounds(), nullptr);
    QAbstractItemModel *model = chart.recordModel();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    chart.onChartChange();
    chart.resize(264, 180);
    chart.show();

    // Appends from this thread run in the logger's thread; the rows arrive here queued. A
    // full buffer of held records is announced at once, then each append drops the oldest.
    constexpr int Total = 1024 + 50;
    for (int i = 0; i < Total; ++i) {
        const ioc::TRACE_DATA r = record(i * 0.001, 10.0 + i * 0.01, 0, 0, i * 0.1);
        if (i < 1023)
            logger->append(r);
        else
            logger->appendWithRow(r, i < 1024 ? 1023 : 0);
    }
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 1024, 5000);
    QCOMPARE(model->index(0, DataLogger::ETime).data().toDouble(), (Total - 1024) * 0.1);
    QCOMPARE(model->index(1023, DataLogger::Current).data().toDouble(), (Total - 1) * 0.001);

    // DATA:R? takes the oldest; the views lose them in order.
    QCOMPARE(logger->dequeFirstWithFormat(100).size(), 100);
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 924, 5000);
    QCOMPARE(model->index(0, DataLogger::ETime).data().toDouble(), (Total - 924) * 0.1);

    // INIT:ACQ and DATA:BSIZ clear the logger.
    logger->clear();
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 0, 5000);
    logger->appendWithRow(record(1.0, 2.0), 0);
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 1, 5000);
    QCOMPARE(
        model->headerData(DataLogger::Current, Qt::Horizontal).toString(), QString("Current[A]"));
    QCOMPARE(model->headerData(0, Qt::Vertical).toInt(), 1);
}

void tst_Chart::startsFromTheRecordsAlreadyLogged()
{
    ThreadedLogger owner;
    DataLogger *logger = owner.logger;
    for (int i = 0; i < 10; ++i)
        logger->appendWithRow(record(i, i), 0);
    logger->append(record(99, 99)); // held, not yet a row
    Chart chart(nullptr, logger, testBounds(), nullptr);
    QAbstractItemModel *model = chart.recordModel();
    QCOMPARE(model->rowCount(), 10);
    logger->appendRow(1);
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 11, 5000);
    QCOMPARE(model->index(9, DataLogger::Current).data().toDouble(), 9.0);
    QCOMPARE(model->index(10, DataLogger::Current).data().toDouble(), 99.0);
}

QTEST_MAIN(tst_Chart)
#include "tst_Chart.moc"
