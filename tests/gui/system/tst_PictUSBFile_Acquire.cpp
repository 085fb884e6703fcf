#include "engine/AcquireTrigger.h"
#include "engine/DataLogger.h"
#include "gui/system/FileSystemEditModel.h"
#include "gui/system/PictUSBFile.h"
#include "gui/system/SystemKeyPages.h"
#include "gui/toolkit/FuncButton.h"
#include "instrument/ModelInformation.h"
#include "platform/BoardPath.h"
#include "remote/StatusRegisters.h"
#include "remote/ZO4882Opc.h"
#include "tests/support/EngineFixture.h"

#include <QDir>
#include <QFile>
#include <QTreeView>
#include <QtTest>

#include <memory>

using ioc::IoControl;
using vek::AcquireTrigger;

namespace {
constexpr int WaitMs = 30000;
}

// The measurement-data page against a real acquisition on the simulated board: "Save As" is
// blocked from the start of an acquisition (also while it waits for a bus trigger) until it is
// idle, and writes every logged record.
class tst_PictUSBFile_Acquire : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void saveAsFollowsTheAcquisition();

private:
    EngineFixture m_engine;
    std::unique_ptr<DataLogger> m_logger;
    std::unique_ptr<AcquireTrigger> m_acq;
    std::unique_ptr<PictUSBFile> m_page;
};

void tst_PictUSBFile_Acquire::init()
{
    zo4882::init4882();
    zo4882::s_opc.reset();
    QVERIFY2(m_engine.startBoard(), qPrintable(m_engine.errorString()));
    QVERIFY2(m_engine.buildLinks(), qPrintable(m_engine.errorString()));
    IoControl *monitor = m_engine.monitor.get();
    m_logger = std::make_unique<DataLogger>();
    m_acq = std::make_unique<AcquireTrigger>(
        m_engine.writer.get(), monitor, m_engine.info.get(), m_logger.get());
    connect(monitor, &IoControl::dataUpdated, m_acq.get(), &AcquireTrigger::onDataUpdate);
    connect(monitor, &IoControl::acqTriggered, m_acq.get(), &AcquireTrigger::onAcqTriggered);
    QSignalSpy started(m_acq.get(), &AcquireTrigger::measAborted);
    QVERIFY(started.count() > 0 || started.wait(WaitMs));
    QVERIFY(QDir().mkpath(platform::BoardPath::map("/run/media/sda1")));
    m_page = std::make_unique<PictUSBFile>(nullptr, m_logger.get(), m_acq.get());
}

void tst_PictUSBFile_Acquire::cleanup()
{
    m_page.reset();
    // The links stop first; their batches still queued reach the acquisition before it goes.
    for (IoControl *link : { m_engine.writer.get(), m_engine.monitor.get() }) {
        if (link) {
            link->stop();
            link->wait();
        }
    }
    QCoreApplication::sendPostedEvents();
    m_acq.reset();
    m_logger.reset();
    zo4882::s_opc.reset();
    QVERIFY2(m_engine.stop(), qPrintable(m_engine.errorString()));
}

void tst_PictUSBFile_Acquire::saveAsFollowsTheAcquisition()
{
    auto *list = m_page->findChild<QTreeView *>("file");
    FuncButton *saveAs = m_page->funcFile()->m_saveAsButton;
    list->setCurrentIndex(m_page->fileModel()->index(platform::BoardPath::map("/run/media/sda1")));
    QVERIFY(saveAs->isEnabled());

    // A bus-triggered acquisition blocks it while it waits, until the abort.
    QCOMPARE(m_acq->setTriggerSources(IoControl::tasBus), 0);
    QCOMPARE(m_acq->initiate(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!saveAs->isEnabled(), WaitMs);
    QCOMPARE(m_acq->abort(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(saveAs->isEnabled(), WaitMs);

    // Five immediate samples; once idle, the new file holds them all.
    QCOMPARE(m_acq->setTriggerSources(IoControl::tasImmediate), 0);
    QCOMPARE(m_acq->setTriggerCount(5), 0);
    QCOMPARE(m_acq->setSenseAperture(0.02), 0);
    QSignalSpy ready(m_acq.get(), &AcquireTrigger::readyFetch);
    QCOMPARE(m_acq->initiate(), 0);
    QVERIFY(ready.count() > 0 || ready.wait(WaitMs));
    QTRY_VERIFY_WITH_TIMEOUT(saveAs->isEnabled(), WaitMs);
    saveAs->click();
    QFile file(platform::BoardPath::map("/run/media/sda1/Untitled1.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size() - 2, m_logger->getNumOfData()); // the header and the final newline
    QCOMPARE(m_logger->getNumOfData(), 5);
}

QTEST_MAIN(tst_PictUSBFile_Acquire)
#include "tst_PictUSBFile_Acquire.moc"
