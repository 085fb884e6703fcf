#include "engine/ioc/IocProtocol.h"

#include <QtTest>

using namespace ioc;

class tst_IocProtocol : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void modeWord_data();
    void modeWord();
    void traceBufferLayout();
    void traceToData_data();
    void traceToData();
    void identification_data();
    void identification();
    void unitBlock_data();
    void unitBlock();
    void traceRead_data();
    void traceRead();
    void statusBlock();
};

void tst_IocProtocol::modeWord_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<quint32>("before");
    QTest::addColumn<quint32>("value");
    QTest::addColumn<quint32>("after");

    QTest::newRow("CC to CV keeps bit 24") << "function" << 0x01000001u << 4u << 0x01000004u;
    QTest::newRow("function keeps other fields") << "function" << 0x01C000F1u << 2u << 0x01C000F2u;
    QTest::newRow("ARB with response bit 20 gets bit 10")
        << "function" << 0x01100001u << 0x2000001u << 0x03100401u;
    QTest::newRow("ARB without bit 20 has no bit 10")
        << "function" << 0x01000401u << 0x2000001u << 0x03000001u;
    QTest::newRow("leaving ARB drops bits 25 and 10")
        << "function" << 0x03100401u << 1u << 0x01100001u;
    QTest::newRow("CC with soft-start bit 19 gets bit 15")
        << "function" << 0x01080004u << 1u << 0x01088001u;
    QTest::newRow("CV with soft-start bit 19 drops bit 15")
        << "function" << 0x01088001u << 4u << 0x01080004u;
    QTest::newRow("ARB with bits 19 and 20: bit 10 only")
        << "function" << 0x01188001u << 0x2000001u << 0x03180401u;
    QTest::newRow("mode value outside its fields ignored")
        << "function" << 0x01000001u << 0xFDFF7BF4u << 0x01000004u;

    QTest::newRow("soft start replaces its field")
        << "softstart" << 0x010F8001u << 0x10000u << 0x01010001u;
    QTest::newRow("soft start bit 19 adds bit 15")
        << "softstart" << 0x01000001u << 0x80000u << 0x01088001u;
    QTest::newRow("soft start bit 19 in ARB: no bit 15")
        << "softstart" << 0x03000001u << 0x80000u << 0x03080001u;
    QTest::newRow("soft start ignores other bits")
        << "softstart" << 0x01000001u << 0xFFF07FFFu << 0x01000001u;

    QTest::newRow("ARB response bit 20 in ARB gets bit 10")
        << "arb" << 0x03000001u << 0x100000u << 0x03100401u;
    QTest::newRow("ARB response bit 20 outside ARB")
        << "arb" << 0x01000001u << 0x100000u << 0x01100001u;
    QTest::newRow("ARB response replaces its field")
        << "arb" << 0x03103C01u << 0x800u << 0x03000801u;
    QTest::newRow("ARB response ignores other bits")
        << "arb" << 0x01000001u << 0xFFFFFFFFu << 0x01103C01u;
}

void tst_IocProtocol::modeWord()
{
    QFETCH(QString, op);
    QFETCH(quint32, before);
    QFETCH(quint32, value);
    QFETCH(quint32, after);

    quint32 word = 0;
    if (op == "function")
        word = combineFunctionMode(before, value);
    else if (op == "softstart")
        word = combineSoftStartTime(before, value);
    else
        word = combineArbResponseTime(before, value);
    QCOMPARE(QString::number(word, 16), QString::number(after, 16));
}

// The controller keeps 64-bit values low word first; a record built from raw words must read
// the high word as the upper half and the sample count as signed.
void tst_IocProtocol::traceBufferLayout()
{
    QVector<quint32> w(Words::TraceRecord, 0);
    w[0] = 0;
    w[1] = 1; // voltage sum 2^32
    w[2] = 0xFFFFFFFE;
    w[3] = 0xFFFFFFFF; // current sum -2
    w[6] = 1500000; // elapsed
    w[10] = w[11] = w[12] = w[13] = 0xDEADBEEF; // reserved
    w[14] = 0x800107;
    w[15] = 0xFFFFFFFF;
    const TRACE_BUFFER r = TRACE_BUFFER::fromWords(w.constData());
    QCOMPARE(r.voltageSum, Q_INT64_C(4294967296));
    QCOMPARE(r.currentSum, Q_INT64_C(-2));
    QCOMPARE(r.elapsed, Q_INT64_C(1500000));
    QCOMPARE(r.flags, 0x800107u);
    QCOMPARE(r.sampleCount, -1);

    QVector<quint32> back = r.toWords();
    w[10] = w[11] = w[12] = w[13] = 0;
    QCOMPARE(back, w);
}

