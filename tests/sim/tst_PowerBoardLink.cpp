#include "platform/BoardPath.h"
#include "platform/SpiPort.h"
#include "tests/support/PowerBoard.h"

#include <QFileInfo>
#include <QtTest>

#include <cerrno>
#include <csignal>

using platform::SpiPort;

namespace {
double sumOverSamples(const QVector<quint32> &rx, int word, int samples)
{
    const qint64 sum = qint64(quint64(rx.at(word)) | (quint64(rx.at(word + 1)) << 32));
    return double(sum) / samples * 1e-6;
}
} // namespace

// vek-powerboard as a process, reached through the program's own SPI port.
class tst_PowerBoardLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void seedsTheBoardRoot();
    void writesArriveInTheLog();
    void identificationEcho_data();
    void identificationEcho();
    void monitorFollowsTheSource_data();
    void monitorFollowsTheSource();
    void failedExchangeDropsTheConnection();
    void traceRecordsAfterInitiate();
    void clientsAtOnce();
    void stopRemovesTheSockets();
    void crashSurfacesAsError();

private:
    QVector<quint32> read(quint32 address, int count);
    void writeSteadyProgram(quint32 operate, quint32 dcLevel);

    PowerBoard *m_board = nullptr;
    SpiPort m_port;
};

void tst_PowerBoardLink::init()
{
    m_board = new PowerBoard;
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    QCOMPARE(m_port.open(QStringLiteral("/dev/spidev1.0")), 0);
}

void tst_PowerBoardLink::cleanup()
{
    m_port.close();
    const bool clean = m_board->stop();
    const QString error = m_board->errorString();
    delete m_board;
    m_board = nullptr;
    QVERIFY2(clean, qPrintable(error));
}

QVector<quint32> tst_PowerBoardLink::read(quint32 address, int count)
{
    QVector<quint32> tx(count + 2, 0);
    tx[0] = address;
    tx[1] = quint32(count);
    QVector<quint32> rx;
    const int rc = m_port.transfer(tx, &rx);
    if (rc != 0)
        qWarning("transfer failed: %d", rc);
    return rx;
}

void tst_PowerBoardLink::writeSteadyProgram(quint32 operate, quint32 dcLevel)
{
    // Slots 0-4 as the program lays out its steady two-step tree: tail, last step, head,
    // step 2 (root), step 1 (its left child).
    auto node = [](quint32 slot) {
        return 0x400000u + 32 * slot;
    };
    const quint32 none = 0xFFFFFFFF;
    QVector<QVector<quint32>> units = {
        { node(2), 8, 0xFFFFFFFF, 0, 0, 0, node(3), none, none, 0 },
        { node(3), 8, 1, 0, 0, 0, 64 * 3, node(4), none, 0 },
        { node(4), 8, 1, 0, 0, 0, 64 * 4, none, none, 0 },
    };
    for (quint32 slot : { 3u, 4u }) {
        QVector<quint32> data { 64 * slot, 16, 0xFFFFFFFF, 0xFFFF, operate, dcLevel, 0xFFFFFFFF };
        data.resize(18);
        units << data;
    }
    // The root and the start command (Tran), as the program sends them after the tree.
    units << QVector<quint32> { 0x50000000, 2, node(2), 1 };
    for (const QVector<quint32> &u : units)
        QCOMPARE(m_port.transfer(u, nullptr), 0);
}

void tst_PowerBoardLink::seedsTheBoardRoot()
{
    const QString root = m_board->root();
    QVERIFY(QFileInfo(root + "/etc/version.info").isFile());
    QVERIFY(QFileInfo(root + "/sys/class/backlight/backlight/max_brightness").isFile());
    QVERIFY(QFileInfo(root + "/dev/spidev1.1").exists());
    QVERIFY(!QFileInfo(root + "/etc/instr/.keep").exists());
    QCOMPARE(platform::BoardPath::root(), QDir(root).absolutePath());
}

