#include "engine/ioc/IoControl.h"
#include "instrument/InstrumentErrors.h"
#include "instrument/ModelInformation.h"
#include "platform/BoardPath.h"
#include "tests/support/PowerBoard.h"

#include <QtTest>

#include <memory>

using ioc::IoControl;

namespace {

QByteArray readBoardFile(const QString &boardPath)
{
    QFile file(platform::BoardPath::map(boardPath));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

// Lives in the test thread and frees the monitor link's records, as the measurement screen does.
class MonitorRecords : public QObject
{
    Q_OBJECT

public:
    QVector<ioc::TRACE_DATA> records;

    void onMonitorRecord(const ioc::TRACE_DATA *meas)
    {
        records.append(*meas);
        delete meas;
    }
};

// The model information built over both links against vek-powerboard on a root seeded from
// the board-root template (model file, EEPROM image, option files).
class tst_ModelInformationBoard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void modelReportBuildsTheMaps_data();
    void modelReportBuildsTheMaps();
    void monitorRecordIsScaled();
    void corruptedIdentificationUsesFallback();

private:
    void buildInformation();
    // Puts a steady program with the load on in CC at the given register level.
    void loadOn(qint64 levelRegister);

    std::unique_ptr<PowerBoard> m_board;
    std::unique_ptr<IoControl> m_writer;
    std::unique_ptr<IoControl> m_monitor;
    std::unique_ptr<ModelInformation> m_info;
    MonitorRecords m_records;
    QVector<QPair<int, QString>> m_sunk;
    QStringList m_boxes;
};

void tst_ModelInformationBoard::init()
{
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    m_sunk.clear();
    m_boxes.clear();
    m_records.records.clear();
}

void tst_ModelInformationBoard::cleanup()
{
    m_info.reset();
    m_writer.reset();
    m_monitor.reset();
    QCoreApplication::sendPostedEvents(); // frees records still queued
    const bool clean = m_board->stop();
    const QString error = m_board->errorString();
    m_board.reset();
    QVERIFY2(clean, qPrintable(error));
}

void tst_ModelInformationBoard::buildInformation()
{
    m_writer = std::make_unique<IoControl>(IoControl::Writer);
    m_monitor = std::make_unique<IoControl>(IoControl::Monitor);
    connect(
        m_monitor.get(), &IoControl::monitorUpdated, &m_records, &MonitorRecords::onMonitorRecord);
    m_info = std::make_unique<ModelInformation>(
        m_writer.get(),
        m_monitor.get(),
        [this](int code, const QString &detail) {
            m_sunk.append({ code, detail });
        },
        [this](const QString &title, const QString &text) {
            m_boxes << title + "|" + text;
        });
}

void tst_ModelInformationBoard::loadOn(qint64 levelRegister)
{
    // The steady two-step tree: tail, last step, head; step 2 (root) and step 1, both load on
    // (operate bit 16) at the CC level.
    auto node = [](quint32 slot) {
        return 0x400000u + 32 * slot;
    };
    const quint32 none = 0xFFFFFFFF;
    QVector<IoControl::StepMessage> messages;
    const QVector<QVector<quint32>> nodes = {
        { node(2), 8, 0xFFFFFFFF, 0, 0, 0, node(3), none, none, 0 },
        { node(3), 8, 1, 0, 0, 0, 64 * 3, node(4), none, 0 },
        { node(4), 8, 1, 0, 0, 0, 64 * 4, none, none, 0 },
    };
    for (const QVector<quint32> &unit : nodes)
        messages.append({ false, unit });
    for (quint32 slot : { 3u, 4u }) {
        QVector<quint32> data {
            64 * slot, 16, 0xFFFFFFFF, 0xFFFF, 0x10010, quint32(levelRegister)
        };
        data.resize(18);
        messages.append({ false, data });
    }
    m_writer->setFunctionMode(IoControl::CC);
    m_writer->transferProgram(node(2), messages);
    // The controller regulates once the program is started.
    m_writer->progCommand(IoControl::Tran, IoControl::ViaProgramGroup);
    m_writer->transfer();
}

void tst_ModelInformationBoard::modelReportBuildsTheMaps_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("units");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<double>("amps");

    QTest::newRow("single unit") << "4101"
                                 << "" << QStringList({ "VEK3-150-30" }) << 30.0;
    QTest::newRow("parallel set of three")
        << "4103"
        << "4101 4101" << QStringList({ "VEK3-150-90", "VEK3-150-30", "VEK3-150-30" }) << 90.0;
}

