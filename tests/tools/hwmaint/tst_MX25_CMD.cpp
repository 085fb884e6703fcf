#include "platform/BoardPath.h"
#include "tests/support/PowerBoard.h"
#include "tools/hwmaint/Console.h"
#include "tools/hwmaint/MX25_CMD.h"
#include "tools/hwmaint/PanelControl.h"

#include <QTextStream>
#include <QtTest>

#include <cerrno>

using namespace MX25_CMD;

// The flash command set against the simulated board's configuration flash, through the SPI
// port's socket; the board's own counters and image tell what reached the chip.
class tst_MX25_CMD : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void identification();
    void programReadErase();
    void refusalsSendNothing_data();
    void refusalsSendNothing();
    void readLimits();
    void stuckAfterTheProgram();
    void busyBeforeTheCommand();
    void chipErase();
    void missingDevice();

private:
    QByteArray image();
    // Programs and erases the chip has taken so far.
    QString counters();

    PowerBoard *m_board = nullptr;
    QString m_outText;
    QString m_errText;
    QTextStream *m_out = nullptr;
    QTextStream *m_err = nullptr;
};

void tst_MX25_CMD::init()
{
    m_board = new PowerBoard;
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    PanelControl::initialize();
    QCOMPARE(PanelControl::spiFlashEnable(true), 0);
    m_outText.clear();
    m_errText.clear();
    m_out = new QTextStream(&m_outText);
    m_err = new QTextStream(&m_errText);
    Console::redirect(m_out, m_err);
}

void tst_MX25_CMD::cleanup()
{
    Console::redirect(nullptr, nullptr);
    delete m_out;
    delete m_err;
    const bool clean = m_board->stop();
    const QString error = m_board->errorString();
    delete m_board;
    m_board = nullptr;
    QVERIFY2(clean, qPrintable(error));
}

