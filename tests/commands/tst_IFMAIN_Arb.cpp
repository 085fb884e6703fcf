#include "commands/AnswerList.h"
#include "commands/IFMAIN_Arb.h"
#include "engine/ArbitraryModel.h"

#include <QtEndian>
#include <QtTest>

using vek::ARBITRARY_DATA;

// The arbitrary table's block form (8 bytes a point, µV then µA, int32 little-endian) and the
// name lists that answers cut at their limit.
class tst_IFMAIN_Arb : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pointsToBlock_data();
    void pointsToBlock();
    void blockToPoints();
    void namesCutAtTheLimit_data();
    void namesCutAtTheLimit();
};

void tst_IFMAIN_Arb::pointsToBlock_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint32>("micro");

    QTest::newRow("volts") << 1.5 << qint32(1500000);
    QTest::newRow("half away from zero, negative") << -0.0000005 << qint32(-1);
    QTest::newRow("half away from zero, positive") << 0.0000005 << qint32(1);
    QTest::newRow("below half") << 0.0000004 << qint32(0);
    QTest::newRow("saturates") << 1e9 << std::numeric_limits<qint32>::max();
    QTest::newRow("not a number") << qQNaN() << std::numeric_limits<qint32>::min();
}

void tst_IFMAIN_Arb::pointsToBlock()
{
    QFETCH(double, value);
    QFETCH(qint32, micro);
    ARBITRARY_DATA point;
    point.voltage = value;
    point.current = -value;
    const QByteArray block = IFMAIN_ArbData::encode({ ARBITRARY_DATA(), point });
    QCOMPARE(block.size(), 16);
    const auto *bytes = reinterpret_cast<const uchar *>(block.constData());
    QCOMPARE(qFromLittleEndian<qint32>(bytes), qint32(0));
    QCOMPARE(qFromLittleEndian<qint32>(bytes + 8), micro);
    if (!qIsNaN(value) && value < 1e6)
        QCOMPARE(qFromLittleEndian<qint32>(bytes + 12), -micro);
}

void tst_IFMAIN_Arb::blockToPoints()
{
    QByteArray block(8 * 2 + 5, '\0'); // two points and a cut-off third
    auto *bytes = reinterpret_cast<uchar *>(block.data());
    qToLittleEndian<qint32>(2500000, bytes + 8);
    qToLittleEndian<qint32>(-1, bytes + 12);
    const QList<ARBITRARY_DATA> points = IFMAIN_ArbData::decode(block);
    QCOMPARE(points.size(), 2);
    QCOMPARE(points[1].voltage, 2.5);
    QCOMPARE(points[1].current, -1e-6);
    QCOMPARE(IFMAIN_ArbData::encode(points), block.left(16));
}

void tst_IFMAIN_Arb::namesCutAtTheLimit_data()
{
    QTest::addColumn<QList<QByteArray>>("names");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QByteArray>("text");

    const QList<QByteArray> three { "Alpha", "Beta", "Gamma" };
    QTest::newRow("none") << QList<QByteArray>() << 10 << QByteArray();
    QTest::newRow("all fit exactly") << three << 16 << QByteArray("Alpha,Beta,Gamma");
    QTest::newRow("last left out") << three << 15 << QByteArray("Alpha,Beta");
    QTest::newRow("first too long") << three << 4 << QByteArray();
    QTest::newRow("no name after one that does not fit")
        << QList<QByteArray> { "A", "Longer", "B" } << 5 << QByteArray("A");
}

void tst_IFMAIN_Arb::namesCutAtTheLimit()
{
    QFETCH(QList<QByteArray>, names);
    QFETCH(int, limit);
    QFETCH(QByteArray, text);
    QCOMPARE(joinWithinLimit(names, limit), text);
}

QTEST_GUILESS_MAIN(tst_IFMAIN_Arb)
#include "tst_IFMAIN_Arb.moc"
