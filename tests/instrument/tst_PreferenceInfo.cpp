#include "instrument/PreferenceInfo.h"
#include "platform/AtomicFile.h"
#include "platform/BoardPath.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

using platform::AtomicFile;
using platform::BoardPath;

using Error = QPair<int, QString>;
using Enables = QPair<int, int>;

class tst_PreferenceInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void construction();
    void missingFileWritesFactoryDefaults();
    void powerOnStatusClear_data();
    void powerOnStatusClear();
    void load_data();
    void load();
    void emptyObjectLoadsZeros();
    void brokenFileChangesNothing_data();
    void brokenFileChangesNothing();
    void resetLevels_data();
    void resetLevels();
    void saveRoundTrip();
    void failedSaveKeepsOldFile();
    void copyIsSnapshot();
    void queryName();
    void addressingFlags_data();
    void addressingFlags();
    void defaultTexts();
    void concurrentChangesAndSaves();

private:
    QString filePath() const { return BoardPath::map(PreferenceInfo::DefaultPath); }
    QString passwordPath() const { return BoardPath::map(PreferenceInfo::WebPasswordPath); }
    void writeFile(const QString &path, const QByteArray &text) const;
    QJsonObject fileObject() const;
    static void setDistinctValues(PreferenceInfo &preferences);

    QScopedPointer<QTemporaryDir> m_root;
    QList<Error> m_errors;
    QList<Enables> m_enables;
};

// Level-2 values of every member, with the identity installed by init().
static const QJsonObject s_factoryDefaults {
    { "adrsAssign4", 2 },
    { "adrsAssign6", 0 },
    { "ddnsEnabled", true },
    { "mdnsEnabled", true },
    { "nbnsEnabled", true },
    { "IpAdr4", "192.168.1.33" },
    { "NetMask4", "255.255.0.0" },
    { "DefGW4", "192.168.1.1" },
    { "PriDNS4", "0.0.0.0" },
    { "SecDNS4", "0.0.0.0" },
    { "PriWINS4", "0.0.0.0" },
    { "SecWINS4", "0.0.0.0" },
    { "IpAdr6", "2100::2" },
    { "Prefix6", 64 },
    { "DefGW6", "2100::1" },
    { "PriDNS6", "::" },
    { "SecDNS6", "::" },
    { "ntpServerHostname", "pool.ntp.org" },
    { "autoClockAdjEnabled", true },
    { "hostname", "VEK3R-600-45678" },
    { "description", "Maker VEK3R-600-60 Electronic Load - SN0012345678" },
    { "scpiRawPort", 5025 },
    { "hislipPort", 4880 },
    { "telnetPort", 5024 },
    { "telnetWelcomeMessage", "Welcome to SCPI Telnet - VEK3R-600-60 SN0012345678" },
    { "telnetPrompt", "SCPI>" },
    { "gpibEnabled", false },
    { "usbEnabled", true },
    { "rs232Enabled", true },
    { "gpibAddress", 0 },
    { "rs232Bitrate", 19200 },
    { "rs232DataBits", 8 },
    { "rs232StopBits", 1 },
    { "rs232FlowCtrl", 0 },
    { "PSC", true },
    { "SRE", 0 },
    { "ESE", 0 },
};

void tst_PreferenceInfo::init()
{
    m_root.reset(new QTemporaryDir);
    QVERIFY(m_root->isValid());
    BoardPath::setRoot(m_root->path());
    QVERIFY(QDir().mkpath(BoardPath::map("/etc/instr")));
    m_errors.clear();
    m_enables.clear();
    PreferenceInfo::setErrorSink([this](int code, const QString &detail) {
        m_errors << Error(code, detail);
    });
    PreferenceInfo::setStatusEnableSink([this](quint8 sre, quint8 ese) {
        m_enables << Enables(sre, ese);
    });
    PreferenceInfo::setModelIdentitySource([] {
        return PreferenceInfo::ModelIdentity {
            "Maker", "VEK3R-600-60", "Electronic Load", "SN0012345678"
        };
    });
}