void tst_PowerBoardLink::writesArriveInTheLog()
{
    QVERIFY(m_board->clearLog());
    QCOMPARE(m_port.transfer({ 0x60000000, 1, 0x01800002 }, nullptr), 0);
    const QVector<quint32> trigger { 0x50000008, 6, 0x901, 0, 0, 20, 1250, 1250 };
    QCOMPARE(m_port.transfer(trigger + QVector<quint32> { 0x50000004, 1, 0x100 }, nullptr), 0);

    const QList<PowerBoard::LogEntry> log = m_board->log();
    QVERIFY2(log.size() == 3, qPrintable(m_board->errorString()));
    QCOMPARE(log.at(0).address, 0x60000000u);
    QCOMPARE(log.at(0).words, QVector<quint32>({ 0x01800002 }));
    QCOMPARE(log.at(1).address, 0x50000008u);
    QCOMPARE(log.at(1).words, trigger.mid(2));
    QCOMPARE(log.at(2).words, QVector<quint32>({ 0x100 }));
    // Units of one message share its number; the next message has another.
    QCOMPARE(log.at(1).message, log.at(2).message);
    QVERIFY(log.at(0).message < log.at(1).message);
    QVERIFY(log.at(0).timeUs <= log.at(1).timeUs);
    QCOMPARE(m_board->command("peek 60000000"), QStringLiteral("OK 01800002"));
}

void tst_PowerBoardLink::identificationEcho_data()
{
    QTest::addColumn<bool>("corrupt");
    QTest::newRow("correct echo") << false;
    QTest::newRow("corrupted echo") << true;
}

void tst_PowerBoardLink::identificationEcho()
{
    QFETCH(bool, corrupt);
    QCOMPARE(m_board->command("model 4102"), QStringLiteral("OK"));
    QCOMPARE(m_board->command("units 4101"), QStringLiteral("OK"));
    QCOMPARE(m_board->command("firmware 3.1.4"), QStringLiteral("OK"));
    QCOMPARE(m_board->command(corrupt ? "corruptid on" : "corruptid off"), QStringLiteral("OK"));

    const QVector<quint32> rx = read(0xF0000500, 6);
    QCOMPARE(rx.size(), 8);
    QCOMPARE(rx.at(0) == 0xF0000500u && rx.at(1) == 6u, !corrupt);
    QCOMPARE(rx.at(3) >> 16, 4102u);
    QCOMPARE(rx.at(6), (3u << 16) | (1u << 8) | 4u);
    // The unit block keeps its echo either way.
    const QVector<quint32> units = read(0xF0000600, 30);
    QCOMPARE(units.mid(0, 2), QVector<quint32>({ 0xF0000600, 30 }));
    QCOMPARE(units.at(3) >> 16, 4101u);
    QCOMPARE(units.at(5), 0u);
}

void tst_PowerBoardLink::monitorFollowsTheSource_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("loadOn");
    QTest::addColumn<double>("volts");
    QTest::addColumn<double>("amps");
    // CC at 2 A (2,000,000 µA).
    QTest::newRow("load off shows Voc") << "source 24 0.5" << false << 24.0 << 0.0;
    QTest::newRow("2 A through 0.5 ohm") << "source 24 0.5" << true << 23.0 << 2.0;
    QTest::newRow("ideal source") << "source 5 0" << true << 5.0 << 2.0;
}

void tst_PowerBoardLink::monitorFollowsTheSource()
{
    QFETCH(QString, source);
    QFETCH(bool, loadOn);
    QFETCH(double, volts);
    QFETCH(double, amps);
    QVERIFY(m_board->command(source).startsWith("OK"));
    writeSteadyProgram(loadOn ? 0x10010 : 0x10, 2000000);

    const QVector<quint32> rx = read(0x80C00000, 16);
    QCOMPARE(rx.size(), 18);
    const int samples = int(rx.at(17));
    QVERIFY(samples > 0);
    QCOMPARE(sumOverSamples(rx, 2, samples), volts);
    QCOMPARE(sumOverSamples(rx, 4, samples), amps);
    QCOMPARE(rx.at(16) & 0x7, 0x7u); // energy valid
    const QVector<quint32> status = read(0xE0000000, 4);
    QCOMPARE(bool(status.at(2) & 0x200000), loadOn);
    QCOMPARE(status.at(4), 0x400080u); // step 1 runs
}

