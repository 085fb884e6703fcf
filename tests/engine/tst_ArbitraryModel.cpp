#include "engine/ArbitraryModel.h"
#include "engine/Source.h"
#include "engine/ioc/IocProtocol.h"
#include "tests/support/EngineFixture.h"

#include <QThread>
#include <QtTest>

#include <cmath>
#include <memory>

using vek::ARBITRARY_DATA;
using vek::ArbitraryModel;
using vek::SCPIERR_T;
using vek::Source;

namespace {

using Points = QList<QPair<double, double>>;

QList<ARBITRARY_DATA> toData(const Points &points)
{
    QList<ARBITRARY_DATA> data;
    for (const auto &p : points)
        data << ARBITRARY_DATA { p.first, p.second };
    return data;
}

Points toPoints(const QList<ARBITRARY_DATA> &data)
{
    Points points;
    for (const ARBITRARY_DATA &d : data)
        points << qMakePair(d.voltage, d.current);
    return points;
}

} // namespace

// The arbitrary I-V curve over the simulated board: its checks, and the table the board
// receives from it.
class tst_ArbitraryModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void newModelAndTransferRule();
    void countRefusalsAndGrowth();
    void pointChecks_data();
    void pointChecks();
    void setTablePinsEndsOrKeepsTheOldCurve();
    void boardReceivesTheLinesBetweenThePoints();
    void curveAboveTheLimitLeavesTheTailUnreached();
    void remoteChangesRunInTheModelThread();
    void panelFlags();

private:
    // The blocks of the arbitrary table in the board log since the last clear, as (address,
    // words) in order.
    QList<PowerBoard::LogEntry> arbBlocks();
    QVector<quint32> receivedTable();

    EngineFixture m_engine;
    std::unique_ptr<ArbitraryModel> m_model;
    double m_vfs = 0.0;
    double m_itop = 0.0;
};

void tst_ArbitraryModel::init()
{
    QVERIFY2(m_engine.startBoard(), qPrintable(m_engine.errorString()));
    QVERIFY2(m_engine.buildLinks(false), qPrintable(m_engine.errorString()));
    m_model = std::make_unique<ArbitraryModel>(m_engine.writer.get(), m_engine.info.get());
    m_vfs = ModelInformation::rangeValue(m_engine.info->voltageMap(), 1).m_max;
    m_itop = ModelInformation::rangeValue(m_engine.info->currentMap(), 2).m_max;
    QVERIFY(m_vfs > 10.0);
    QVERIFY(m_itop > 1.0);
    QVERIFY(m_engine.flushWriter());
    QVERIFY(m_engine.board->clearLog());
}

void tst_ArbitraryModel::cleanup()
{
    m_model.reset();
    QVERIFY2(m_engine.stop(), qPrintable(m_engine.errorString()));
}

QList<PowerBoard::LogEntry> tst_ArbitraryModel::arbBlocks()
{
    QList<PowerBoard::LogEntry> blocks;
    if (!m_engine.flushWriter())
        return blocks;
    for (const PowerBoard::LogEntry &e : m_engine.board->log()) {
        if (e.address >= ioc::Address::ArbBlock && e.address < ioc::Address::ArbBlock + 0x10000)
            blocks << e;
    }
    return blocks;
}

QVector<quint32> tst_ArbitraryModel::receivedTable()
{
    QVector<quint32> table;
    const QList<PowerBoard::LogEntry> blocks = arbBlocks();
    for (int k = 0; k < blocks.size(); k += 2)
        table += blocks.at(k).words;
    return table;
}

void tst_ArbitraryModel::newModelAndTransferRule()
{
    ArbitraryModel &m = *m_model;
    QCOMPARE(toPoints(m.getData()), (Points { { 0, 0 }, { 1, 0 }, { m_vfs, 0 } }));

    const int blocks = int(m_engine.info->arbPoints() / 32);
    QCOMPARE(m.transmit(vek::UpdateIfChanged), SCPIERR_T(0));
    const QList<PowerBoard::LogEntry> sent = arbBlocks();
    QCOMPARE(sent.size(), 2 * blocks);
    for (int k = 0; k < blocks; ++k) {
        for (int copy = 0; copy < 2; ++copy) {
            QCOMPARE(sent[2 * k + copy].address, 0x30000000u + 128u * quint32(k));
            QCOMPARE(sent[2 * k + copy].words.size(), 32);
        }
    }

    QVERIFY(m_engine.board->clearLog());
    QCOMPARE(m.transmit(vek::UpdateIfChanged), SCPIERR_T(0));
    QCOMPARE(arbBlocks().size(), 0);
    QCOMPARE(m.transmit(vek::UpdateAlways), SCPIERR_T(0));
    QCOMPARE(arbBlocks().size(), 2 * blocks);
}

