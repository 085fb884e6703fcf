#include "sim/ConfigFlash.h"
#include "sim/FlashControl.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using sim::ConfigFlash;

namespace {
QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// A header of opcode and address, then n more bytes of value fill.
QByteArray command(int opcode, quint32 address, int n = 0, char fill = 0)
{
    return bytes(
               { opcode, int(address >> 16) & 0xFF, int(address >> 8) & 0xFF, int(address) & 0xFF })
        + QByteArray(n, fill);
}

quint8 status(ConfigFlash &flash)
{
    return quint8(flash.exchange(bytes({ 0x05, 0 })).at(1));
}

// Runs a write command after WREN and waits the busy readings out.
void write(ConfigFlash &flash, const QByteArray &message)
{
    flash.exchange(bytes({ 0x06 }));
    flash.exchange(message);
    while (status(flash) & 1) { }
}
} // namespace

// The simulated configuration flash, driven byte by byte as the SPI socket hands it messages.
class tst_ConfigFlash : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void identification_data();
    void identification();
    void programAndsAndWrapsInsideItsPage();
    void writesNeedTheLatch();
    void eraseRestoresOnes();
    void busyReadingsAreCounted();
    void stuckAndProtectedAndBitErrors();
    void unreachableWhileTheAccessLineIsOff();
    void controlCommands();
};

void tst_ConfigFlash::identification_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("RDID") << bytes({ 0x9F, 0, 0, 0 }) << bytes({ 0, 0xC2, 0x20, 0x15 });
    QTest::newRow("RES") << bytes({ 0xAB, 0, 0, 0, 0 }) << bytes({ 0, 0, 0, 0, 0x14 });
    QTest::newRow("REMS manufacturer first")
        << bytes({ 0x90, 0, 0, 0, 0, 0 }) << bytes({ 0, 0, 0, 0, 0xC2, 0x14 });
    QTest::newRow("REMS device first")
        << bytes({ 0x90, 0, 0, 1, 0, 0 }) << bytes({ 0, 0, 0, 0, 0x14, 0xC2 });
    QTest::newRow("RDSR ready") << bytes({ 0x05, 0 }) << bytes({ 0, 0 });
}

void tst_ConfigFlash::identification()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, reply);
    ConfigFlash flash;
    QCOMPARE(flash.exchange(message).toHex(' '), reply.toHex(' '));
    QCOMPARE(flash.size(), 2 * 1024 * 1024);
}

void tst_ConfigFlash::programAndsAndWrapsInsideItsPage()
{
    ConfigFlash flash;
    write(flash, command(0x02, 0x1F0, 0) + bytes({ 0x0F, 0xF0 }));
    write(flash, command(0x02, 0x1F0, 0) + bytes({ 0x3C, 0x3C }));
    QCOMPARE(flash.image().mid(0x1F0, 2).toHex(), QByteArray("0c30"));

    // 20 bytes from 0x1F8: 8 to the page's end, the other 12 at its start (0x100).
    QByteArray data;
    for (int i = 0; i < 20; ++i)
        data.append(char(i));
    write(flash, command(0x02, 0x1F8) + data);
    QCOMPARE(flash.image().mid(0x1F8, 8), data.left(8));
    QCOMPARE(flash.image().mid(0x100, 12), data.mid(8));
    QCOMPARE(quint8(flash.image().at(0x200)), quint8(0xFF));

    QCOMPARE(flash.exchange(command(0x03, 0x1F8, 8)).mid(4), data.left(8));
    QCOMPARE(flash.exchange(command(0x0B, 0x1F8, 9)).mid(5), data.left(8));
    // Past the end of the array the chip wraps to address 0.
    QCOMPARE(flash.exchange(command(0x03, 0x200100, 2)).mid(4), data.mid(8, 2));
}

void tst_ConfigFlash::writesNeedTheLatch()
{
    ConfigFlash flash;
    flash.exchange(command(0x02, 0) + bytes({ 0 }));
    QCOMPARE(quint8(flash.image().at(0)), quint8(0xFF));
    QCOMPARE(flash.programs(), 0);
    flash.exchange(bytes({ 0x06 }));
    QCOMPARE(status(flash), quint8(0x02));
    flash.exchange(bytes({ 0x04 }));
    QCOMPARE(status(flash), quint8(0x00));
}

