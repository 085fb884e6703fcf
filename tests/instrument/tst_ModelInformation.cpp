#include "BoardRootFixture.h"
#include "instrument/InstrumentErrors.h"
#include "instrument/ModelInformation.h"

#include <QtTest>

#include <memory>

namespace {

const QString eeprom = QStringLiteral("/sys/bus/i2c/devices/0-0050/eeprom");

QByteArray model(int tag, const char *name)
{
    return QByteArray("<model tag=\"") + QByteArray::number(tag) + "\" name=\"" + name
        + "\"><current><hi-curr-range><range title=\"15\"/><level min=\"0\" max=\"15\" "
          "scale=\"E4E1C0\"/></hi-curr-range></current>"
          "<acquire-current><hi-curr-range><level min=\"0\" max=\"15\" scale=\"E4E1C0\"/>"
          "</hi-curr-range></acquire-current></model>\n";
}

const QByteArray twoModels =
    "<models>" + model(7, "VEK-SEVEN") + model(8, "VEK-EIGHT") + "</models>\n";

ioc::IOC_VERSION version(int major, int minor, int build)
{
    ioc::IOC_VERSION v;
    v.major = quint8(major);
    v.minor = quint8(minor);
    v.build = quint8(build);
    return v;
}

} // namespace

class tst_ModelInformation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void identity();
    void revision_data();
    void revision();
    void serialFromEeprom_data();
    void serialFromEeprom();
    void eepromWritesReportTheirResult();
    void options_data();
    void options();
    void modelNameFile();
    void fallbackModel_data();
    void fallbackModel();
    void unknownFurtherUnit();
    void rangeValue();

private:
    ModelInformation *build(const ioc::MODELS_INFO &report);

    std::unique_ptr<BoardRootFixture> m_root;
    std::unique_ptr<ModelInformation> m_info;
    QVector<QPair<int, QString>> m_sunk;
    int m_reportsAsked = 0;
};

void tst_ModelInformation::init()
{
    m_root = std::make_unique<BoardRootFixture>();
    QVERIFY(m_root->isValid());
    QVERIFY(m_root->prepareBoard());
    QVERIFY(m_root->write(ModelInformation::fileName, twoModels));
    m_sunk.clear();
    m_reportsAsked = 0;
}

void tst_ModelInformation::cleanup()
{
    m_info.reset();
    m_root.reset();
}

ModelInformation *tst_ModelInformation::build(const ioc::MODELS_INFO &report)
{
    m_info.reset();
    m_info = std::make_unique<ModelInformation>(
        [this, report] {
            ++m_reportsAsked;
            return report;
        },
        [this](int code, const QString &detail) {
            m_sunk.append({ code, detail });
        });
    return m_info.get();
}

void tst_ModelInformation::identity()
{
    ioc::MODELS_INFO report;
    report.modelCode = 7;
    const ModelInformation *info = build(report);

    QCOMPARE(m_reportsAsked, 1);
    QCOMPARE(ModelInformation::s_pSelf, info);
    QCOMPARE(zostd::getInterface_IModelInfo(), static_cast<const zostd::IModelInfo *>(info));
    QCOMPARE(info->getManufacturer(), QString("ZORVANE"));
    QCOMPARE(info->getModel(), QString("VEK-SEVEN"));
    QCOMPARE(info->getSerial(), QString("TEST0001"));
    QCOMPARE(info->getHwAdr(), QString("02:00:00:00:00:01"));
    QCOMPARE(info->getProductDescription(), QString("Electronic Load"));
    QCOMPARE(info->getIviDriverIdentifier(), QString("ZorvaneVek3r"));
    QVERIFY(!info->usesFallbackModel());
    QVERIFY(m_sunk.isEmpty());

    m_info.reset();
    QCOMPARE(ModelInformation::s_pSelf, nullptr);
    QCOMPARE(zostd::getInterface_IModelInfo(), nullptr);
}

void tst_ModelInformation::revision_data()
{
    // Controller major, minor, build, then the FPGA's; none when the identification failed.
    QTest::addColumn<QVector<int>>("versions");
    QTest::addColumn<QString>("revision");

    QTest::newRow("controller 2.5.17, FPGA 1.2.3")
        << QVector<int>({ 2, 5, 17, 1, 2, 3 }) << "IFC2.11.0000 FPGA1.02.0003 IOC2.05.0017";
    QTest::newRow("bytes are unsigned") << QVector<int>({ 255, 200, 250, 10, 0, 0 })
                                        << "IFC2.11.0000 FPGA10.00.0000 IOC255.200.0250";
    QTest::newRow("identification not valid")
        << QVector<int>() << "IFC2.11.0000 FPGA0.00.0000 IOC0.00.0000";
}