void tst_PreferenceInfo::cleanup()
{
    PreferenceInfo::setErrorSink({});
    PreferenceInfo::setStatusEnableSink({});
    PreferenceInfo::setModelIdentitySource({});
    AtomicFile::setRenameFunction({});
}

void tst_PreferenceInfo::writeFile(const QString &path, const QByteArray &text) const
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

QJsonObject tst_PreferenceInfo::fileObject() const
{
    QFile f(filePath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object();
}

// Every member away from what any reset level sets.
void tst_PreferenceInfo::setDistinctValues(PreferenceInfo &preferences)
{
    preferences.modify([](PreferenceInfo::Values &v) {
        v.adrsAssign4 = 1;
        v.adrsAssign6 = 2;
        v.ddnsEnabled = v.mdnsEnabled = v.nbnsEnabled = false;
        v.IpAdr4 = v.NetMask4 = v.DefGW4 = v.PriDNS4 = v.SecDNS4 = "10.0.0.9";
        v.PriWINS4 = v.SecWINS4 = v.IpAdr6 = v.DefGW6 = v.PriDNS6 = v.SecDNS6 = "x";
        v.Prefix6 = 48;
        v.ntpServerHostname = v.hostname = v.description = "y";
        v.autoClockAdjEnabled = false;
        v.scpiRawPort = v.hislipPort = v.telnetPort = 7;
        v.telnetWelcomeMessage = v.telnetPrompt = "z";
        v.gpibEnabled = true;
        v.usbEnabled = v.rs232Enabled = false;
        v.gpibAddress = 5;
        v.rs232Bitrate = 9600;
        v.rs232DataBits = 7;
        v.rs232StopBits = 2;
        v.rs232FlowCtrl = 1;
        v.PSC = false;
        v.SRE = 16;
        v.ESE = 32;
    });
}

void tst_PreferenceInfo::construction()
{
    writeFile(passwordPath(), "secret");
    {
        PreferenceInfo preferences;
        QCOMPARE(PreferenceInfo::s_pSelf, &preferences);
        QCOMPARE(zostd::getInterface_IPreferenceInfo(), &preferences);
        QCOMPARE(QMetaType::type("IPreferenceInfo"), qMetaTypeId<zostd::IPreferenceInfo *>());
        QVERIFY(preferences.getDhcpv4Enabled());
        QVERIFY(preferences.getMdnsEnabled());
        QVERIFY(!preferences.factoryDefaulted());
        QVERIFY(!preferences.getZostdSafuEnabled());
    }
    // A start keeps the web front end's password.
    QVERIFY(QFile::exists(passwordPath()));
    QVERIFY(!PreferenceInfo::s_pSelf);
    QVERIFY(!zostd::getInterface_IPreferenceInfo());
    QVERIFY(m_errors.isEmpty());
}

void tst_PreferenceInfo::missingFileWritesFactoryDefaults()
{
    writeFile(passwordPath(), "secret");
    {
        PreferenceInfo preferences;
        QVERIFY(!preferences.loadOrRestoreDefaults());
        QCOMPARE(m_errors.size(), 1);
        QCOMPARE(m_errors.first(), Error(-315, PreferenceInfo::DefaultPath));
        QVERIFY(!QFile::exists(filePath() + ".bad"));
        QVERIFY(preferences.factoryDefaulted());
        QCOMPARE(fileObject(), s_factoryDefaults);
        QVERIFY(!QFile::exists(passwordPath()));
    }
    PreferenceInfo next;
    QVERIFY(next.loadOrRestoreDefaults());
    QCOMPARE(m_errors.size(), 1);
    QVERIFY(!next.factoryDefaulted());
    QCOMPARE(next.toJsonObject(QString()), s_factoryDefaults);
}

void tst_PreferenceInfo::powerOnStatusClear_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("sre");
    QTest::addColumn<int>("ese");

    QTest::newRow("PSC on clears") << QByteArray(R"({"PSC": true, "SRE": 32, "ESE": 4})") << 0 << 0;
    QTest::newRow("PSC off keeps")
        << QByteArray(R"({"PSC": false, "SRE": 255, "ESE": 61})") << 255 << 61;
    QTest::newRow("PSC missing keeps") << QByteArray(R"({"SRE": 32})") << 32 << 0;
    QTest::newRow("low 8 bits") << QByteArray(R"({"SRE": 288, "ESE": -1})") << 32 << 255;
    QTest::newRow("PSC as text is off") << QByteArray(R"({"PSC": "1", "SRE": 8})") << 8 << 0;
}