void tst_ArbitraryModel::countRefusalsAndGrowth()
{
    ArbitraryModel &m = *m_model;
    QSignalSpy counts(&m, &ArbitraryModel::countUiChanged);
    for (int n : { 2, 101, -1 }) {
        QCOMPARE(m.checkCount(n), SCPIERR_T(-222));
        QCOMPARE(m.setCount(n), SCPIERR_T(-222));
    }
    QCOMPARE(m.getCount(), 3);
    QCOMPARE(counts.size(), 0);

    // Growing at row 1 copies point 2 in front of it; the copies pass the order rule.
    QCOMPARE(m.setCount(5, m.index(1, 0)), SCPIERR_T(0));
    QCOMPARE(
        toPoints(m.getData()), (Points { { 0, 0 }, { 1, 0 }, { 1, 0 }, { 1, 0 }, { m_vfs, 0 } }));
    QCOMPARE(m.setTablePoint(3, { 1.0, 0.5 }), SCPIERR_T(0));

    // Shrinking past the end removes the last rows and re-pins the new last point.
    QCOMPARE(m.setCount(3, m.index(3, 0)), SCPIERR_T(0));
    QCOMPARE(toPoints(m.getData()), (Points { { 0, 0 }, { 1, 0 }, { m_vfs, 0.5 } }));
    QCOMPARE(counts.last().at(0).toInt(), 3);

    // A transfer right after a count change sends.
    QCOMPARE(m.transmit(vek::UpdateIfChanged), SCPIERR_T(0));
    QVERIFY(m_engine.flushWriter());
    QVERIFY(m_engine.board->clearLog());
    QCOMPARE(m.setCount(3), SCPIERR_T(0));
    QCOMPARE(m.transmit(vek::UpdateIfChanged), SCPIERR_T(0));
    QVERIFY(!arbBlocks().isEmpty());

    ARBITRARY_DATA p;
    QCOMPARE(m.getTablePoint(0, &p), SCPIERR_T(-222));
    QCOMPARE(m.getTablePoint(4, &p), SCPIERR_T(-222));
}

void tst_ArbitraryModel::pointChecks_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<double>("volts"); // a negative number: that many V below V_fs
    QTest::addColumn<double>("amps"); // a negative number: that many A above I_top
    QTest::addColumn<int>("error");

    QTest::newRow("index 0") << 0 << 1.0 << 0.0 << 121;
    QTest::newRow("index past the count") << 4 << 1.0 << 0.0 << 121;
    QTest::newRow("voltage above V_fs") << 2 << 1e9 << 0.0 << 122;
    QTest::newRow("voltage NaN") << 2 << qQNaN() << 0.0 << 122;
    QTest::newRow("current above I_top") << 2 << 1.0 << -0.5 << 123;
    QTest::newRow("first point, even (0,0)") << 1 << 0.0 << 0.0 << 124;
    QTest::newRow("last point below V_fs") << 3 << 5.0 << 0.0 << 124;
    QTest::newRow("last point's current at V_fs") << 3 << -0.0 << 1.0 << 0;
    QTest::newRow("equal to the successor") << 2 << -0.0 << 0.0 << 0;
    QTest::newRow("equal to the predecessor") << 2 << 0.0 << 1.0 << 0;
}

void tst_ArbitraryModel::pointChecks()
{
    QFETCH(int, n);
    QFETCH(double, volts);
    QFETCH(double, amps);
    QFETCH(int, error);
    ArbitraryModel &m = *m_model;
    if (std::signbit(volts) && !std::isnan(volts))
        volts = m_vfs + volts;
    if (amps < 0)
        amps = m_itop - amps;
    const QList<ARBITRARY_DATA> before = m.getData();
    QCOMPARE(m.checkTablePoint(n, { volts, amps }), SCPIERR_T(error));
    QCOMPARE(m.setTablePoint(n, { volts, amps }), SCPIERR_T(error));
    if (error != 0)
        QCOMPARE(toPoints(m.getData()), toPoints(before));
    else
        QCOMPARE(toPoints(m.getData()).at(n - 1), qMakePair(volts, amps));
    // A point above its successor's voltage, or below its predecessor's, is refused.
    if (QByteArray(QTest::currentDataTag()) == "equal to the successor") {
        QCOMPARE(m.setTablePointVoltage(2, 1.0), SCPIERR_T(0));
        QCOMPARE(m.setCount(4), SCPIERR_T(0)); // point 3 copies (V_fs, 0)
        QCOMPARE(m.setTablePointVoltage(3, 2.0), SCPIERR_T(0));
        QCOMPARE(m.setTablePointVoltage(2, 3.0), SCPIERR_T(124));
        QCOMPARE(m.setTablePointVoltage(3, 0.5), SCPIERR_T(124));
    }
}