namespace {

AcqFactors testFactors()
{
    AcqFactors f;
    f.current = { { 0, 2.0 }, { 1, 0.5 } };
    f.voltage = { { 0, 3.0 }, { 1, 0.25 } };
    f.capacity = { { 0, 1e-3 } };
    f.energy = { { 0, 1e-6 }, { 5, 2e-6 } };
    return f;
}

} // namespace

void tst_IocProtocol::traceToData_data()
{
    QTest::addColumn<quint32>("flags");
    QTest::addColumn<qint32>("samples");
    QTest::addColumn<qint64>("vSum");
    QTest::addColumn<qint64>("iSum");
    QTest::addColumn<double>("voltage");
    QTest::addColumn<double>("current");
    QTest::addColumn<double>("power");
    QTest::addColumn<double>("capacity");
    QTest::addColumn<double>("energy");
    QTest::addColumn<int>("voltageRange");
    QTest::addColumn<int>("currentRange");

    // Capacity 1000 counts, energy 2000 counts, elapsed 1,500,000 us in every row.
    const double OR = OverRange;
    QTest::newRow("high ranges") << 0x7u << 10 << qint64(100) << qint64(50) << 30.0 << 10.0 << 300.0
                                 << 1.0 << 0.002 << 0 << 0;
    QTest::newRow("low ranges, energy key 5") << 0x800107u << 10 << qint64(100) << qint64(50) << 2.5
                                              << 2.5 << 6.25 << 1000.0 << 0.004 << 1 << 1;
    QTest::newRow("missing factor keys convert with 1.0")
        << 0x207u << 10 << qint64(100) << qint64(50) << 30.0 << 5.0 << 150.0 << 1000.0 << 2000.0
        << 0 << 2;
    QTest::newRow("energy key takes bit 10") << 0x407u << 10 << qint64(100) << qint64(50) << 30.0
                                             << 10.0 << 300.0 << 1.0 << 2000.0 << 0 << 0;
    QTest::newRow("current code 3, voltage positive")
        << 0x307u << 10 << qint64(100) << qint64(50) << 30.0 << OR << OR << 1000.0 << 2000.0 << 0
        << 3;
    QTest::newRow("current code 3 negative, voltage positive")
        << 0x4307u << 10 << qint64(100) << qint64(50) << 30.0 << -OR << 0.0 << 1000.0 << 2000.0 << 0
        << 3;
    QTest::newRow("current bit 6 negative, voltage negative")
        << 0x4047u << 10 << qint64(-100) << qint64(50) << -30.0 << -OR << OR << 1.0 << 0.002 << 0
        << 0;
    QTest::newRow("current over positive, voltage negative")
        << 0x47u << 10 << qint64(-100) << qint64(50) << -30.0 << OR << 0.0 << 1.0 << 0.002 << 0
        << 0;
    QTest::newRow("voltage over negative, current positive")
        << 0x1017u << 10 << qint64(100) << qint64(50) << -OR << 10.0 << 0.0 << 1.0 << 0.002 << 0
        << 0;
    QTest::newRow("both over positive")
        << 0x57u << 10 << qint64(100) << qint64(50) << OR << OR << OR << 1.0 << 0.002 << 0 << 0;
    QTest::newRow("negative product gives zero power")
        << 0x7u << 10 << qint64(100) << qint64(-50) << 30.0 << -10.0 << 0.0 << 1.0 << 0.002 << 0
        << 0;
    QTest::newRow("zero current gives zero power")
        << 0x7u << 10 << qint64(100) << qint64(0) << 30.0 << 0.0 << 0.0 << 1.0 << 0.002 << 0 << 0;
    QTest::newRow("energy over-range whatever its words")
        << 0x0u << 10 << qint64(100) << qint64(50) << 30.0 << 10.0 << 300.0 << 1.0 << OR << 0 << 0;
    QTest::newRow("capacity over-range") << 0xFu << 10 << qint64(100) << qint64(50) << 30.0 << 10.0
                                         << 300.0 << OR << 0.002 << 0 << 0;
    QTest::newRow("64-bit sum") << 0x7u << 1 << Q_INT64_C(4294967296) << qint64(1) << 12884901888.0
                                << 2.0 << 25769803776.0 << 1.0 << 0.002 << 0 << 0;
    QTest::newRow("no samples: over-range, not a division by zero")
        << 0x7u << 0 << qint64(0) << qint64(0) << OR << OR << OR << 1.0 << 0.002 << 0 << 0;
    QTest::newRow("no samples keeps the sign bits")
        << 0x1007u << 0 << qint64(0) << qint64(0) << -OR << OR << 0.0 << 1.0 << 0.002 << 0 << 0;
    QTest::newRow("negative sample count is no samples")
        << 0x7u << -5 << qint64(100) << qint64(50) << OR << OR << OR << 1.0 << 0.002 << 0 << 0;
}

