#include "BoardRootFixture.h"
#include "instrument/InstrumentErrors.h"
#include "instrument/ModelInformation.h"

#include <QtTest>

#include <memory>

namespace {

// A model element of one unit: 0 .. maxAmps in each current range, one voltage range.
QByteArray unitModel(int tag, const char *name, const QByteArray &extra = QByteArray())
{
    return QByteArray("<model tag=\"") + QByteArray::number(tag) + "\" name=\"" + name + "\">\n"
        + "  <current>\n"
          "    <low-curr-range><range title=\"1.5\"/><level min=\"0\" max=\"1.5\" "
          "scale=\"0x16E360\"/></low-curr-range>\n"
          "    <hi-curr-range><range title=\"15\"/><level min=\"0.1\" max=\"15\" default=\"1\" "
          "scale=\"E4E1C0\"/></hi-curr-range>\n"
          "  </current>\n"
          "  <voltage><hi-volt-range><range title=\"150\"/><level min=\"0\" max=\"150\" "
          "scale=\"8F0D180\"/></hi-volt-range></voltage>\n"
          "  <acquire-current><hi-curr-range><level min=\"0\" max=\"15\" "
          "scale=\"E4E1C0\"/></hi-curr-range></acquire-current>\n"
          "  <acquire-voltage><hi-volt-range><level min=\"0\" max=\"150\" "
          "scale=\"8F0D180\"/></hi-volt-range></acquire-voltage>\n"
        + extra + "</model>\n";
}

QByteArray file(const QByteArray &models)
{
    return "<?xml version=\"1.0\"?>\n<models>\n" + models + "</models>\n";
}

} // namespace

class tst_ModelHandler : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void parallelUnitsAddUp();
    void firstVoltageEntryWins();
    void levelDefaultsAndScale_data();
    void levelDefaultsAndScale();
    void rangeAfterLevelIsNotStored();
    void limitsRoundToNearest();
    void badLimitsAreRefused_data();
    void badLimitsAreRefused();
    void countOverflowIsRefused();
    void syntaxErrorKeepsEarlierCommits();
    void functionsAndLists();
    void arbPointCount_data();
    void arbPointCount();
    void cutoffsOfLaterUnits();
    void installedFile_data();
    void installedFile();

private:
    ModelInformation *build(
        const QByteArray &content, quint16 code, const QVector<quint16> &units = {});

    std::unique_ptr<BoardRootFixture> m_root;
    std::unique_ptr<ModelInformation> m_info;
    QStringList m_boxes; // title|text of each parse-error report
};

void tst_ModelHandler::init()
{
    m_root = std::make_unique<BoardRootFixture>();
    QVERIFY(m_root->isValid());
    QVERIFY(m_root->prepareBoard());
    m_boxes.clear();
}

void tst_ModelHandler::cleanup()
{
    m_info.reset();
    m_root.reset();
}

ModelInformation *tst_ModelHandler::build(
    const QByteArray &content, quint16 code, const QVector<quint16> &units)
{
    if (!content.isNull())
        m_root->write(ModelInformation::fileName, content);
    ioc::MODELS_INFO report;
    report.modelCode = code;
    report.unitModelCodes = units;
    m_info = std::make_unique<ModelInformation>(
        [report] {
            return report;
        },
        ModelInformation::ErrorSink(),
        [this](const QString &title, const QString &text) {
            m_boxes << title + "|" + text;
        });
    return m_info.get();
}