void tst_ArbitraryModel::setTablePinsEndsOrKeepsTheOldCurve()
{
    ArbitraryModel &m = *m_model;
    QList<ARBITRARY_DATA> points = toData({ { 2, 1 }, { 5, 2 }, { 7, 3 } });
    QCOMPARE(m.setTable(points), SCPIERR_T(0));
    const Points stored { { 0, 0 }, { 5, 2 }, { m_vfs, 3 } };
    QCOMPARE(toPoints(m.getData()), stored);
    QCOMPARE(toPoints(points), stored); // the caller's list is pinned too

    struct Case
    {
        Points points;
        int error;
    };
    Points tooMany;
    for (int k = 0; k < 101; ++k)
        tooMany << qMakePair(double(k) / 10, 0.0);
    const QList<Case> refused {
        { { { 0, 0 }, { 1, 0 } }, 125 },
        { tooMany, 126 },
        { { { 0, 0 }, { 1, m_itop + 1 }, { m_vfs, 0 } }, 123 },
        { { { 0, 0 }, { 3, 0 }, { 2, 0 } }, 124 },
        { { { 0, 0 }, { 3, 0 }, { m_vfs + 1, 0 } }, 122 },
    };
    for (const Case &c : refused) {
        QList<ARBITRARY_DATA> data = toData(c.points);
        QCOMPARE(m.setTable(data), SCPIERR_T(c.error));
        QCOMPARE(toPoints(m.getData()), stored);
    }
}

void tst_ArbitraryModel::boardReceivesTheLinesBetweenThePoints()
{
    ArbitraryModel &m = *m_model;
    const double ilim = m_itop; // High current range selected
    QList<ARBITRARY_DATA> points = toData({ { 0, 0 },
        { m_vfs * 0.2, ilim * 0.3 },
        { m_vfs * 0.6, ilim * 0.4 },
        { m_vfs * 0.8, ilim * 0.1 },
        { m_vfs, ilim * 0.9 } });
    QCOMPARE(m.setTable(points), SCPIERR_T(0));
    QCOMPARE(m.transmit(vek::UpdateIfChanged), SCPIERR_T(0));
    const QVector<quint32> table = receivedTable();
    const int n = int(m_engine.info->arbPoints());
    QCOMPARE(table.size(), n);
    QCOMPARE(table, m.iocTable());

    // Built here from the points: each entry lies within one code step of the straight line
    // through its segment (upper 16 bits only), and every entry is reached.
    const BoundValue &cur = ModelInformation::rangeValue(m_engine.info->currentMap(), 2);
    const double scale = std::pow(10.0, cur.m_power) * cur.m_factor / 65536.0;
    const double step = m_vfs / (n - 1);
    for (int x = 0; x < n; ++x) {
        QCOMPARE(table[x] & 0xFFFFu, 0u);
        const double v = x * step;
        int k = 1;
        while (k < points.size() - 1 && points[k].voltage < v)
            ++k;
        const ARBITRARY_DATA &a = points[k - 1], &b = points[k];
        const double amps =
            a.current + (b.current - a.current) * (v - a.voltage) / (b.voltage - a.voltage);
        const double expected = amps * scale;
        // One step of rounding at the ends, one of drawing, and half a voltage step of index.
        const double slack =
            2.0 + std::abs((b.current - a.current) / (b.voltage - a.voltage)) * step * scale;
        QVERIFY2(std::abs(double(table[x] >> 16) - expected) <= slack,
            qPrintable(QString("entry %1: %2, line %3").arg(x).arg(table[x] >> 16).arg(expected)));
    }
    QCOMPARE(table.first(), 0u);
    QCOMPARE(table.last() >> 16, quint32(ilim * 0.9 * scale * 65536.0 + 0.5) >> 16);
}

