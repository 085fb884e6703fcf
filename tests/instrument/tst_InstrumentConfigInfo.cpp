#include "instrument/InstrumentConfigInfo.h"
#include "platform/AtomicFile.h"
#include "platform/BoardPath.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using platform::AtomicFile;
using platform::BoardPath;

using Error = QPair<int, QString>;

class tst_InstrumentConfigInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void missingFileWritesDefaults();
    void load_data();
    void load();
    void emptyObjectLoadsZeros();
    void brokenFileChangesNothing_data();
    void brokenFileChangesNothing();
    void brokenFileThatCannotBeKeptStays();
    void saveRoundTrip();
    void failedSaveKeepsPreviousFile();
    void clearLeavesFileAlone();

private:
    QString filePath() const { return BoardPath::map(InstrumentConfigInfo::DefaultPath); }
    void writeFile(const QByteArray &text) const;
    QByteArray readFile() const;
    static QJsonObject objectOf(const InstrumentConfigInfo &config);
    static InstrumentConfigInfo changedRecord();

    QScopedPointer<QTemporaryDir> m_root;
    QList<Error> m_errors;
};

void tst_InstrumentConfigInfo::init()
{
    m_root.reset(new QTemporaryDir);
    QVERIFY(m_root->isValid());
    BoardPath::setRoot(m_root->path());
    QVERIFY(QDir().mkpath(BoardPath::map("/etc/instr")));
    m_errors.clear();
    InstrumentConfigInfo::setErrorSink([this](int code, const QString &detail) {
        m_errors << Error(code, detail);
    });
}

void tst_InstrumentConfigInfo::cleanup()
{
    InstrumentConfigInfo::setErrorSink({});
    AtomicFile::setRenameFunction({});
}

void tst_InstrumentConfigInfo::writeFile(const QByteArray &text) const
{
    QFile f(filePath());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

QByteArray tst_InstrumentConfigInfo::readFile() const
{
    QFile f(filePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QJsonObject tst_InstrumentConfigInfo::objectOf(const InstrumentConfigInfo &config)
{
    return QJsonDocument::fromJson(config.toJsonString()).object();
}

// Every field away from its default.
InstrumentConfigInfo tst_InstrumentConfigInfo::changedRecord()
{
    InstrumentConfigInfo c;
    c.remoteSensing = true;
    c.showEtime = false;
    c.keyLock = true;
    c.keyLockLevel = 2;
    c.trigin = c.trigout = c.digital0 = c.digital1 = c.digital2 = true;
    c.digital2Direction = 1;
    c.pon = 1;
    c.wdogEnabled = true;
    c.wdogDelay = 3600;
    c.saver = c.saverRemoteWakeup = true;
    c.saverDelay = 59940;
    c.keyBeep = c.scpiBeep = c.protectionBeep = false;
    return c;
}

void tst_InstrumentConfigInfo::missingFileWritesDefaults()
{
    InstrumentConfigInfo config = changedRecord();
    QVERIFY(!config.loadOrRestoreDefaults());
    QCOMPARE(m_errors.size(), 1);
    QCOMPARE(m_errors.first(), Error(-315, InstrumentConfigInfo::DefaultPath));
    QVERIFY(!QFile::exists(filePath() + ".bad"));

    const QJsonObject expected { { "remoteSensing", false },
        { "showEtime", true },
        { "keyLock", false },
        { "keyLockLevel", 3 },
        { "trigin", false },
        { "trigout", false },
        { "digital0", false },
        { "digital1", false },
        { "digital2", false },
        { "digital2Direction", 0 },
        { "pon", 2 },
        { "wdogEnabled", false },
        { "wdogDelay", 60 },
        { "saver", false },
        { "saverRemoteWakeup", false },
        { "saverDelay", 60 },
        { "keyBeep", true },
        { "scpiBeep", true },
        { "protectionBeep", true } };
    QCOMPARE(QJsonDocument::fromJson(readFile()).object(), expected);
    QCOMPARE(objectOf(config), expected);

    // The next start finds the file and reports nothing.
    InstrumentConfigInfo next;
    QVERIFY(next.loadOrRestoreDefaults());
    QCOMPARE(m_errors.size(), 1);
}

void tst_InstrumentConfigInfo::load_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("expected");

    QTest::newRow("pon low 8 bits") << QByteArray(R"({"pon": 258})") << "pon" << QJsonValue(2);
    QTest::newRow("pon negative") << QByteArray(R"({"pon": -1})") << "pon" << QJsonValue(255);
    QTest::newRow("direction low 8 bits")
        << QByteArray(R"({"digital2Direction": 257})") << "digital2Direction" << QJsonValue(1);
    QTest::newRow("fraction is 0") << QByteArray(R"({"pon": 1.5})") << "pon" << QJsonValue(0);
    QTest::newRow("text number is 0")
        << QByteArray(R"({"keyLockLevel": "3"})") << "keyLockLevel" << QJsonValue(0);
    QTest::newRow("number for bool is false")
        << QByteArray(R"({"keyBeep": 1})") << "keyBeep" << QJsonValue(false);
    QTest::newRow("32-bit delay") << QByteArray(R"({"saverDelay": 59940})") << "saverDelay"
                                  << QJsonValue(59940);
    QTest::newRow("beyond 32 bits is 0")
        << QByteArray(R"({"wdogDelay": 5000000000})") << "wdogDelay" << QJsonValue(0);
    QTest::newRow("bool") << QByteArray(R"({"keyLock": true})") << "keyLock" << QJsonValue(true);
    QTest::newRow("unknown members ignored")
        << QByteArray(R"({"x": 1, "showEtime": true})") << "showEtime" << QJsonValue(true);
}

void tst_InstrumentConfigInfo::load()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, key);
    QFETCH(QJsonValue, expected);
    writeFile(file);
    InstrumentConfigInfo config;
    QVERIFY(config.load());
    QCOMPARE(objectOf(config).value(key), expected);
    QVERIFY(m_errors.isEmpty());
}

