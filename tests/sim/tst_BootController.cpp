#include "sim/BootControl.h"
#include "sim/BootController.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtTest>

using sim::BootController;

namespace {
constexpr quint32 BootRegister = 0x80006100;
constexpr qint64 Ms = 1000;

// A frame as the tool builds it: address, N, data, CRC.
QVector<quint32> frame(quint32 address, const QVector<quint32> &data)
{
    QVector<quint32> f { address, quint32(data.size()) };
    f << data;
    f << BootController::crc16(f.constData(), f.size());
    return f;
}

QString lastEvent(const BootController &boot)
{
    const QStringList events = boot.log().filter(" event ");
    return events.isEmpty() ? QString() : events.last().section(' ', 2);
}
} // namespace

// The controller's maintenance side in-process, on a temporary board root.
class tst_BootController : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void checkValues();
    void bootPairs_data();
    void bootPairs();
    void badFrames();
    void ispDiskFollowsModeAndRoute();
    void flashBootTakesTheFirmware();
    void diskTakesAFreeName();
    void control_data();
    void control();

private:
    void route(bool toController);
    void enterIsp(qint64 t);
    QString file(const QString &relative) const;

    QTemporaryDir *m_root = nullptr;
    BootController *m_boot = nullptr;
};

void tst_BootController::init()
{
    m_root = new QTemporaryDir;
    QVERIFY(m_root->isValid());
    m_boot = new BootController(m_root->path(), 0);
    m_boot->setDiskDelayMs(300);
}

void tst_BootController::cleanup()
{
    delete m_boot;
    m_boot = nullptr;
    delete m_root;
    m_root = nullptr;
}

void tst_BootController::route(bool toController)
{
    for (auto line : { std::make_pair(111, toController), std::make_pair(112, false) }) {
        const QString dir = QString("%1/sys/class/gpio/gpio%2").arg(m_root->path()).arg(line.first);
        QDir().mkpath(dir);
        QFile f(dir + "/value");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(line.second ? "1\n" : "0\n");
    }
}

void tst_BootController::enterIsp(qint64 t)
{
    m_boot->receive(frame(BootRegister, { 0 }), t);
    m_boot->receive(frame(BootRegister, { 2 }), t + 100 * Ms);
    QCOMPARE(m_boot->mode(), BootController::Mode::Isp);
    m_boot->tick(t + 100 * Ms); // the board follows the USB route from here
}

QString tst_BootController::file(const QString &relative) const
{
    QFile f(m_root->path() + relative);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).trimmed() : QString();
}

void tst_BootController::checkValues()
{
    QCOMPARE(BootController::crc16(nullptr, 0), quint16(0xFFFF));
    const quint32 isp[] = { BootRegister, 1, 0 };
    QCOMPARE(BootController::crc16(isp, 3), quint16(0xA05B));
    const quint32 flash[] = { BootRegister, 1, 6 };
    QCOMPARE(BootController::crc16(flash, 3), quint16(0xC09D));
}

void tst_BootController::bootPairs_data()
{
    QTest::addColumn<QVector<quint32>>("values");
    QTest::addColumn<QVector<int>>("atMs");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("event");

    QTest::newRow("isp") << QVector<quint32> { 0, 2 } << QVector<int> { 0, 100 } << "isp"
                         << "boot isp after a reset of 100 ms";
    QTest::newRow("flash") << QVector<quint32> { 4, 6 } << QVector<int> { 0, 100 } << "flash"
                           << "boot flash after a reset of 100 ms";
    QTest::newRow("reset held") << QVector<quint32> { 0 } << QVector<int> { 0 } << "reset"
                                << "reset held, isp selected";
    QTest::newRow("reset too short")
        << QVector<quint32> { 0, 2 } << QVector<int> { 0, 10 } << "flash"
        << "boot ignored: reset held 10 ms, less than 50 ms";
    QTest::newRow("release alone") << QVector<quint32> { 2 } << QVector<int> { 0 } << "flash"
                                   << "boot ignored: release without a reset";
    QTest::newRow("selects differ")
        << QVector<quint32> { 0, 6 } << QVector<int> { 0, 100 } << "flash"
        << "boot ignored: reset selected isp, release flash";
    // A second hold does not restart the reset; it has been held since the first.
    QTest::newRow("held twice") << QVector<quint32> { 0, 0, 2 } << QVector<int> { 0, 60, 100 }
                                << "isp"
                                << "boot isp after a reset of 100 ms";
}