void tst_ArbitraryModel::curveAboveTheLimitLeavesTheTailUnreached()
{
    ArbitraryModel &m = *m_model;
    Source::m_currRange = KeywordBridge_LowMedHigh::LOW;
    const double ilim = ModelInformation::rangeValue(m_engine.info->currentMap(), 0).m_max;
    QVERIFY(ilim * 2 <= m_itop);
    // Rises past the low range's limit at half of V_fs and stays above it.
    QList<ARBITRARY_DATA> points = toData({ { 0, 0 }, { m_vfs, ilim * 2 }, { m_vfs, ilim * 2 } });
    QCOMPARE(m.setTable(points), SCPIERR_T(0));
    QCOMPARE(m.transmit(vek::UpdateIfChanged), SCPIERR_T(0));
    const QVector<quint32> table = receivedTable();
    const int n = int(m_engine.info->arbPoints());
    QCOMPARE(table.size(), n);
    const int crossing = int(std::lround((n - 1) / 2.0));
    for (int x = 0; x < n; ++x) {
        if (x > crossing)
            QCOMPARE(table[x], ArbitraryModel::Unreached);
        else
            QVERIFY2(table[x] != ArbitraryModel::Unreached, qPrintable(QString::number(x)));
    }
    Source::m_currRange = KeywordBridge_LowMedHigh::HIGH;
}

void tst_ArbitraryModel::remoteChangesRunInTheModelThread()
{
    ArbitraryModel &m = *m_model;
    QThread *mine = QThread::currentThread();
    QVector<SCPIERR_T> results;
    QVector<bool> sawOwnThread;
    QThread *parser = QThread::create([&] {
        // Two point commands in one message: the second sees the first.
        results << m.setCount(4);
        results << m.setTablePoint(3, { 4.0, 1.0 });
        results << m.setTablePoint(2, { 5.0, 1.0 }); // above point 3 now
        results << m.setTablePoint(2, { 3.0, 1.0 });
        QList<ARBITRARY_DATA> table = toData({ { 0, 0 }, { 2, 1 }, { 3, 1 }, { 4, 1 }, { 9, 1 } });
        results << m.setTable(table) << m.transmit(vek::UpdateIfChanged);
    });
    QObject::connect(&m, &ArbitraryModel::countUiChanged, &m, [&] {
        sawOwnThread << (QThread::currentThread() == mine);
    });
    parser->start();
    QTRY_VERIFY_WITH_TIMEOUT(parser->isFinished(), 10000);
    delete parser;
    QCOMPARE(results, (QVector<SCPIERR_T> { 0, 0, 124, 0, 0, 0 }));
    QCOMPARE(sawOwnThread, (QVector<bool> { true, true }));
    QCOMPARE(m.getCount(), 5);
    QCOMPARE(receivedTable().size(), int(m_engine.info->arbPoints()));
}

void tst_ArbitraryModel::panelFlags()
{
    ArbitraryModel &m = *m_model;
    const Qt::ItemFlags fixed = Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    QCOMPARE(m.flags(m.index(0, 0)), fixed);
    QCOMPARE(m.flags(m.index(0, 1)), fixed);
    QCOMPARE(m.flags(m.index(2, 0)), fixed);
    QVERIFY(m.flags(m.index(2, 1)) & Qt::ItemIsEditable);
    QVERIFY(m.flags(m.index(1, 0)) & Qt::ItemIsEditable);

    // A refused edit keeps the cell and is reported; an accepted one is sent.
    QSignalSpy errors(&m, &ArbitraryModel::errorOfEdit);
    QCOMPARE(m.transmit(vek::UpdateIfChanged), SCPIERR_T(0));
    QVERIFY(m_engine.flushWriter());
    QVERIFY(m_engine.board->clearLog());
    QVERIFY(m.setData(m.index(1, 0), m_vfs + 1));
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors.at(0).at(0).toInt(), 122);
    QCOMPARE(arbBlocks().size(), 0);
    QVERIFY(m.setData(m.index(1, 1), 0.25));
    QCOMPARE(m.data(m.index(1, 1)).toString().toDouble(), 0.25);
    QVERIFY(!arbBlocks().isEmpty());
}

QTEST_GUILESS_MAIN(tst_ArbitraryModel)
#include "tst_ArbitraryModel.moc"
