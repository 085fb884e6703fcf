#include "tools/hwmaint/McsReader.h"

#include <QtTest>

using Kind = McsReader::Kind;

Q_DECLARE_METATYPE(McsReader::Kind)

// Decoding of MCS-86 records, line by line and as whole files checked before any flash work.
class tst_McsReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decode_data();
    void decode();
    void upperAddressCarriesOver();
    void lsbFirstReversesEveryByte();
    void badFiles_data();
    void badFiles();
    void goodFile();
};

void tst_McsReader::decode_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<quint32>("address");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("error");

    QTest::newRow("data") << QByteArray(":0401000001020304F1") << Kind::Data << 0x100u
                          << QByteArray::fromHex("01020304") << QString();
    QTest::newRow("lowercase, CR LF, blanks")
        << QByteArray("  :0401000001020304f1\r") << Kind::Data << 0x100u
        << QByteArray::fromHex("01020304") << QString();
    QTest::newRow("bad checksum") << QByteArray(":0401000001020304F2") << Kind::Error << 0u
                                  << QByteArray() << QString("Checksum error");
    QTest::newRow("end of file") << QByteArray(":00000001FF") << Kind::EndOfFile << 0u
                                 << QByteArray() << QString();
    QTest::newRow("type 1 with a count") << QByteArray(":01000001FFFF") << Kind::Error << 0u
                                         << QByteArray() << QString("Invalid Record type");
    QTest::newRow("type 3") << QByteArray(":0400000300003800C1") << Kind::Error << 0u
                            << QByteArray() << QString("Invalid Record type");
    QTest::newRow("type 4 with an address") << QByteArray(":020010040001E9") << Kind::Error << 0u
                                            << QByteArray() << QString("Invalid Record type");
    QTest::newRow("type 4 of one byte") << QByteArray(":0100000401FA") << Kind::Error << 0u
                                        << QByteArray() << QString("Invalid Record type");
    QTest::newRow("segment 0") << QByteArray(":020000020000FC") << Kind::SegmentAddress << 0u
                               << QByteArray() << QString();
    QTest::newRow("segment 1000") << QByteArray(":020000021000EC") << Kind::Error << 0u
                                  << QByteArray()
                                  << QString("Extended Segment Address not supported");
    QTest::newRow("count beyond the line") << QByteArray(":0501000001020304F0") << Kind::Error << 0u
                                           << QByteArray() << QString("Invalid Record length");
    QTest::newRow("odd length") << QByteArray(":0401000001020304F") << Kind::Error << 0u
                                << QByteArray() << QString("Invalid Record length");
    QTest::newRow("too short") << QByteArray(":00") << Kind::Error << 0u << QByteArray()
                               << QString("Invalid Record length");
    QTest::newRow("not hexadecimal") << QByteArray(":04010000010203G4F1") << Kind::Error << 0u
                                     << QByteArray() << QString("Invalid Record character");
    QTest::newRow("no colon") << QByteArray("0401000001020304F1") << Kind::Skip << 0u
                              << QByteArray() << QString();
    QTest::newRow("empty") << QByteArray() << Kind::Skip << 0u << QByteArray() << QString();
}

void tst_McsReader::decode()
{
    QFETCH(QByteArray, line);
    QFETCH(Kind, kind);
    QFETCH(quint32, address);
    QFETCH(QByteArray, data);
    QFETCH(QString, error);
    McsReader reader;
    const McsReader::Line got = reader.decode(line, 7);
    QCOMPARE(got.kind, kind);
    QCOMPARE(got.address, address);
    QCOMPARE(got.data.toHex(), data.toHex());
    QCOMPARE(got.error, error);
    QCOMPARE(got.number, 7);
}

void tst_McsReader::upperAddressCarriesOver()
{
    McsReader reader;
    const McsReader::Line upper = reader.decode(":020000040001F9");
    QCOMPARE(upper.kind, Kind::LinearAddress);
    QCOMPARE(upper.address, 0x10000u);
    QVERIFY(!upper.blockZeroRecord);
    QCOMPARE(reader.decode(":01001000559A").address, 0x10010u);
    QCOMPARE(reader.decode(":00000001FF").kind, Kind::EndOfFile);
    QCOMPARE(reader.decode(":01001000559A").address, 0x10u);
    QVERIFY(reader.decode(McsReader::BlockZeroRecord).blockZeroRecord);
    QVERIFY(!reader.decode(":020000040000fa").blockZeroRecord);
}

void tst_McsReader::lsbFirstReversesEveryByte()
{
    McsReader reader(true);
    QCOMPARE(reader.decode(":0400000001F0803C4F").data.toHex(), QByteArray("800f013c"));
    QCOMPARE(McsReader::reverseBits(0x01), quint8(0x80));
    QCOMPARE(McsReader::reverseBits(0xF0), quint8(0x0F));
}

void tst_McsReader::badFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("error");
    const QByteArray head = ":020000040000FA\n:0401000001020304F1\n";
    QTest::newRow("no end record") << head << 0 << QString("Missing End of File Record");
    QTest::newRow("checksum in line 2")
        << QByteArray(":020000040000FA\n:0401000001020304F2\n:00000001FF\n") << 2
        << QString("Checksum error");
    QTest::newRow("overlap") << head + ":0201020055AAFC\n:00000001FF\n"
                             << 3 << QString("Overlapping records");
    QTest::newRow("overlap across an upper address")
        << head + ":020000040001F9\n:00000001FF\n:0101030011EA\n"
        << 5 << QString("Overlapping records");
    QTest::newRow("type 5 before the end") << head + ":04000005000000C037\n:00000001FF\n"
                                           << 3 << QString("Invalid Record type");
}

void tst_McsReader::badFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(int, line);
    QFETCH(QString, error);
    McsReader reader;
    QVector<McsReader::Line> lines;
    McsReader::Line bad;
    QVERIFY(!reader.read(file, &lines, &bad));
    QCOMPARE(bad.error, error);
    QCOMPARE(bad.number, line);
}

void tst_McsReader::goodFile()
{
    McsReader reader;
    QVector<McsReader::Line> lines;
    McsReader::Line bad;
    const QByteArray file = ":020000040001F9\r\n:0400100001020304E2\r\n\r\n:00000001FF\r\n"
                            ":0401000001020304F1\r\n";
    QVERIFY2(reader.read(file, &lines, &bad), qPrintable(bad.error));
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(1).address, 0x10010u);
    QCOMPARE(lines.at(1).number, 2);
    // After the end record the upper address is 0 again.
    QCOMPARE(lines.at(3).address, 0x100u);
}

QTEST_GUILESS_MAIN(tst_McsReader)
#include "tst_McsReader.moc"