void tst_PowerBoardLink::failedExchangeDropsTheConnection()
{
    QCOMPARE(m_board->command("fail 1"), QStringLiteral("OK"));
    QVector<quint32> rx { 42 };
    QVERIFY(m_port.transfer({ 0xE0000000, 4, 0, 0, 0, 0 }, &rx) < 0);
    QCOMPARE(rx, QVector<quint32>({ 42 }));
    // The port connects again by itself and the board answers.
    QCOMPARE(read(0xE0000000, 4).value(0), 0xE0000000u);
}

void tst_PowerBoardLink::traceRecordsAfterInitiate()
{
    QCOMPARE(m_board->command("counttime 0.1"), QStringLiteral("OK 0.1"));
    // 3 records, 1000 counts of 0.1 µs apart; immediate trigger.
    QCOMPARE(m_port.transfer({ 0x50000008, 6, 0x101, 0, 0, 3, 1000, 100 }, nullptr), 0);
    QCOMPARE(m_port.transfer({ 0x50000004, 1, 0x100 }, nullptr), 0);
    QTRY_COMPARE_WITH_TIMEOUT(read(0xE0000000, 4).value(3) & 0xFFFFFF, 3u, 5000);
    const QVector<quint32> records = read(0x80800000 + 64, 32);
    QCOMPARE(records.size(), 34);
    QCOMPARE(records.at(2 + 15), 100u); // samples of record 1 = the sense aperture
    QCOMPARE(records.at(2 + 16 + 15), 100u);
    QCOMPARE(m_board->command("trace inject 5"), QStringLiteral("OK 8"));
}

void tst_PowerBoardLink::clientsAtOnce()
{
    // The panel program and the maintenance tool may both hold the register link; the flash
    // device answers as many (zero) words as it was sent.
    SpiPort second;
    SpiPort flash;
    QCOMPARE(second.open(QStringLiteral("/dev/spidev1.0")), 0);
    QCOMPARE(flash.open(QStringLiteral("/dev/spidev1.1")), 0);
    QVector<quint32> rx;
    QCOMPARE(second.transfer({ 0xF0000500, 6, 0, 0, 0, 0, 0, 0 }, &rx), 0);
    QCOMPARE(rx.mid(0, 2), QVector<quint32>({ 0xF0000500, 6 }));
    QCOMPARE(read(0xE0000000, 4).value(0), 0xE0000000u);
    QCOMPARE(flash.transfer({ 0x9F, 1, 2 }, &rx), 0);
    QCOMPARE(rx, QVector<quint32>(3, 0));
}

void tst_PowerBoardLink::stopRemovesTheSockets()
{
    const QString root = m_board->root();
    QVERIFY2(m_board->stop(), qPrintable(m_board->errorString()));
    QVERIFY(!QFileInfo::exists(root + "/dev/spidev1.0"));
    QVERIFY(!QFileInfo::exists(root + "/run/powerboard.ctl"));
    QVERIFY(m_board->command("ping").startsWith("ERR"));
    QVERIFY(m_port.transfer({ 0xE0000000, 4, 0, 0, 0, 0 }, nullptr) < 0);
}

void tst_PowerBoardLink::crashSurfacesAsError()
{
    PowerBoard other;
    QVERIFY2(other.start(), qPrintable(other.errorString()));
    QCOMPARE(other.command("ping"), QStringLiteral("OK"));
    // SIGKILL: a sanitizer build would turn a SIGSEGV into an orderly exit.
    ::kill(pid_t(other.pid()), SIGKILL);
    QTRY_VERIFY_WITH_TIMEOUT(!other.isRunning(), 5000);
    const QString reply = other.command("ping");
    QVERIFY2(reply.startsWith("ERR") && reply.contains("crashed"), qPrintable(reply));
    QVERIFY(!other.stop());
    QVERIFY(!other.errorString().isEmpty());
    platform::BoardPath::setRoot(m_board->root());
}

QTEST_GUILESS_MAIN(tst_PowerBoardLink)
#include "tst_PowerBoardLink.moc"