void tst_IocProtocol::traceToData()
{
    QFETCH(quint32, flags);
    QFETCH(qint32, samples);
    QFETCH(qint64, vSum);
    QFETCH(qint64, iSum);

    TRACE_BUFFER raw;
    raw.flags = flags;
    raw.sampleCount = samples;
    raw.voltageSum = vSum;
    raw.currentSum = iSum;
    raw.capacity = 1000;
    raw.energy = 2000;
    raw.elapsed = 1500000;
    const TRACE_DATA d = ioc::traceToData(raw, testFactors());

    QTEST(d.voltage, "voltage");
    QTEST(d.current, "current");
    QTEST(d.power, "power");
    QTEST(d.capacity, "capacity");
    QTEST(d.energy, "energy");
    QCOMPARE(d.elapsedTime, 1.5);
    QTEST(int(d.voltageRange), "voltageRange");
    QTEST(int(d.currentRange), "currentRange");
}

void tst_IocProtocol::identification_data()
{
    QTest::addColumn<QVector<quint32>>("reply");
    QTest::addColumn<bool>("matched");
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("versions");
    QTest::addColumn<QString>("calDate");
    QTest::addColumn<bool>("calValid");

    QTest::newRow("valid") << QVector<quint32> { 0xF0000500,
        6,
        0xFFFFFFFF,
        0x0C8A1234,
        2023,
        (3 << 16) | 14,
        0x00010203,
        0xAA040506 } << true
                           << 0x0C8A << "1.2.3 4.5.6"
                           << "2023-03-14" << true;
    QTest::newRow("calibration data not valid") << QVector<quint32> { 0xF0000500,
        6,
        0,
        0x0C8A0000,
        2021,
        (12 << 16) | 1,
        0x01010203,
        0x00040506 } << true << 0x0C8A << "1.2.3 4.5.6"
                                                << "2021-12-01" << false;
    QTest::newRow("address echo wrong: defaults")
        << QVector<quint32> { 0, 6, 0, 0x0C8A0000, 2023, (3 << 16) | 14, 0x00010203, 0x00040506 }
        << false << 1205 << ""
        << "2007-07-11" << false;
    QTest::newRow("count echo wrong: defaults") << QVector<quint32> { 0xF0000500,
        5,
        0,
        0x0C8A0000,
        2023,
        (3 << 16) | 14,
        0x00010203,
        0x00040506 } << false << 1205 << ""
                                                << "2007-07-11" << false;
    QTest::newRow("no reply: defaults") << QVector<quint32>() << false << 1205 << ""
                                        << "2007-07-11" << false;
}