void tst_ModelInformation::revision()
{
    QFETCH(QVector<int>, versions);
    QFETCH(QString, revision);

    ioc::MODELS_INFO report;
    report.modelCode = 7;
    for (int i = 0; i + 2 < versions.size(); i += 3)
        report.versions << version(versions[i], versions[i + 1], versions[i + 2]);
    QCOMPARE(build(report)->getRevision(), revision);
}

void tst_ModelInformation::serialFromEeprom_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("serial");

    QTest::newRow("twelve without NUL") << QByteArray("ABCDEFGHIJKL") << "ABCDEFGHIJKL";
    QTest::newRow("ten, NUL, two old bytes") << QByteArray("VK12345678\0XY", 12) << "VK12345678";
    QTest::newRow("empty") << QByteArray(12, '\0') << "";
}

void tst_ModelInformation::serialFromEeprom()
{
    QFETCH(QByteArray, field);
    QFETCH(QString, serial);

    QByteArray image = m_root->read(eeprom);
    image.replace(16, 12, field);
    QVERIFY(m_root->write(eeprom, image));
    ioc::MODELS_INFO report;
    report.modelCode = 7;
    QCOMPARE(build(report)->getSerial(), serial);
}

void tst_ModelInformation::eepromWritesReportTheirResult()
{
    ioc::MODELS_INFO report;
    report.modelCode = 7;
    const ModelInformation *info = build(report);
    const QByteArray before = m_root->read(eeprom);

    QVERIFY(info->setSerial("VKNEW12345"));
    QVERIFY(info->setMacAddress(QByteArray("\x0a\x1b\x2c\x3d\x4e\x5f", 6)));
    QVERIFY(!info->setMacAddress(QByteArray("\x0a\x1b\x2c", 3)));
    // The object keeps what it read at start; the EEPROM holds the new values.
    QCOMPARE(info->getSerial(), QString("TEST0001"));
    QCOMPARE(info->readEepRom(16, 12), QByteArray("VKNEW12345\0\0", 12));
    QCOMPARE(info->readEepRom(60, 6), QByteArray("\x0a\x1b\x2c\x3d\x4e\x5f", 6));

    // Bytes around the fields are kept and the image keeps its size.
    QByteArray after = m_root->read(eeprom);
    QCOMPARE(after.size(), before.size());
    QCOMPARE(after.left(16), before.left(16));
    QCOMPARE(after.mid(28, 32), before.mid(28, 32));
    QCOMPARE(after.mid(66), before.mid(66));

    QVERIFY(info->writeEepRom(100, "abcdef", 3));
    QCOMPARE(info->readEepRom(100, 4), QByteArray("abc\xff", 4));

    // An EEPROM that cannot be opened is a failure, not success.
    QVERIFY(QFile::remove(m_root->path(eeprom)));
    QVERIFY(QDir().mkpath(m_root->path(eeprom)));
    QVERIFY(!info->setSerial("VKNEW12345"));
    QVERIFY(!info->setMacAddress(QByteArray(6, '\x01')));
    QVERIFY(!info->writeEepRom(0, "x", 1));
    QCOMPARE(info->readEepRom(16, 12), QByteArray());
}

void tst_ModelInformation::options_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("Yes between blanks") << QByteArray(" Yes \n") << true;
    QTest::newRow("1 and a blank") << QByteArray("1 \n") << true;
    QTest::newRow("ON") << QByteArray("ON") << true;
    QTest::newRow("true, then more lines") << QByteArray("true\nno\n") << true;
    QTest::newRow("enabled") << QByteArray("enabled\n") << false;
    QTest::newRow("0") << QByteArray("0\n") << false;
    QTest::newRow("on, NUL, rubbish") << QByteArray("on\0rubbish", 10) << true;
    QTest::newRow("yes on the second line") << QByteArray("\nyes\n") << false;
    QTest::newRow("missing file") << QByteArray() << false;
}

void tst_ModelInformation::options()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, enabled);

    if (!content.isNull())
        QVERIFY(m_root->write("/usr/bin/options/MORE", content));
    ioc::MODELS_INFO report;
    report.modelCode = 7;
    const QVector<CustomOption> options = build(report)->options();
    QCOMPARE(options.size(), 2);
    QCOMPARE(options[0].name, QString("SAMPLE"));
    QCOMPARE(options[0].description, QString("A sample option"));
    QVERIFY(!options[0].enabled);
    QCOMPARE(options[1].name, QString("MORE"));
    QCOMPARE(options[1].description, QString("One more option"));
    QCOMPARE(options[1].enabled, enabled);
}