void tst_ModelInformationBoard::modelReportBuildsTheMaps()
{
    QFETCH(QString, model);
    QFETCH(QString, units);
    QFETCH(QStringList, names);
    QFETCH(double, amps);

    QCOMPARE(m_board->command("model " + model), QString("OK"));
    QCOMPARE(m_board->command(("units " + units).trimmed()), QString("OK"));
    QCOMPARE(m_board->command("firmware 2.5.17"), QString("OK"));
    QCOMPARE(m_board->command("fpga 1.2.3"), QString("OK"));
    buildInformation();

    QVERIFY2(m_sunk.isEmpty(), qPrintable(m_sunk.value(0).second));
    QVERIFY(m_boxes.isEmpty());
    QCOMPARE(m_info->modelNames(), names);
    QCOMPARE(m_info->getModel(), names.first());
    QCOMPARE(m_info->getRevision(), QString("IFC2.11.0000 FPGA1.02.0003 IOC2.05.0017"));
    QCOMPARE(m_info->getSerial(), QString("VK3R150A041"));
    QCOMPARE(m_info->getHwAdr(), QString("02:5a:4f:41:01:17"));
    QVERIFY(m_info->options().value(0).enabled); // SAMPLE says yes
    QVERIFY(!m_info->options().value(1).enabled); // MORE says no

    const int units_ = names.size();
    QCOMPARE(m_info->currentMap().keys(), QList<int>({ 0, 1, 2 }));
    QCOMPARE(m_info->currentMap()[0].m_max, 0.3 * units_);
    QCOMPARE(m_info->currentMap()[2].m_max, amps);
    QCOMPARE(m_info->currRangeMap()[2].m_max, amps);
    QCOMPARE(m_info->conductanceMap()[2].m_max, 20.0 * units_);
    QCOMPARE(m_info->voltageMap().keys(), QList<int>({ 1 }));
    QCOMPARE(m_info->voltageMap()[1].m_max, 150.0);
    QCOMPARE(m_info->powerMap().keys(), QList<int>({ 3, 4, 5 }));
    QCOMPARE(m_info->powerMap()[5].m_max, 150.0 * units_);
    QCOMPARE(m_info->acqCurrentMap().keys(), QList<int>({ 0, 1, 2 }));
    QCOMPARE(m_info->energyMap().keys(), QList<int>({ 0, 1, 2 }));
    QCOMPARE(m_info->cutoffCapacityMax(), 999999.0 * units_);
    QCOMPARE(readBoardFile("/etc/model"), names.first().toUtf8());
}

void tst_ModelInformationBoard::monitorRecordIsScaled()
{
    QCOMPARE(m_board->command("units"), QString("OK"));
    QCOMPARE(m_board->command("source 12 0.1"), QString("OK 12 0.1"));
    buildInformation();
    QVERIFY(m_sunk.isEmpty());

    // 2 A in the high current range, converted as an engine setter does.
    const BoundValue &high = ModelInformation::rangeValue(m_info->currentMap(), 2);
    qint32 counts = 0;
    QCOMPARE(high.toCounts(2.0, &counts), 0);
    loadOn(high.toRegister(counts));

    // A 12 V source behind 0.1 ohm delivers 2 A at 11.8 V: 23.6 W.
    auto near = [](double a, double b, double tolerance) {
        return qAbs(a - b) <= tolerance;
    };
    QTRY_VERIFY_WITH_TIMEOUT(
        !m_records.records.isEmpty() && near(m_records.records.last().current, 2.0, 0.01), 5000);
    const ioc::TRACE_DATA r = m_records.records.last();
    QVERIFY2(near(r.voltage, 11.8, 0.01), qPrintable(QString::number(r.voltage)));
    QVERIFY2(near(r.power, 23.6, 0.1), qPrintable(QString::number(r.power)));
    QCOMPARE(r.currentRange, 0);
    QCOMPARE(r.voltageRange, 0);
}

void tst_ModelInformationBoard::corruptedIdentificationUsesFallback()
{
    QCOMPARE(m_board->command("corruptid on"), QString("OK"));
    buildInformation();

    // Without a valid identification the link holds model code 1205 and no versions.
    QVERIFY(m_info->usesFallbackModel());
    QCOMPARE(m_info->getModel(), ModelInformation::fallbackModelName);
    QCOMPARE(m_info->getRevision(), QString("IFC2.11.0000 FPGA0.00.0000 IOC0.00.0000"));
    QCOMPARE(m_sunk,
        (QVector<QPair<int, QString>>(
            { { int(InstrumentErrors::SystemError), "Model 1205 not in /usr/bin/model.info" } })));
    QCOMPARE(readBoardFile("/etc/model"), QByteArray("UNKNOWN"));

    // Measurements convert with factor 0 rather than as raw register units.
    QCOMPARE(m_board->command("source 12 0.1"), QString("OK 12 0.1"));
    QTRY_VERIFY_WITH_TIMEOUT(m_records.records.size() >= 2, 5000);
    QCOMPARE(m_records.records.last().voltage, 0.0);
}

QTEST_GUILESS_MAIN(tst_ModelInformationBoard)
#include "tst_ModelInformationBoard.moc"