void tst_IocProtocol::identification()
{
    QFETCH(QVector<quint32>, reply);
    MODELS_INFO info;
    CAL_INFO cal;
    QTEST(decodeIdentification(reply, &info, &cal), "matched");
    QTEST(int(info.modelCode), "model");
    QStringList versions;
    for (const IOC_VERSION &v : info.versions)
        versions << QStringLiteral("%1.%2.%3").arg(v.major).arg(v.minor).arg(v.build);
    QTEST(versions.join(' '), "versions");
    QTEST(QStringLiteral("%1-%2-%3")
              .arg(cal.year)
              .arg(cal.month, 2, 10, QChar('0'))
              .arg(cal.day, 2, 10, QChar('0')),
        "calDate");
    QTEST(cal.valid, "calValid");
}

void tst_IocProtocol::unitBlock_data()
{
    QTest::addColumn<QVector<quint32>>("codeWords"); // word 2k+1 of each entry, in order
    QTest::addColumn<QVector<quint16>>("codes");

    QTest::newRow("third code zero ends the list")
        << QVector<quint32> { 0x0C8A0000, 0x0C8B0000, 0, 0x0C8C0000 }
        << QVector<quint16> { 0x0C8A, 0x0C8B };
    QTest::newRow("low half does not make a code")
        << QVector<quint32> { 0x0C8A0000, 0x0000FFFF, 0x0C8C0000 } << QVector<quint16> { 0x0C8A };
    QTest::newRow("first code zero") << QVector<quint32> { 0, 0x0C8A0000 } << QVector<quint16>();
    QVector<quint32> full;
    QVector<quint16> fullCodes;
    for (int k = 0; k < 15; ++k) {
        full << (quint32(k + 1) << 16);
        fullCodes << quint16(k + 1);
    }
    QTest::newRow("fifteen codes") << full << fullCodes;
}

void tst_IocProtocol::unitBlock()
{
    QFETCH(QVector<quint32>, codeWords);
    QVector<quint32> reply = readUnit(Address::UnitBlock, Words::UnitBlock);
    for (int k = 0; k < codeWords.size(); ++k) {
        reply[2 + 2 * k] = 0x5A5A5A5A; // the first word of an entry plays no part
        reply[2 + 2 * k + 1] = codeWords[k];
    }
    MODELS_INFO info;
    info.unitModelCodes = {};
    decodeUnitBlock(reply, &info);
    QTEST(info.unitModelCodes, "codes");
}

void tst_IocProtocol::traceRead_data()
{
    QTest::addColumn<quint32>("written");
    QTest::addColumn<quint32>("read");
    QTest::addColumn<int>("count");
    QTest::addColumn<quint32>("address");

    QTest::newRow("twenty waiting") << 20u << 0u << 20 << 0x80800000u;
    QTest::newRow("100 waiting: 62 first") << 100u << 0u << 62 << 0x80800000u;
    QTest::newRow("100 waiting: 38 next") << 100u << 62u << 38 << 0x80800F80u;
    QTest::newRow("200 written, 150 read") << 200u << 150u << 50 << 0x80802580u;
    QTest::newRow("nothing new") << 5u << 5u << 0 << 0x80800140u;
    QTest::newRow("written behind read") << 3u << 10u << 0 << 0x80800280u;
    QTest::newRow("last record of the area") << 65536u << 65535u << 1 << 0x80BFFFC0u;
    QTest::newRow("written past the area: up to its end") << 70000u << 65530u << 6 << 0x80BFFE80u;
    QTest::newRow("written past the area, all read") << 0xFFFFFFu << 65536u << 0 << 0x80C00000u;
}

void tst_IocProtocol::traceRead()
{
    QFETCH(quint32, written);
    QFETCH(quint32, read);
    QTEST(traceReadCount(written, read), "count");
    QTEST(traceReadAddress(read), "address");
}

void tst_IocProtocol::statusBlock()
{
    const quint32 data[4] = { 0x40200011, 0xA0000014, 0x00400060, 7 };
    const StatusBlock s = StatusBlock::fromData(data);
    QCOMPARE(s.status, 0x40200011u);
    QCOMPARE(s.writtenCount, 20u);
    QCOMPARE(s.cutoff, 0xA0u);
    QCOMPARE(s.nodeAddress, 0x00400060u);
    QCOMPARE(s.loopCount, 7u);
}

QTEST_GUILESS_MAIN(tst_IocProtocol)
#include "tst_IocProtocol.moc"