QByteArray tst_MX25_CMD::image()
{
    const QString path = m_board->root() + "/flash.img";
    if (!m_board->command("flash image " + path).startsWith("OK"))
        return {};
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString tst_MX25_CMD::counters()
{
    const QStringList fields = m_board->command("flash").split(' ');
    return fields.size() == 7 ? fields.at(4) + ' ' + fields.at(5) : QString();
}

void tst_MX25_CMD::identification()
{
    unsigned int id = 0;
    QCOMPARE(cmdReadIdentification(&id), int(Done));
    QCOMPARE(id, 0xC22015u);
    unsigned char signature = 0;
    QCOMPARE(cmdReadElectricIdentification(&signature), int(Done));
    QCOMPARE(signature, (unsigned char)0x14);
    unsigned short rems = 0;
    sFlashStatus order;
    QCOMPARE(cmdREMS(&rems, &order), int(Done));
    QCOMPARE(rems, (unsigned short)0xC214);
    order.second = 1;
    QCOMPARE(cmdREMS(&rems, &order), int(Done));
    QCOMPARE(rems, (unsigned short)0x14C2);
    QCOMPARE(getAddresByte(), 3);
}

void tst_MX25_CMD::programReadErase()
{
    QCOMPARE(cmdPP(0x1FFF00, QByteArray::fromHex("0102ff")), int(Done));
    QByteArray data;
    QCOMPARE(cmdRead(0x1FFF00, &data, 4), int(Done));
    QCOMPARE(data.toHex(), QByteArray("0102ffff"));
    QVector<unsigned char> fast;
    QCOMPARE(cmdFASTREAD(0x1FFF01, &fast, 2), int(Done));
    QCOMPARE(fast, QVector<unsigned char>({ 0x02, 0xFF }));
    QCOMPARE(cmdDREAD(0x1FFF00, &fast, 1), int(Done));
    QCOMPARE(fast, QVector<unsigned char>({ 0x01 }));
    // The last whole page of the flash.
    QCOMPARE(cmdPP(0x1FFF00, QByteArray(256, 0x11)), int(Done));
    QCOMPARE(cmdBE(0x1F0000), int(Done));
    QCOMPARE(image().right(0x10000), QByteArray(0x10000, char(0xFF)));
    QCOMPARE(counters(), QString("2 1"));
    QCOMPARE(m_errText, QString());
    QCOMPARE(m_outText, QString("...")); // one dot at each write's first busy reading
}

void tst_MX25_CMD::refusalsSendNothing_data()
{
    QTest::addColumn<unsigned int>("address");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("message");
    QTest::newRow("no data") << 0u << 0 << int(Done) << QString();
    QTest::newRow("257 bytes") << 0u << 257 << int(LengthInvalid)
                               << QString("Flash Length Invalid.(page program)\n");
    QTest::newRow("0x200001") << 0x200001u << 16 << int(AddressInvalid)
                              << QString("Flash Address Invalid.(page program)\n");
    // Would wrap to address 0 on a 2 MiB chip.
    QTest::newRow("0x200000") << 0x200000u << 1 << int(AddressInvalid)
                              << QString("Flash Address Invalid.(page program)\n");
    QTest::newRow("across the end") << 0x1FFFF8u << 16 << int(AddressInvalid)
                                    << QString("Flash Address Invalid.(page program)\n");
    // Would wrap inside the page.
    QTest::newRow("across a page")
        << 0x1F8u << 16 << int(LengthInvalid) << QString("Flash Length Invalid.(page program)\n");
}

void tst_MX25_CMD::refusalsSendNothing()
{
    QFETCH(unsigned int, address);
    QFETCH(int, length);
    QFETCH(int, result);
    QFETCH(QString, message);
    QCOMPARE(cmdPP(address, QByteArray(length, 0)), result);
    QCOMPARE(m_errText, message);
    QCOMPARE(counters(), QString("0 0"));
    QCOMPARE(m_board->command("flash").section(' ', 3, 3), QString("00")); // no WREN either
}

void tst_MX25_CMD::readLimits()
{
    QByteArray data;
    QCOMPARE(cmdRead(0, &data, 1024), int(Done));
    QCOMPARE(data, QByteArray(1024, char(0xFF)));
    QCOMPARE(cmdRead(0, &data, 1025), int(LengthInvalid));
    QCOMPARE(cmdRead(0x200001, &data, 1), int(AddressInvalid));
    QCOMPARE(cmdRead(0x1FFFFF, &data, 2), int(AddressInvalid));
    QCOMPARE(data.size(), 1024);
    QCOMPARE(cmdBE(0x200000), int(AddressInvalid));
}

void tst_MX25_CMD::stuckAfterTheProgram()
{
    QCOMPARE(m_board->command("flash stuck write"), QString("OK"));
    QCOMPARE(cmdPP(0x100, QByteArray(16, 0)), int(TimeOut));
    // Readings 0 and 2000 of the 2606 print a dot each.
    QCOMPARE(m_outText, QString("..\n"));
    QCOMPARE(m_errText, QString("Flash Time Out. (page program)\n"));
}

void tst_MX25_CMD::busyBeforeTheCommand()
{
    QCOMPARE(m_board->command("flash stuck now"), QString("OK"));
    QCOMPARE(cmdPP(0x100, QByteArray(16, 0)), int(Busy));
    QCOMPARE(cmdBE(0), int(Busy));
    QCOMPARE(cmdWRSR(0), int(Busy));
    QCOMPARE(cmdChipErase(), int(Busy));
    QCOMPARE(m_errText, QString("Flash Is Busy. (page program)\nFlash Is Busy.(Chip Erase)\n"));
    QCOMPARE(m_outText, QString());
    QCOMPARE(m_board->command("flash").section(' ', 3, 3), QString("01")); // WEL never set
    QCOMPARE(IsFlashBusy(), 1);
}

void tst_MX25_CMD::chipErase()
{
    QCOMPARE(m_board->command("flash fill 0"), QString("OK"));
    QCOMPARE(m_board->command("flash busy 4001"), QString("OK"));
    QCOMPARE(cmdChipErase(), int(Done));
    QCOMPARE(m_outText, QString("executing erase...complete!\n"));
    QCOMPARE(image(), QByteArray(2 * 1024 * 1024, char(0xFF)));
    // Status register writes take the protection bits.
    QCOMPARE(m_board->command("flash busy 1"), QString("OK"));
    QCOMPARE(cmdWRSR(0x3C), int(Done));
    unsigned char status = 0;
    QCOMPARE(cmdRDSR(&status), int(Done));
    QCOMPARE(status, (unsigned char)0x3C);
}

void tst_MX25_CMD::missingDevice()
{
    QVERIFY(QFile::remove(m_board->root() + "/dev/spidev1.1"));
    unsigned int id = 0x123;
    QCOMPARE(cmdReadIdentification(&id), int(DeviceError));
    QCOMPARE(id, 0x123u);
    QCOMPARE(lastError(), -ENOENT);
    QCOMPARE(cmdPP(0, QByteArray(1, 0)), int(DeviceError));
    QCOMPARE(cmdChipErase(), int(DeviceError));
    QCOMPARE(m_outText, QString());
}

QTEST_GUILESS_MAIN(tst_MX25_CMD)
#include "tst_MX25_CMD.moc"