void tst_PreferenceInfo::powerOnStatusClear()
{
    QFETCH(QByteArray, file);
    QFETCH(int, sre);
    QFETCH(int, ese);
    writeFile(filePath(), file);
    PreferenceInfo preferences;
    QVERIFY(preferences.load());

    const zostd::IPreferenceInfo &library = *zostd::getInterface_IPreferenceInfo();
    QCOMPARE(int(library.getSRE()), sre);
    QCOMPARE(int(library.getESE()), ese);
    QCOMPARE(m_enables, QList<Enables> { Enables(sre, ese) });

    QVERIFY(preferences.save());
    QCOMPARE(fileObject().value("SRE"), QJsonValue(sre));
    QCOMPARE(fileObject().value("ESE"), QJsonValue(ese));
}

void tst_PreferenceInfo::load_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("expected");

    QTest::newRow("port low 16 bits")
        << QByteArray(R"({"scpiRawPort": 70000})") << "scpiRawPort" << QJsonValue(4464);
    QTest::newRow("negative port")
        << QByteArray(R"({"hislipPort": -1})") << "hislipPort" << QJsonValue(65535);
    QTest::newRow("prefix low 16 bits")
        << QByteArray(R"({"Prefix6": 65600})") << "Prefix6" << QJsonValue(64);
    QTest::newRow("fraction is 0")
        << QByteArray(R"({"telnetPort": 5024.5})") << "telnetPort" << QJsonValue(0);
    QTest::newRow("text number is 0")
        << QByteArray(R"({"rs232Bitrate": "9600"})") << "rs232Bitrate" << QJsonValue(0);
    QTest::newRow("number for text is empty")
        << QByteArray(R"({"hostname": 5})") << "hostname" << QJsonValue("");
    QTest::newRow("text for bool is false")
        << QByteArray(R"({"usbEnabled": "true"})") << "usbEnabled" << QJsonValue(false);
    QTest::newRow("text kept") << QByteArray(R"({"telnetPrompt": "load> "})") << "telnetPrompt"
                               << QJsonValue("load> ");
    QTest::newRow("queryName not read")
        << QByteArray(R"({"queryName": "X"})") << "queryName" << QJsonValue(QJsonValue::Undefined);
}

void tst_PreferenceInfo::load()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, key);
    QFETCH(QJsonValue, expected);
    writeFile(filePath(), file);
    PreferenceInfo preferences;
    QVERIFY(preferences.load());
    QCOMPARE(preferences.toJsonObject(QString()).value(key), expected);
    QVERIFY(m_errors.isEmpty());
}

void tst_PreferenceInfo::emptyObjectLoadsZeros()
{
    writeFile(filePath(), "{}");
    PreferenceInfo preferences;
    QVERIFY(preferences.loadOrRestoreDefaults());
    const QJsonObject o = preferences.toJsonObject(QString());
    QCOMPARE(o.size(), 37);
    for (auto it = o.begin(); it != o.end(); ++it)
        QVERIFY2(it.value() == QJsonValue(false) || it.value() == QJsonValue(0)
                || it.value() == QJsonValue(""),
            qPrintable(it.key()));
    QVERIFY(!preferences.getLanEnabled());
    QCOMPARE(m_enables, QList<Enables> { Enables(0, 0) });
    QVERIFY(m_errors.isEmpty());
    QVERIFY(!preferences.factoryDefaulted());
}