void tst_ModelHandler::parallelUnitsAddUp()
{
    const ModelInformation *info =
        build(file(unitModel(7, "VEK-A") + unitModel(8, "VEK-B")), 7, { 8 });

    QCOMPARE(info->modelNames(), QStringList({ "VEK-A", "VEK-B" }));
    QCOMPARE(info->getModel(), QString("VEK-A"));
    QCOMPARE(info->currentMap().keys(), QList<int>({ 0, 2 }));
    const BoundValue &high = info->currentMap()[2];
    QCOMPARE(high.m_min, 0.2);
    QCOMPARE(high.m_max, 30.0);
    QCOMPARE(high.m_maxE5, quint64(3000000));
    QCOMPARE(info->currRangeMap()[2].m_max, 30.0);
    QCOMPARE(info->acqCurrentMap()[0].m_max, 30.0);
    // Voltage keeps the first unit's single entry.
    QCOMPARE(info->voltageMap().keys(), QList<int>({ 1 }));
    QCOMPARE(info->voltageMap()[1].m_max, 150.0);
    QCOMPARE(info->acqVoltageMap()[0].m_max, 150.0);
    QVERIFY(info->startupErrors().isEmpty());
}

void tst_ModelHandler::firstVoltageEntryWins()
{
    const QByteArray extra = "<uvp><low-volt-range><level min=\"0\" max=\"15\" scale=\"E4E1C0\"/>"
                             "</low-volt-range><hi-volt-range><level min=\"0\" max=\"150\" "
                             "scale=\"8F0D180\"/></hi-volt-range></uvp>\n";
    QByteArray model = unitModel(7, "VEK-A", extra);
    model.replace("<voltage><hi-volt-range>",
        "<voltage><low-volt-range><range title=\"15\"/><level min=\"0\" max=\"15\" "
        "scale=\"E4E1C0\"/></low-volt-range><hi-volt-range>");
    const ModelInformation *info = build(file(model), 7);

    QCOMPARE(info->voltRangeMap().keys(), QList<int>({ 0 }));
    QCOMPARE(info->voltRangeMap()[0].m_max, 15.0);
    QCOMPARE(info->voltageMap().keys(), QList<int>({ 0 }));
    QCOMPARE(info->uvpMap().keys(), QList<int>({ 0 }));
    QCOMPARE(ModelInformation::rangeValue(info->voltageMap(), 1).m_max, 15.0);
}

void tst_ModelHandler::levelDefaultsAndScale_data()
{
    QTest::addColumn<QByteArray>("attributes");
    QTest::addColumn<double>("expectedDefault");
    QTest::addColumn<qint64>("expectedScale");

    QTest::newRow("no default takes the maximum")
        << QByteArray("scale=\"FFFFFFFF\"") << 20.0 << qint64(4294967295LL);
    QTest::newRow("default given")
        << QByteArray("default=\"2.5\" scale=\"0xFFFFFFFF\"") << 2.5 << qint64(4294967295LL);
    QTest::newRow("upper-case prefix")
        << QByteArray("scale=\"0XffffFFFF\"") << 20.0 << qint64(4294967295LL);
    QTest::newRow("unparsable default")
        << QByteArray("default=\"x\" scale=\"1312D00\"") << 20.0 << qint64(20000000);
}

void tst_ModelHandler::levelDefaultsAndScale()
{
    QFETCH(QByteArray, attributes);
    QFETCH(double, expectedDefault);
    QFETCH(qint64, expectedScale);

    const QByteArray extra = "<opp><level min=\"0\" max=\"20\" " + attributes + "/></opp>\n";
    const ModelInformation *info = build(file(unitModel(7, "VEK-A", extra)), 7);
    const BoundValue &opp = ModelInformation::rangeValue(info->oppMap(), 0);
    QCOMPARE(opp.m_default, expectedDefault);
    QCOMPARE(opp.m_scale, expectedScale);
    QCOMPARE(opp.m_max, 20.0);
    QVERIFY(info->startupErrors().isEmpty());
}

void tst_ModelHandler::rangeAfterLevelIsNotStored()
{
    const QByteArray extra = "<conductance><hi-cond-range><level min=\"0\" max=\"20\" "
                             "scale=\"1312D00\"/><range title=\"20\"/></hi-cond-range>"
                             "<low-cond-range><range title=\"0.2\"/><level min=\"0\" max=\"0.2\" "
                             "scale=\"30D40\"/></low-cond-range></conductance>\n";
    const ModelInformation *info = build(file(unitModel(7, "VEK-A", extra)), 7);
    QCOMPARE(info->condRangeMap().keys(), QList<int>({ 0 }));
    QCOMPARE(info->conductanceMap().keys(), QList<int>({ 0, 2 }));
}