void tst_ConfigFlash::eraseRestoresOnes()
{
    ConfigFlash flash;
    flash.fill(0);
    write(flash, command(0xD8, 0x12345));
    QCOMPARE(flash.image().indexOf(char(0xFF)), 0x10000);
    QCOMPARE(flash.image().lastIndexOf(char(0xFF)), 0x1FFFF);
    write(flash, command(0x20, 0x3456));
    QCOMPARE(flash.image().indexOf(char(0xFF)), 0x3000);
    write(flash, bytes({ 0xC7 }));
    QCOMPARE(flash.image().count(char(0xFF)), flash.size());
    QCOMPARE(flash.erases(), 3);
}

void tst_ConfigFlash::busyReadingsAreCounted()
{
    ConfigFlash flash;
    flash.setBusyReadings(3);
    flash.exchange(bytes({ 0x06 }));
    flash.exchange(bytes({ 0xC7 }));
    // While busy only RDSR is answered: this WREN is lost.
    flash.exchange(bytes({ 0x06 }));
    QCOMPARE(status(flash), quint8(0x01));
    QCOMPARE(status(flash), quint8(0x01));
    QCOMPARE(status(flash), quint8(0x01));
    QCOMPARE(status(flash), quint8(0x00));
}

void tst_ConfigFlash::stuckAndProtectedAndBitErrors()
{
    ConfigFlash flash;
    flash.setBitError(0x10, 0x81);
    write(flash, command(0x02, 0x10) + bytes({ 0x00, 0x00 }));
    QCOMPARE(flash.image().mid(0x10, 2).toHex(), QByteArray("8100"));

    flash.setProtected(true);
    write(flash, command(0x02, 0x20) + bytes({ 0x00 }));
    write(flash, bytes({ 0xC7 }));
    QCOMPARE(quint8(flash.image().at(0x20)), quint8(0xFF));
    QCOMPARE(quint8(flash.image().at(0x11)), quint8(0x00));
    QCOMPARE(status(flash) & 0x3C, 0x3C);
    flash.setProtected(false);

    flash.setStuck(ConfigFlash::Stuck::AfterWrite);
    QCOMPARE(status(flash), quint8(0));
    flash.exchange(bytes({ 0x06 }));
    flash.exchange(command(0x02, 0x30) + bytes({ 0x00 }));
    for (int i = 0; i < 1000; ++i)
        QCOMPARE(status(flash) & 1, 1);
    flash.setStuck(ConfigFlash::Stuck::Off);
    QCOMPARE(status(flash), quint8(0));
}

void tst_ConfigFlash::unreachableWhileTheAccessLineIsOff()
{
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath("sys/class/gpio/gpio114"));
    QFile value(root.path() + "/sys/class/gpio/gpio114/value");
    QVERIFY(value.open(QIODevice::WriteOnly));
    value.write("0\n");
    value.close();
    ConfigFlash flash(root.path());
    QCOMPARE(flash.exchange(bytes({ 0x9F, 0, 0, 0 })), QByteArray(4, '\0'));
    QVERIFY(value.open(QIODevice::WriteOnly | QIODevice::Truncate));
    value.write("1\n");
    value.close();
    QCOMPARE(flash.exchange(bytes({ 0x9F, 0, 0, 0 })).toHex(), QByteArray("00c22015"));
}

void tst_ConfigFlash::controlCommands()
{
    ConfigFlash flash;
    QTemporaryDir dir;
    const auto run = [&flash](const QString &line) {
        return sim::FlashControl::handle(flash, line.split(' ', Qt::SkipEmptyParts).mid(1))
            .join('|');
    };
    QCOMPARE(run("flash"), QString("OK c22015 2097152 00 0 0 1"));
    QCOMPARE(run("flash id c22014"), QString("OK"));
    QCOMPARE(flash.size(), 1024 * 1024);
    QVERIFY(run("flash id c22030").startsWith("ERR usage: flash id"));
    QCOMPARE(run("flash fill 5a"), QString("OK"));
    QCOMPARE(run("flash image " + dir.path() + "/img"), QString("OK 1048576"));
    QFile img(dir.path() + "/img");
    QVERIFY(img.open(QIODevice::ReadOnly));
    QCOMPARE(img.readAll(), QByteArray(1024 * 1024, 0x5A));
    QCOMPARE(run("flash stuck now"), QString("OK"));
    QCOMPARE(status(flash), quint8(1));
    QVERIFY(run("flash stuck maybe").startsWith("ERR usage: flash stuck"));
    QVERIFY(run("flash biterror 100000 1").startsWith("ERR")); // beyond the 1 MiB flash
    QVERIFY(run("flash frobnicate").startsWith("ERR usage: flash ["));
}

QTEST_GUILESS_MAIN(tst_ConfigFlash)
#include "tst_ConfigFlash.moc"