void tst_ModelInformation::modelNameFile()
{
    m_root->write(ModelInformation::modelNameFile, "an older name\n");
    ioc::MODELS_INFO report;
    report.modelCode = 8;
    report.unitModelCodes = { 7 };
    const ModelInformation *info = build(report);
    QCOMPARE(info->modelNames(), QStringList({ "VEK-EIGHT", "VEK-SEVEN" }));
    QCOMPARE(m_root->read(ModelInformation::modelNameFile), QByteArray("VEK-EIGHT"));
    QCOMPARE(info->currentMap()[2].m_max, 30.0);
}

void tst_ModelInformation::fallbackModel_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("detail");

    QTest::newRow("unknown model code") << "code"
                                        << "Model 1205 not in /usr/bin/model.info";
    QTest::newRow("missing file") << "missing"
                                  << "Missing /usr/bin/model.info";
    QTest::newRow("unreadable file") << "unreadable"
                                     << "Unreadable /usr/bin/model.info";
}

void tst_ModelInformation::fallbackModel()
{
    QFETCH(QString, fault);
    QFETCH(QString, detail);

    if (fault == "missing")
        QVERIFY(QFile::remove(m_root->path(ModelInformation::fileName)));
    if (fault == "unreadable") {
        QVERIFY(QFile::remove(m_root->path(ModelInformation::fileName)));
        QVERIFY(QDir().mkpath(m_root->path(ModelInformation::fileName)));
    }
    ioc::MODELS_INFO report; // model code 1205: what the link holds without an identification
    report.unitModelCodes = { 7 };
    const ModelInformation *info = build(report);

    QVERIFY(info->usesFallbackModel());
    QCOMPARE(info->getModel(), ModelInformation::fallbackModelName);
    QCOMPARE(m_root->read(ModelInformation::modelNameFile), QByteArray("UNKNOWN"));
    QCOMPARE(m_sunk, (QVector<QPair<int, QString>>({ { -310, detail } })));
    QCOMPARE(info->startupErrors(), m_sunk);

    // No map is empty; the safe entries let nothing but 0 through and divide by nothing.
    for (const auto *map : { &info->currentMap(), &info->voltageMap(), &info->powerMap() }) {
        QCOMPARE(map->size(), 1);
        const BoundValue &v = ModelInformation::rangeValue(*map, 2);
        qint32 counts = -1;
        QCOMPARE(v.toCounts(0.0, &counts), 0);
        QCOMPARE(v.toRegister(counts), qint64(0));
        QCOMPARE(v.toCounts(0.001, &counts), int(InstrumentErrors::DataOutOfRange));
    }
    QCOMPARE(ModelInformation::rangeValue(info->acqCurrentMap(), 1).m_factor, 0.0);
    QCOMPARE(ModelInformation::rangeValue(info->currRangeMap(), 1).m_max, 0.0);
    QCOMPARE(info->energyMap().size(), 1);
}

void tst_ModelInformation::unknownFurtherUnit()
{
    ioc::MODELS_INFO report;
    report.modelCode = 7;
    report.unitModelCodes = { 9, 8 };
    const ModelInformation *info = build(report);
    QCOMPARE(info->modelNames(), QStringList({ "VEK-SEVEN", "VEK-EIGHT" }));
    QCOMPARE(info->currentMap()[2].m_max, 30.0);
    QCOMPARE(
        m_sunk, (QVector<QPair<int, QString>>({ { -310, "Model 9 not in /usr/bin/model.info" } })));
}

void tst_ModelInformation::rangeValue()
{
    QMap<int, BoundValue> map;
    map[1].setLimits(0, 1);
    map[2].setLimits(0, 2);
    QCOMPARE(&ModelInformation::rangeValue(map, 0), &map.constFind(1).value());
    QCOMPARE(&ModelInformation::rangeValue(map, 2), &map.constFind(2).value());
    QCOMPARE(ModelInformation::rangeValue(map, 5).m_max, 1.0);
    QCOMPARE(map.size(), 2);

    const QMap<int, BoundValueAcq> empty;
    QCOMPARE(ModelInformation::rangeValue(empty, 3).m_factor, 0.0);
    QVERIFY(empty.isEmpty());
}

QTEST_GUILESS_MAIN(tst_ModelInformation)
#include "tst_ModelInformation.moc"