void tst_ModelHandler::limitsRoundToNearest()
{
    const QByteArray extra = "<ocp><level min=\"0.29\" max=\"0.57\" scale=\"8B290\"/></ocp>\n";
    const ModelInformation *info = build(file(unitModel(7, "VEK-A", extra)), 7);
    const BoundValue &ocp = ModelInformation::rangeValue(info->ocpMap(), 0);
    QCOMPARE(ocp.m_minE5, quint64(29000));
    QCOMPARE(ocp.m_maxE5, quint64(57000));
    qint32 counts = 0;
    QCOMPARE(ocp.toCounts(0.29, &counts), 0);
    QCOMPARE(ocp.fromCounts(counts), 0.29);
}

void tst_ModelHandler::badLimitsAreRefused_data()
{
    QTest::addColumn<QByteArray>("level");

    QTest::newRow("negative minimum") << QByteArray("min=\"-1\" max=\"20\"");
    QTest::newRow("minimum above maximum") << QByteArray("min=\"30\" max=\"20\"");
    QTest::newRow("NaN maximum") << QByteArray("min=\"0\" max=\"nan\"");
    QTest::newRow("infinite maximum") << QByteArray("min=\"0\" max=\"inf\"");
}

void tst_ModelHandler::badLimitsAreRefused()
{
    QFETCH(QByteArray, level);

    const QByteArray extra = "<opp><level " + level + " scale=\"1312D00\"/></opp>\n";
    const ModelInformation *info = build(file(unitModel(7, "VEK-A", extra)), 7);
    QCOMPARE(info->startupErrors().size(), 1);
    QCOMPARE(info->startupErrors()[0].first, int(InstrumentErrors::SystemError));
    QVERIFY2(info->startupErrors()[0].second.startsWith("/usr/bin/model.info line "),
        qPrintable(info->startupErrors()[0].second));
    // The refused map holds only the safe entry: nothing but 0 can be set.
    const BoundValue &opp = ModelInformation::rangeValue(info->oppMap(), 0);
    QCOMPARE(opp.m_max, 0.0);
    QCOMPARE(opp.m_factor, 0.0);
    qint32 counts = -1;
    QCOMPARE(opp.toCounts(1.0, &counts), int(InstrumentErrors::DataOutOfRange));
}

void tst_ModelHandler::countOverflowIsRefused()
{
    // 0.15 A fixes six decimals; 3000 A then needs 3e9 counts, beyond 32 bits.
    const QByteArray extra = "<slew-rate><low-curr-range><level min=\"0\" max=\"0.15\" "
                             "scale=\"249F0\"/></low-curr-range><hi-curr-range><level min=\"0\" "
                             "max=\"3000\" scale=\"B2D05E00\"/></hi-curr-range></slew-rate>\n";
    const ModelInformation *info = build(file(unitModel(7, "VEK-A", extra)), 7);
    QCOMPARE(info->slewRateMap().keys(), QList<int>({ 0 }));
    QCOMPARE(ModelInformation::rangeValue(info->slewRateMap(), 2).m_max, 0.15);
    QCOMPARE(info->startupErrors().size(), 1);
    QVERIFY2(info->startupErrors()[0].second.contains("slew rate entry 2"),
        qPrintable(info->startupErrors()[0].second));
}