void tst_PreferenceInfo::brokenFileChangesNothing_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not JSON") << QByteArray("PSC=1");
    QTest::newRow("cut short") << QByteArray(R"({"SRE": 32, "hostname": "lo)");
    QTest::newRow("array") << QByteArray("[]");
}

void tst_PreferenceInfo::brokenFileChangesNothing()
{
    QFETCH(QByteArray, file);
    writeFile(filePath(), file);
    PreferenceInfo preferences;
    setDistinctValues(preferences);
    const QJsonObject before = preferences.toJsonObject(QString());
    QVERIFY(!preferences.load());
    QCOMPARE(preferences.toJsonObject(QString()), before);
    QVERIFY(m_enables.isEmpty());

    // No reset level sets the GPIB address. The broken file is kept as .bad, in place of a copy
    // kept at an earlier start.
    writeFile(filePath() + ".bad", "older");
    QVERIFY(!preferences.loadOrRestoreDefaults());
    QJsonObject expected = s_factoryDefaults;
    expected.insert("gpibAddress", 5);
    QCOMPARE(fileObject(), expected);
    QFile kept(filePath() + ".bad");
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), file);
    QCOMPARE(m_errors.size(), 1);
    QCOMPARE(m_errors.first().first, -315);
    QVERIFY2(m_errors.first().second.contains(QString(PreferenceInfo::DefaultPath) + ".bad"),
        qPrintable(m_errors.first().second));
}

void tst_PreferenceInfo::resetLevels_data()
{
    const auto keys = [](const char *names) {
        return QString(names).split(' ');
    };
    const QStringList step1 = keys("adrsAssign4 adrsAssign6 ddnsEnabled mdnsEnabled nbnsEnabled");
    const QStringList lan = keys("IpAdr4 NetMask4 DefGW4 PriDNS4 SecDNS4 PriWINS4 SecWINS4 "
                                 "IpAdr6 Prefix6 DefGW6 PriDNS6 SecDNS6 ntpServerHostname "
                                 "autoClockAdjEnabled hostname description scpiRawPort "
                                 "hislipPort telnetPort telnetWelcomeMessage telnetPrompt");
    const QStringList factory = keys("gpibEnabled usbEnabled rs232Enabled rs232Bitrate "
                                     "rs232DataBits rs232StopBits rs232FlowCtrl PSC SRE ESE");

    QTest::addColumn<int>("level");
    QTest::addColumn<QStringList>("changed");
    QTest::addColumn<bool>("factoryDefaulted");

    QTest::newRow("LAN reset") << int(PreferenceInfo::LanReset) << step1 << false;
    QTest::newRow("LAN default") << int(PreferenceInfo::LanDefault) << step1 + lan << false;
    QTest::newRow("factory default")
        << int(PreferenceInfo::FactoryDefault) << step1 + lan + factory << true;
    QTest::newRow("unknown level is a LAN reset") << 7 << step1 << false;
}

void tst_PreferenceInfo::resetLevels()
{
    QFETCH(int, level);
    QFETCH(QStringList, changed);
    QFETCH(bool, factoryDefaulted);

    PreferenceInfo preferences;
    setDistinctValues(preferences);
    const QJsonObject before = preferences.toJsonObject(QString());
    writeFile(passwordPath(), "secret");
    writeFile(filePath(), "{}");

    preferences.initialize(level);

    const QJsonObject after = preferences.toJsonObject(QString());
    QStringList seen;
    for (const QString &key : after.keys()) {
        if (after.value(key) != before.value(key)) {
            seen << key;
            QCOMPARE(after.value(key), s_factoryDefaults.value(key));
        }
    }
    seen.sort();
    changed.sort();
    QCOMPARE(seen, changed);
    QCOMPARE(preferences.factoryDefaulted(), factoryDefaulted);
    QVERIFY(!QFile::exists(passwordPath()));
    // The file follows only at the next save.
    QCOMPARE(fileObject(), QJsonObject());
    QVERIFY(m_errors.isEmpty());

    // Once the password file is gone, a reset has nothing to delete and reports nothing.
    preferences.initialize(level);
    QVERIFY(m_errors.isEmpty());
}