void tst_InstrumentConfigInfo::emptyObjectLoadsZeros()
{
    writeFile("{}");
    InstrumentConfigInfo config;
    QVERIFY(config.loadOrRestoreDefaults());
    const QJsonObject o = objectOf(config);
    QCOMPARE(o.size(), 19);
    for (auto it = o.begin(); it != o.end(); ++it)
        QVERIFY2(
            it.value() == QJsonValue(false) || it.value() == QJsonValue(0), qPrintable(it.key()));
    QVERIFY(m_errors.isEmpty());
    QCOMPARE(readFile(), QByteArray("{}"));
}

void tst_InstrumentConfigInfo::brokenFileChangesNothing_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not JSON") << QByteArray("pon=1");
    QTest::newRow("cut short") << QByteArray(R"({"pon": 1, "keyLock": tr)");
    QTest::newRow("array") << QByteArray("[1, 2]");
}

void tst_InstrumentConfigInfo::brokenFileChangesNothing()
{
    QFETCH(QByteArray, file);
    writeFile(file);
    InstrumentConfigInfo config = changedRecord();
    QVERIFY(!config.load());
    QCOMPARE(objectOf(config), objectOf(changedRecord()));
    QCOMPARE(readFile(), file);

    // At start-up the broken file is replaced by the defaults, and kept as .bad in place of a
    // copy kept at an earlier start.
    QFile older(filePath() + ".bad");
    QVERIFY(older.open(QIODevice::WriteOnly));
    older.write("older");
    older.close();
    QVERIFY(!config.loadOrRestoreDefaults());
    QCOMPARE(objectOf(config), objectOf(InstrumentConfigInfo()));
    QCOMPARE(readFile(), InstrumentConfigInfo().toJsonString());
    QVERIFY(older.open(QIODevice::ReadOnly));
    QCOMPARE(older.readAll(), file);
    QCOMPARE(m_errors.size(), 1);
    QCOMPARE(m_errors.first().first, -315);
    QVERIFY2(m_errors.first().second.contains(QString(InstrumentConfigInfo::DefaultPath) + ".bad"),
        qPrintable(m_errors.first().second));
}

void tst_InstrumentConfigInfo::brokenFileThatCannotBeKeptStays()
{
    writeFile("pon=1");
    // A directory in the way of the copy.
    QVERIFY(QDir().mkpath(filePath() + ".bad/x"));
    InstrumentConfigInfo config = changedRecord();
    QVERIFY(!config.loadOrRestoreDefaults());
    QCOMPARE(objectOf(config), objectOf(InstrumentConfigInfo()));
    QCOMPARE(readFile(), QByteArray("pon=1"));
    QCOMPARE(m_errors.size(), 1);
    QCOMPARE(m_errors.first().first, -315);
    QVERIFY2(
        m_errors.first().second.contains("left in place"), qPrintable(m_errors.first().second));
}

void tst_InstrumentConfigInfo::saveRoundTrip()
{
    const InstrumentConfigInfo saved = changedRecord();
    QVERIFY(saved.save());
    QCOMPARE(readFile(), saved.toJsonString());
    QVERIFY(readFile().startsWith("{\n    \""));

    InstrumentConfigInfo loaded;
    QVERIFY(loaded.load());
    QCOMPARE(objectOf(loaded), objectOf(saved));
    QVERIFY(m_errors.isEmpty());
}

void tst_InstrumentConfigInfo::failedSaveKeepsPreviousFile()
{
    const InstrumentConfigInfo first;
    QVERIFY(first.save());
    const QByteArray before = readFile();

    AtomicFile::setRenameFunction([](const QString &, const QString &) {
        return false;
    });
    const InstrumentConfigInfo second = changedRecord();
    QVERIFY(!second.save());
    QCOMPARE(m_errors.size(), 1);
    QCOMPARE(m_errors.first().first, -310);
    QVERIFY(m_errors.first().second.contains(InstrumentConfigInfo::DefaultPath));

    QCOMPARE(readFile(), before);
    InstrumentConfigInfo loaded = changedRecord();
    QVERIFY(loaded.load());
    QCOMPARE(objectOf(loaded), objectOf(first));
    QCOMPARE(QDir(BoardPath::map("/etc/instr")).entryList(QDir::Files | QDir::Hidden),
        QStringList { QFileInfo(filePath()).fileName() });
}

void tst_InstrumentConfigInfo::clearLeavesFileAlone()
{
    writeFile(R"({"pon": 1})");
    InstrumentConfigInfo config = changedRecord();
    config.filePath = "/etc/instr/other.info";
    InstrumentConfigInfo &same = config.clear();
    QCOMPARE(&same, &config);
    QCOMPARE(config.keyLockLevel, 3);
    QCOMPARE(config.wdogDelay, 60);
    QCOMPARE(config.saverDelay, 60);
    QCOMPARE(config.filePath, QStringLiteral("/etc/instr/other.info"));
    QCOMPARE(readFile(), QByteArray(R"({"pon": 1})"));
}

QTEST_GUILESS_MAIN(tst_InstrumentConfigInfo)
#include "tst_InstrumentConfigInfo.moc"