void tst_ModelHandler::syntaxErrorKeepsEarlierCommits()
{
    QByteArray content = file(unitModel(7, "VEK-A"));
    content.replace("<acquire-voltage>", "<acquire-voltage><broken");
    const ModelInformation *info = build(content, 7);

    QCOMPARE(m_boxes.size(), 1);
    QVERIFY2(m_boxes[0].startsWith("Model Handler|Parse error at line "), qPrintable(m_boxes[0]));
    QVERIFY(m_boxes[0].contains(", column "));
    QVERIFY(m_boxes[0].endsWith("."));
    QCOMPARE(info->startupErrors().size(), 1);
    QCOMPARE(info->startupErrors()[0].first, int(InstrumentErrors::SystemError));
    // What came before the error stays; the voltage measurement never arrived.
    QCOMPARE(info->getModel(), QString("VEK-A"));
    QCOMPARE(info->currentMap()[2].m_max, 15.0);
    QCOMPARE(info->acqCurrentMap()[0].m_max, 15.0);
    QCOMPARE(ModelInformation::rangeValue(info->acqVoltageMap(), 0).m_factor, 0.0);
}

void tst_ModelHandler::functionsAndLists()
{
    const QByteArray extra = "<pulse-function min=\"0.5\" max=\"20000\"/>"
                             "<sin-function min=\"1\"/>"
                             "<arb-response-function><list value=\"1e-5\" iocvalue=\"0x400\"/>"
                             "<list value=\"bad\" iocvalue=\"800\"/>"
                             "<list value=\"1e-4\" iocvalue=\"0x800\"/></arb-response-function>"
                             "<soft-start-function><list value=\"0\" iocvalue=\"0\"/>"
                             "</soft-start-function>"
                             "<ioc-cutoff-function enable=\"1\"/><ioc-short-function enable=\"0\"/>"
                             "<ioc-trig-acquire-ex-function enable=\"x\"/>"
                             "<program-steptime-function min=\"1e-4\" decimals=\"4\"/>"
                             "<meas-function max=\"2\" singlestep=\"0.001\"/>"
                             "<ad-sample-base-time value=\"1e-5\"/>\n";
    const ModelInformation *info = build(file(unitModel(7, "VEK-A", extra)), 7);

    QCOMPARE(info->pulseMin(), 0.5);
    QCOMPARE(info->pulseMax(), 20000.0);
    QCOMPARE(info->sineMin(), 1.0);
    QCOMPARE(info->sineMax(), 0.0);
    QVERIFY(!info->hasSine());
    QCOMPARE(info->arbResponse(),
        (QVector<QPair<double, qint32>>({ { 1e-5, 0x400 }, { 1e-4, 0x800 } })));
    QCOMPARE(info->softStart(), (QVector<QPair<double, qint32>>({ { 0.0, 0 } })));
    QVERIFY(info->iocCutoff());
    QVERIFY(!info->iocShort());
    QVERIFY(!info->iocTrigAcquireEx());
    QCOMPARE(info->stepTimeMin(), 1e-4);
    QCOMPARE(info->stepTimeMax(), 3600000.0);
    QCOMPARE(info->stepTimeDecimals(), 4);
    QCOMPARE(info->measMax(), 2.0);
    QCOMPARE(info->measSingleStep(), 0.001);
    QCOMPARE(info->measMin(), 0.0002);
    QCOMPARE(info->adSampleBaseTime(), 1e-5);
}

void tst_ModelHandler::arbPointCount_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<quint32>("points");
    QTest::addColumn<bool>("refused");

    QTest::newRow("2048") << QByteArray("2048") << 2048u << false;
    QTest::newRow("32") << QByteArray("32") << 32u << false;
    QTest::newRow("not whole blocks") << QByteArray("1000") << 1024u << true;
    QTest::newRow("below one block") << QByteArray("16") << 1024u << true;
    QTest::newRow("zero") << QByteArray("0") << 1024u << true;
    QTest::newRow("not a number") << QByteArray("many") << 1024u << false;
}

void tst_ModelHandler::arbPointCount()
{
    QFETCH(QByteArray, value);
    QFETCH(quint32, points);
    QFETCH(bool, refused);

    const QByteArray extra = "<arb-point-function value=\"" + value + "\"/>\n";
    const ModelInformation *info = build(file(unitModel(7, "VEK-A", extra)), 7);
    QCOMPARE(info->arbPoints(), points);
    QCOMPARE(info->startupErrors().size(), refused ? 1 : 0);
}

