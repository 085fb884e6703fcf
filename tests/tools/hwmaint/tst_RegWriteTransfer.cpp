#include "tools/hwmaint/RegWordWriteTransfer.h"

#include <QtTest>

#include <vector>

using ioc::RegWordWriteTransfer;
using ioc::RegWriteTransfer;

class tst_RegWriteTransfer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void checkValues();
    void bootFrames_data();
    void bootFrames();
    void descriptorPointsAtTheFrame();
};

void tst_RegWriteTransfer::checkValues()
{
    QCOMPARE(RegWriteTransfer::checksum(reinterpret_cast<const unsigned char *>("123456789"), 9),
        quint16(0x29B1));
    QCOMPARE(RegWriteTransfer::qChecksumMT(nullptr, 0), quint16(0xFFFF));
    // Whole words only, most significant byte first, whatever the host's byte order.
    const unsigned int words[] = { 0x31323334, 0x35363738, 0x39 };
    QCOMPARE(RegWriteTransfer::qChecksumMT(words, 8),
        RegWriteTransfer::checksum(reinterpret_cast<const unsigned char *>("12345678"), 8));
    QCOMPARE(RegWriteTransfer::qChecksumMT(words, 11), RegWriteTransfer::qChecksumMT(words, 8));
}

void tst_RegWriteTransfer::bootFrames_data()
{
    QTest::addColumn<unsigned int>("value");
    QTest::addColumn<unsigned int>("crc");
    QTest::newRow("ISP first") << 0u << 0xA05Bu;
    QTest::newRow("ISP second") << 2u << 0x8019u;
    QTest::newRow("flash first") << 4u << 0xE0DFu;
    QTest::newRow("flash second") << 6u << 0xC09Du;
}

void tst_RegWriteTransfer::bootFrames()
{
    QFETCH(unsigned int, value);
    QFETCH(unsigned int, crc);
    RegWordWriteTransfer<unsigned int, 1> t(0x80006100);
    t.append(value);
    const std::vector<quint32> frame(t.frame().begin(), t.frame().end());
    QCOMPARE(frame, std::vector<quint32>({ 0x80006100, 1, value, crc }));
}

void tst_RegWriteTransfer::descriptorPointsAtTheFrame()
{
    RegWordWriteTransfer<int, 2> t(0x80000010);
    t.append(-1);
    t.append(5);
    t.append(9); // past N: ignored
    const spi_ioc_transfer &d = t.descriptor();
    QCOMPARE(d.len, 20u);
    QCOMPARE(d.speed_hz, 12000000u);
    QCOMPARE(int(d.bits_per_word), 32);
    QCOMPARE(d.rx_buf, 0ull);
    QCOMPARE(int(d.cs_change), 0);
    QCOMPARE(d.tx_buf, quint64(quintptr(t.frame().data())));
    QCOMPARE(t.values(), QVector<int>({ -1, 5 }));
    const unsigned int head[] = { 0x80000010, 2, 0xFFFFFFFF, 5 };
    QCOMPARE(t.frame()[4], quint32(RegWriteTransfer::qChecksumMT(head, 16)));
    QCOMPARE(t.frame()[2], 0xFFFFFFFFu);
}

QTEST_GUILESS_MAIN(tst_RegWriteTransfer)
#include "tst_RegWriteTransfer.moc"
