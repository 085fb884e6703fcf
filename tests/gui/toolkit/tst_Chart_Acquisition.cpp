#include "engine/AcquireTrigger.h"
#include "engine/DataLogger.h"
#include "engine/ioc/IoControl.h"
#include "gui/toolkit/Chart.h"
#include "gui/toolkit/Graph.h"
#include "instrument/ModelInformation.h"
#include "remote/StatusRegisters.h"
#include "remote/ZO4882Opc.h"
#include "tests/support/PanelTestLook.h"
#include "tests/support/PowerBoard.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>

using ioc::IoControl;
using vek::AcquireTrigger;

// The chart page over the acquisition of the simulated board, arranged as the front-panel
// program arranges it: the engine's objects in a thread of their own, the page in this (the GUI)
// thread, and remote commands (DATA:R? draining, INIT:ACQ re-initiating) in a third thread.
class tst_Chart_Acquisition : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void tenThousandPointsWhileDrainedAndReinitiated();

private:
    // Runs work in the engine thread and waits for it.
    template <typename F> void inEngine(F work)
    {
        QMetaObject::invokeMethod(m_anchor, work, Qt::BlockingQueuedConnection);
    }

    std::unique_ptr<PowerBoard> m_board;
    QThread m_engineThread;
    QObject *m_anchor = nullptr; // lives in the engine thread
    std::unique_ptr<IoControl> m_writer;
    std::unique_ptr<IoControl> m_monitor;
    std::unique_ptr<ModelInformation> m_info;
    std::unique_ptr<DataLogger> m_logger;
    std::unique_ptr<AcquireTrigger> m_acq;
    std::atomic<int> m_aborted { 0 };
    std::atomic<int> m_ready { 0 };
};

void tst_Chart_Acquisition::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    zo4882::init4882();
    zo4882::s_opc.reset();
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    QCOMPARE(m_board->command("units"), QString("OK"));

    m_anchor = new QObject;
    m_anchor->moveToThread(&m_engineThread);
    connect(&m_engineThread, &QThread::finished, m_anchor, &QObject::deleteLater);
    m_engineThread.start();
    inEngine([this] {
        m_writer = std::make_unique<IoControl>(IoControl::Writer);
        m_monitor = std::make_unique<IoControl>(IoControl::Monitor);
        m_info = std::make_unique<ModelInformation>(m_writer.get(), m_monitor.get());
        m_logger = std::make_unique<DataLogger>();
        m_acq = std::make_unique<AcquireTrigger>(
            m_writer.get(), m_monitor.get(), m_info.get(), m_logger.get());
        connect(
            m_monitor.get(), &IoControl::dataUpdated, m_acq.get(), &AcquireTrigger::onDataUpdate);
        connect(m_monitor.get(),
            &IoControl::acqTriggered,
            m_acq.get(),
            &AcquireTrigger::onAcqTriggered);
        // Counted in the engine thread as they happen.
        connect(m_acq.get(), &AcquireTrigger::measAborted, m_anchor, [this] {
            ++m_aborted;
        });
        connect(m_acq.get(), &AcquireTrigger::readyFetch, m_anchor, [this] {
            ++m_ready;
        });
    });
    QTRY_VERIFY_WITH_TIMEOUT(m_aborted > 0, 5000);
}

void tst_Chart_Acquisition::cleanupTestCase()
{
    if (m_anchor) {
        inEngine([this] {
            if (m_logger)
                m_logger->closeCalls();
            for (IoControl *link : { m_writer.get(), m_monitor.get() }) {
                if (link) {
                    link->stop();
                    link->wait();
                }
            }
            QCoreApplication::sendPostedEvents();
            m_acq.reset();
            m_logger.reset();
            m_info.reset();
            m_writer.reset();
            m_monitor.reset();
        });
    }
    m_engineThread.quit();
    m_engineThread.wait();
    zo4882::s_opc.reset();
    if (m_board) {
        const bool clean = m_board->stop();
        QVERIFY2(clean, qPrintable(m_board->errorString()));
    }
}

void tst_Chart_Acquisition::tenThousandPointsWhileDrainedAndReinitiated()
{
    constexpr int Points = 10000;
    QCOMPARE(int(m_acq->setTriggerCount(Points)), 0);
    QCOMPARE(int(m_acq->setSenseAperture(2e-4)), 0);

    Chart chart(nullptr, m_logger.get(), MeasReadouts::fromModel(*m_info), nullptr);
    QAbstractItemModel *model = chart.recordModel();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    chart.onChartChange();
    chart.resize(264, 200);
    chart.show();

    // The remote side: the first acquisition is drained while it runs, as DATA:R? does; once
    // it is complete, INIT:ACQ starts a second one, which is left in the logger.
    std::atomic<int> drained { 0 };
    std::atomic<bool> reinitiated { false };
    std::unique_ptr<QThread> remote(QThread::create([&] {
        if (m_acq->initiate() != 0)
            return;
        QElapsedTimer bound;
        bound.start();
        while (m_ready == 0 && bound.elapsed() < 60000) {
            drained += m_logger->dequeFirstWithFormat(37).size();
            QThread::msleep(1);
        }
        drained += m_logger->dequeFirstWithFormat(Points).size();
        reinitiated = m_acq->initiate() == 0;
    }));
    remote->start();
    QTRY_VERIFY_WITH_TIMEOUT(remote->isFinished(), 90000);
    QVERIFY(reinitiated);
    QCOMPARE(int(drained), Points);
    QTRY_VERIFY_WITH_TIMEOUT(m_ready >= 2, 60000);

    // Every row the logger announced has reached the views, and nothing else.
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), Points, 10000);
    QCOMPARE(m_logger->getNumOfData(), Points);
    // The curves, for a look.
    QCoreApplication::processEvents();
    const QString path = QDir::current().filePath(QStringLiteral("chart-acquisition.png"));
    QVERIFY(chart.grab().save(path));

    // Row by row the views hold what DATA:R? reads: elapsed time, current, voltage, power,
    // capacity, energy.
    QVector<QVector<double>> shown;
    for (int row = 0; row < Points; ++row) {
        QVector<double> values;
        for (int column = 0; column < DataLogger::ColumnCount; ++column)
            values << model->index(row, column).data().toDouble();
        shown << values;
    }
    QCOMPARE(int(m_logger->setFormat({ 3, 0, 1, 2, 4, 5 })), 0);
    QCOMPARE(m_logger->dequeFirstWithFormat(Points), shown);
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 0, 10000);
    QVERIFY(shown.last().at(DataLogger::Voltage) > 0.0);
}

QTEST_MAIN(tst_Chart_Acquisition)
#include "tst_Chart_Acquisition.moc"
