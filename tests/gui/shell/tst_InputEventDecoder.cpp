#include "gui/shell/InputEventDecoder.h"
#include "sim/InputDevice.h"

#include <QtTest>

#include <linux/input.h>

using sim::InputDevice;

namespace {
QByteArray absRecord(int value, int code = ABS_X)
{
    return InputDevice::record(EV_ABS, code, value);
}

QByteArray syn()
{
    return InputDevice::record(EV_SYN, SYN_REPORT, 0);
}
} // namespace

// Input records in, position changes out: whole, split at every byte, and among other types.
class tst_InputEventDecoder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void changes_data();
    void changes();
    void splitRecords();
    void resetDropsAPartialRecord();
};

void tst_InputEventDecoder::changes_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QByteArray>("records");
    QTest::addColumn<QVector<short>>("expected");

    QTest::newRow("up by 2") << 10 << absRecord(12) + syn() << QVector<short> { 2 };
    QTest::newRow("down by 3") << 12 << absRecord(9) + syn() << QVector<short> { -3 };
    QTest::newRow("65535 to 65537")
        << 0 << absRecord(65535) + absRecord(65537) << QVector<short> { -1, 2 };
    QTest::newRow("65535 to 1") << 0 << absRecord(65535) + absRecord(1) << QVector<short> { -1, 2 };
    QTest::newRow("negative values")
        << 0 << absRecord(-5) + absRecord(-2) << QVector<short> { -5, 3 };
    QTest::newRow("no change") << 7 << absRecord(7) << QVector<short> { 0 };
    QTest::newRow("any axis") << 0 << absRecord(4, ABS_Y) + absRecord(6, ABS_WHEEL)
                              << QVector<short> { 4, 2 };
    QTest::newRow("other types") << 0
                                 << syn() + InputDevice::record(EV_KEY, KEY_UP, 1)
            + InputDevice::record(EV_REL, REL_X, 3) + InputDevice::record(EV_MSC, MSC_SCAN, 9)
                                 << QVector<short>();
    QTest::newRow("a turn of several detents") << 100 << absRecord(140) << QVector<short> { 40 };
}

void tst_InputEventDecoder::changes()
{
    QFETCH(int, start);
    QFETCH(QByteArray, records);
    QFETCH(QVector<short>, expected);
    InputEventDecoder decoder { quint16(start) };
    QCOMPARE(decoder.decode(records.constData(), records.size()), expected);
}

void tst_InputEventDecoder::splitRecords()
{
    const QByteArray records = absRecord(3) + syn() + absRecord(1) + syn() + absRecord(300);
    for (int chunk = 1; chunk <= records.size(); ++chunk) {
        InputEventDecoder decoder;
        QVector<short> changes;
        for (int at = 0; at < records.size(); at += chunk)
            changes += decoder.decode(records.constData() + at, qMin(chunk, records.size() - at));
        QCOMPARE(changes, (QVector<short> { 3, -2, 299 }));
        QCOMPARE(decoder.position(), quint16(300));
    }
}

void tst_InputEventDecoder::resetDropsAPartialRecord()
{
    InputEventDecoder decoder;
    const QByteArray first = absRecord(50);
    QVERIFY(decoder.decode(first.constData(), 10).isEmpty());
    decoder.reset(20);
    const QByteArray next = absRecord(25);
    QCOMPARE(decoder.decode(next.constData(), next.size()), QVector<short> { 5 });
}

QTEST_GUILESS_MAIN(tst_InputEventDecoder)
#include "tst_InputEventDecoder.moc"