void tst_BootController::bootPairs()
{
    QFETCH(QVector<quint32>, values);
    QFETCH(QVector<int>, atMs);
    QFETCH(QString, mode);
    QFETCH(QString, event);
    for (int i = 0; i < values.size(); ++i)
        m_boot->receive(frame(BootRegister, { values.at(i) }), atMs.at(i) * Ms);
    QCOMPARE(BootController::modeName(m_boot->mode()), mode);
    QCOMPARE(lastEvent(*m_boot), event);
    QCOMPARE(m_boot->badFrames(), 0);
}

void tst_BootController::badFrames()
{
    QVector<quint32> bad = frame(BootRegister, { 0 });
    bad.last() ^= 1;
    m_boot->receive(bad, 0);
    QCOMPARE(m_boot->badFrames(), 1);
    QCOMPARE(m_boot->mode(), BootController::Mode::Flash);

    // Two frames in one chip select; the second announces more words than remain.
    QVector<quint32> message = frame(0x80000010, { 1, 2 });
    message << 0x80000020 << 9 << 1 << 2;
    m_boot->receive(message, 1000);
    QCOMPARE(m_boot->badFrames(), 2);
    QStringList frames = m_boot->log().filter(" frame ");
    QCOMPARE(frames.size(), 3);
    QVERIFY2(frames.at(0).contains(" frame 1 crc 80006100 00000001 00000000 0000a05a"),
        qPrintable(frames.at(0)));
    QVERIFY2(frames.at(1).contains(" frame 2 ok 80000010 00000002"), qPrintable(frames.at(1)));
    QVERIFY2(frames.at(2).contains(" frame 2 length 80000020 00000009"), qPrintable(frames.at(2)));

    // An injected corruption drops a good frame; the pair it belonged to does not happen.
    m_boot->corruptNextFrames(1);
    m_boot->receive(frame(BootRegister, { 0 }), 2000);
    m_boot->receive(frame(BootRegister, { 2 }), 102000);
    QCOMPARE(m_boot->badFrames(), 3);
    QCOMPARE(m_boot->mode(), BootController::Mode::Flash);

    m_boot->receive({ 1, 0 }, 200000);
    m_boot->receive({ 7 }, 200000);
    QCOMPARE(m_boot->badFrames(), 5);
}

void tst_BootController::ispDiskFollowsModeAndRoute()
{
    route(true);
    m_boot->tick(0);
    QVERIFY(!m_boot->disk().isAttached()); // flash mode: no disk
    enterIsp(0);
    QCOMPARE(m_boot->pollTimeoutMs(), 20);
    m_boot->tick(350 * Ms);
    QVERIFY(!m_boot->disk().isAttached()); // the disk enumerates 300 ms after the ISP boot
    m_boot->tick(400 * Ms);
    QVERIFY2(m_boot->disk().isAttached(), qPrintable(m_boot->log().join('\n')));
    QCOMPARE(m_boot->disk().name(), QString("sda"));
    QCOMPARE(file("/sys/block/sda/device/vendor"), QString("NXP"));
    QCOMPARE(QFileInfo(m_root->path() + "/dev/sda").symLinkTarget(), m_boot->disk().folder());
    // The automounter mounted it read-only.
    QVERIFY(file("/proc/mounts").contains("/dev/sda /run/media/sda vfat ro"));
    QCOMPARE(QFileInfo(m_root->path() + "/run/media/sda").symLinkTarget(), m_boot->disk().folder());

    route(false);
    m_boot->tick(500 * Ms);
    QVERIFY(!m_boot->disk().isAttached());
    QVERIFY(!QFileInfo::exists(m_root->path() + "/sys/block/sda"));
    QVERIFY(!QFileInfo::exists(m_root->path() + "/dev/sda"));
    QVERIFY(!file("/proc/mounts").contains("/dev/sda"));

    // Routed back: the delay runs again from the route.
    route(true);
    m_boot->tick(600 * Ms);
    QVERIFY(!m_boot->disk().isAttached());
    m_boot->tick(900 * Ms);
    QVERIFY(m_boot->disk().isAttached());

    m_boot->setDiskDelayMs(-1);
    route(false);
    m_boot->tick(1000 * Ms);
    route(true);
    m_boot->tick(5000 * Ms);
    QVERIFY(!m_boot->disk().isAttached());
}