void tst_PreferenceInfo::saveRoundTrip()
{
    {
        PreferenceInfo preferences;
        setDistinctValues(preferences);
        preferences.setSRE(0xa5);
        QVERIFY(preferences.save());

        QFile f(filePath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), preferences.toJsonString(QString()));
    }
    QCOMPARE(fileObject().size(), 37);
    QVERIFY(!fileObject().contains("queryName"));

    PreferenceInfo loaded;
    QVERIFY(loaded.load());
    PreferenceInfo expected;
    setDistinctValues(expected);
    expected.setSRE(0xa5);
    QCOMPARE(loaded.toJsonObject(QString()), expected.toJsonObject(QString()));
    QCOMPARE(m_enables, QList<Enables> { Enables(0xa5, 32) });
    QVERIFY(m_errors.isEmpty());
}

void tst_PreferenceInfo::failedSaveKeepsOldFile()
{
    PreferenceInfo preferences;
    QVERIFY(!preferences.loadOrRestoreDefaults());
    m_errors.clear();

    AtomicFile::setRenameFunction([](const QString &, const QString &) {
        return false;
    });
    preferences.modify([](PreferenceInfo::Values &v) {
        v.hostname = "changed";
    });
    QVERIFY(!preferences.save());
    QCOMPARE(m_errors.size(), 1);
    QCOMPARE(m_errors.first().first, -310);
    QVERIFY(m_errors.first().second.contains(PreferenceInfo::DefaultPath));
    QCOMPARE(fileObject(), s_factoryDefaults);
    QCOMPARE(QDir(BoardPath::map("/etc/instr")).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void tst_PreferenceInfo::copyIsSnapshot()
{
    PreferenceInfo preferences;
    preferences.initialize(PreferenceInfo::FactoryDefault);
    preferences.setZostdSafuEnabled(true);

    PreferenceInfo copy(preferences);
    QCOMPARE(PreferenceInfo::s_pSelf, &preferences);
    QCOMPARE(copy.toJsonObject(QString()), preferences.toJsonObject(QString()));
    QVERIFY(!copy.factoryDefaulted());
    QVERIFY(!copy.getZostdSafuEnabled());

    copy.modify([](PreferenceInfo::Values &v) {
        v.hostname = "other";
    });
    QCOMPARE(preferences.getHostname(), s_factoryDefaults.value("hostname").toString());
    QVERIFY(!copy.save());
    QVERIFY(!QFile::exists(filePath()));
    writeFile(filePath(), R"({"hostname": "file"})");
    QVERIFY(!copy.load());
    QCOMPARE(copy.getHostname(), QStringLiteral("other"));
    QVERIFY(m_errors.isEmpty());
}

void tst_PreferenceInfo::queryName()
{
    PreferenceInfo preferences;
    const QJsonObject view = preferences.toJsonObject(QString());
    QJsonObject modify = preferences.toJsonObject("APPLY_LAN_CONFIG");
    QCOMPARE(modify.take("queryName"), QJsonValue("APPLY_LAN_CONFIG"));
    QCOMPARE(modify, view);
    QCOMPARE(QJsonDocument::fromJson(preferences.toJsonString("Q")).object().value("queryName"),
        QJsonValue("Q"));
}

void tst_PreferenceInfo::addressingFlags_data()
{
    QTest::addColumn<int>("assign4");
    QTest::addColumn<int>("assign6");
    QTest::addColumn<QString>("expected"); // lan ipv4 dhcp4 linklocal4 static4 ipv6 slaac6 static6

    QTest::newRow("all off") << 0 << 0 << "00000000";
    QTest::newRow("static 4") << 1 << 0 << "11001000";
    QTest::newRow("DHCP 4") << 2 << 0 << "11110000";
    QTest::newRow("static 6") << 0 << 1 << "10000101";
    QTest::newRow("autoconfigured 6") << 0 << 2 << "10000110";
    QTest::newRow("unknown value") << 3 << 3 << "11000100";
}

void tst_PreferenceInfo::addressingFlags()
{
    QFETCH(int, assign4);
    QFETCH(int, assign6);
    QFETCH(QString, expected);
    PreferenceInfo preferences;
    preferences.modify([&](PreferenceInfo::Values &v) {
        v.adrsAssign4 = assign4;
        v.adrsAssign6 = assign6;
    });
    const zostd::IPreferenceInfo &p = preferences;
    const bool flags[] = { p.getLanEnabled(),
        p.getIpv4Enabled(),
        p.getDhcpv4Enabled(),
        p.getLinkLocal4Enabled(),
        p.getStaticIp4Enabled(),
        p.getIpv6Enabled(),
        p.getSlaac6Enabled(),
        p.getStaticIp6Enabled() };
    QString seen;
    for (bool f : flags)
        seen += f ? '1' : '0';
    QCOMPARE(seen, expected);
    QVERIFY(!p.getDhcpv6Enabled());
}

void tst_PreferenceInfo::defaultTexts()
{
    const PreferenceInfo::ModelIdentity shortNames { "M", "AB", "Load", "123" };
    QCOMPARE(PreferenceInfo::createDefaultHostname(shortNames), QStringLiteral("AB-123"));
    QCOMPARE(
        PreferenceInfo::createDefaultDescription(shortNames), QStringLiteral("M AB Load - 123"));
    QCOMPARE(PreferenceInfo::createDefaultTelnetWelcomeMessage(shortNames),
        QStringLiteral("Welcome to SCPI Telnet - AB 123"));

    struct ModelInfo
    {
        QString getManufacturer() const { return "Maker"; }
        QString getModel() const { return "LONGMODELNAME"; }
        QString getProductDescription() const { return "Electronic Load"; }
        QString getSerial() const { return "SER-00042"; }
    };
    const auto identity = PreferenceInfo::ModelIdentity::of(ModelInfo());
    QCOMPARE(PreferenceInfo::createDefaultHostname(identity), QStringLiteral("LONGMODEL-00042"));
}

void tst_PreferenceInfo::concurrentChangesAndSaves()
{
    PreferenceInfo preferences;
    constexpr int Rounds = 200;
    std::unique_ptr<QThread> network(QThread::create([&] {
        for (int i = 1; i <= Rounds; ++i) {
            preferences.modify([i](PreferenceInfo::Values &v) {
                v.IpAdr4 = QStringLiteral("10.0.%1.%2").arg(i / 256).arg(i % 256);
            });
            preferences.save();
        }
    }));
    std::unique_ptr<QThread> parser(QThread::create([&] {
        for (int i = 1; i <= Rounds; ++i) {
            preferences.setSRE(quint8(i));
            preferences.save();
        }
    }));
    QStringList torn;
    std::unique_ptr<QThread> reader(QThread::create([&] {
        for (int i = 0; i < Rounds * 4; ++i) {
            const QString a = preferences.getIpAdr4();
            if (!a.isEmpty() && !a.startsWith("10.0."))
                torn << a;
        }
    }));
    network->start();
    parser->start();
    reader->start();
    QVERIFY(network->wait(60000));
    QVERIFY(parser->wait(60000));
    QVERIFY(reader->wait(60000));

    QVERIFY(torn.isEmpty());
    QVERIFY(m_errors.isEmpty());
    // Whichever save ran last wrote both threads' last values.
    QCOMPARE(fileObject().value("IpAdr4"), QJsonValue("10.0.0.200"));
    QCOMPARE(fileObject().value("SRE"), QJsonValue(200));
    QCOMPARE(QDir(BoardPath::map("/etc/instr")).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

QTEST_GUILESS_MAIN(tst_PreferenceInfo)
#include "tst_PreferenceInfo.moc"