void tst_ModelHandler::cutoffsOfLaterUnits()
{
    const QByteArray first = unitModel(7,
        "VEK-A",
        "<cutoff-capacity min=\"0\" max=\"100\"/>"
        "<cutoff-energy min=\"1\" max=\"500\"/>\n");
    const QByteArray second = unitModel(8, "VEK-B", "<cutoff-energy min=\"1\" max=\"300\"/>\n");
    const ModelInformation *info = build(file(first + second), 7, { 8 });
    QCOMPARE(info->cutoffCapacityMin(), 0.0);
    QCOMPARE(info->cutoffCapacityMax(), 100.0);
    QCOMPARE(info->cutoffEnergyMin(), 2.0);
    QCOMPARE(info->cutoffEnergyMax(), 800.0);
}

void tst_ModelHandler::installedFile_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QVector<quint16>>("units");
    QTest::addColumn<double>("amps");
    QTest::addColumn<int>("unitCount");

    QTest::newRow("single unit") << 4101 << QVector<quint16>() << 30.0 << 1;
    QTest::newRow("three in parallel") << 4103 << QVector<quint16>({ 4101, 4101 }) << 90.0 << 3;
}

void tst_ModelHandler::installedFile()
{
    QFETCH(int, code);
    QFETCH(QVector<quint16>, units);
    QFETCH(double, amps);
    QFETCH(int, unitCount);

    QFile installed(QStringLiteral(VEK_SOURCE_DIR "/sim/boardroot/usr/bin/model.info"));
    QVERIFY(installed.open(QIODevice::ReadOnly));
    const ModelInformation *info = build(installed.readAll(), quint16(code), units);
    QVERIFY2(info->startupErrors().isEmpty(), qPrintable(info->startupErrors().value(0).second));
    QCOMPARE(info->modelNames().size(), unitCount);
    QCOMPARE(ModelInformation::rangeValue(info->currentMap(), 2).m_max, amps);
    QCOMPARE(ModelInformation::rangeValue(info->voltageMap(), 1).m_max, 150.0);
    QCOMPARE(ModelInformation::rangeValue(info->powerMap(), 5).m_max, 150.0 * unitCount);

    // One register unit is 1e-6 of the base unit per unit in parallel: the controller splits
    // a level across the units, and voltage is not split.
    const double perUnit = 1e-6 * unitCount;
    for (const auto *map : { &info->currentMap(),
             &info->conductanceMap(),
             &info->powerMap(),
             &info->slewRateMap(),
             &info->oppMap(),
             &info->ocpMap() }) {
        for (auto it = map->begin(); it != map->end(); ++it) {
            qint32 counts = 0;
            const double level = it.value().m_max / 3;
            QCOMPARE(it.value().toCounts(level, &counts), 0);
            QCOMPARE(double(it.value().toRegister(counts)),
                std::round(it.value().fromCounts(counts) / perUnit));
        }
    }
    for (const auto *map : { &info->voltageMap(), &info->uvpMap() }) {
        const BoundValue &v = map->first();
        qint32 counts = 0;
        QCOMPARE(v.toCounts(12.345, &counts), 0);
        QCOMPARE(v.toRegister(counts), qint64(12345000));
    }
    for (const auto *map : { &info->acqCurrentMap(), &info->capacityMap(), &info->energyMap() }) {
        for (const BoundValueAcq &v : *map)
            QCOMPARE(v.m_factor, perUnit);
    }
    QCOMPARE(info->acqVoltageMap().first().m_factor, 1e-6);
    QVERIFY(info->hasSine());
    QVERIFY(info->iocCutoff());
    QCOMPARE(info->arbPoints() % 32, 0u);
    QVERIFY(info->cutoffCapacityMax() > 0);
}

QTEST_GUILESS_MAIN(tst_ModelHandler)
#include "tst_ModelHandler.moc"