void tst_BootController::flashBootTakesTheFirmware()
{
    route(true);
    enterIsp(0);
    m_boot->tick(400 * Ms);
    QVERIFY(m_boot->disk().isAttached());
    const QByteArray image = QByteArray(512, 'x');
    QFile fw(m_boot->disk().folder() + "/firmware.bin");
    QVERIFY(fw.open(QIODevice::WriteOnly));
    fw.write(image);
    fw.close();

    m_boot->receive(frame(BootRegister, { 4 }), 1000 * Ms);
    QVERIFY(!m_boot->disk().isAttached()); // the controller stops: its USB device goes away
    m_boot->receive(frame(BootRegister, { 6 }), 1100 * Ms);
    QCOMPARE(m_boot->mode(), BootController::Mode::Flash);
    QCOMPARE(m_boot->firmware(), image);
    QCOMPARE(lastEvent(*m_boot),
        "firmware installed 512 "
            + QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex());

    // The next ISP boot offers a blank disk; leaving it without a file keeps the firmware.
    enterIsp(2000 * Ms);
    QVERIFY(!QFileInfo::exists(m_boot->disk().folder() + "/firmware.bin"));
    m_boot->receive(frame(BootRegister, { 4 }), 3000 * Ms);
    m_boot->receive(frame(BootRegister, { 6 }), 3100 * Ms);
    QCOMPARE(m_boot->firmware(), image);
    QCOMPARE(lastEvent(*m_boot), QString("firmware kept: no firmware.bin on the ISP disk"));
}

void tst_BootController::diskTakesAFreeName()
{
    QDir().mkpath(m_root->path() + "/sys/block/sda/device"); // a stick in the front socket
    route(true);
    enterIsp(0);
    m_boot->tick(400 * Ms);
    QCOMPARE(m_boot->disk().name(), QString("sdb"));
    QCOMPARE(file("/sys/block/sdb/device/vendor"), QString("NXP"));
}

void tst_BootController::control_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("reply");
    QTest::newRow("state") << QStringList {} << "OK flash - 0 0 -";
    QTest::newRow("corrupt") << QStringList { "corrupt", "2" } << "OK";
    QTest::newRow("corrupt bad") << QStringList { "corrupt", "x" } << "ERR usage: boot corrupt N";
    QTest::newRow("never") << QStringList { "diskdelay", "never" } << "OK";
    QTest::newRow("delay") << QStringList { "diskdelay", "50" } << "OK";
    QTest::newRow("delay bad") << QStringList { "diskdelay" }
                               << "ERR usage: boot diskdelay MS|never";
    QTest::newRow("log clear") << QStringList { "log", "clear" } << "OK";
    QTest::newRow("log") << QStringList { "log" } << "END";
    QTest::newRow("unknown") << QStringList { "reboot" }
                             << "ERR usage: boot [corrupt N | diskdelay MS|never | log [clear]]";
}

void tst_BootController::control()
{
    QFETCH(QStringList, args);
    QFETCH(QString, reply);
    QCOMPARE(sim::BootControl::handle(*m_boot, args).last(), reply);
}

QTEST_GUILESS_MAIN(tst_BootController)
#include "tst_BootController.moc"
