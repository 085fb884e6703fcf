#include "engine/Basic.h"
#include "engine/EngineLock.h"
#include "tests/support/EngineFixture.h"

#include <QMutex>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <functional>
#include <memory>

using ioc::IoControl;
using vek::Basic;
using vek::SCPIERR_T;
using vek::Source;
using Mode = KeywordBridge_CcCrCvCpArb;
using Range = KeywordBridge_LowMedHigh;

namespace {

// Words of a step's data record.
enum StepWord { Operate = 2, Dc = 3, Cp = 6 };
constexpr quint32 LoadBit = 0x10000;

// The register word a stored level gives in the present range: its counts, clamped.
quint32 levelWord(const BoundValue &bound, double value)
{
    qint32 counts = 0;
    bound.toCounts(value, &counts, true);
    return quint32(bound.toRegister(counts));
}

} // namespace

// The panel and the parser at once: threads make random interleaved range, mode, level and
// load-switch calls on the basic settings over the simulated board. Every call answers as a
// call alone would, and whenever a caller looks (under the engine lock, as any reader of the
// whole state would), the stored state, the getters and what the board last received agree.
class tst_BasicConcurrency : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void twoCallersLeaveOneAgreedState();

private:
    // One random call; the answers it may give besides 0.
    SCPIERR_T randomCall(QRandomGenerator &random, QList<int> *allowed);
    // Empty when the board, the stored state and the getters agree; else what differs.
    QString disagreement();
    void fail(const QString &what);

    EngineFixture m_engine;
    std::unique_ptr<Basic> m_basic;
    QMutex m_failuresMutex; // guards m_failures
    QStringList m_failures;
    quint32 m_stepData[3] = {};
};

void tst_BasicConcurrency::init()
{
    QVERIFY2(m_engine.startBoard(), qPrintable(m_engine.errorString()));
    // No current flows, so no protection ends a load switch.
    QVERIFY(m_engine.board->command("source 0 1").startsWith("OK"));
    ioc::LinkTiming timing;
    timing.monitorPauseMs = 2;
    timing.rangeSettleMs = 1;
    QVERIFY2(m_engine.buildLinks(true, timing), qPrintable(m_engine.errorString()));
    m_basic = std::make_unique<Basic>(
        m_engine.writer.get(), m_engine.info.get(), m_engine.status.get(), &m_engine.config);
    QSignalSpy modes(m_basic.get(), &Source::operationModeChanged);
    QTRY_COMPARE(modes.size(), 1); // initialize() has run

    // Head -> root (step 2) -> its left child (step 1).
    const quint32 head = m_engine.peek(EngineFixture::ProgramGroupAddress).value(0);
    const quint32 node2 = m_engine.peek(head, 8).value(4);
    const quint32 node1 = m_engine.peek(node2, 8).value(5);
    m_stepData[1] = m_engine.peek(node1, 8).value(4);
    m_stepData[2] = m_engine.peek(node2, 8).value(4);
    QVERIFY(m_stepData[1] != m_stepData[2]);
    m_failures.clear();
}

void tst_BasicConcurrency::cleanup()
{
    m_basic.reset();
    QVERIFY2(m_engine.stop(), qPrintable(m_engine.errorString()));
}

SCPIERR_T tst_BasicConcurrency::randomCall(QRandomGenerator &random, QList<int> *allowed)
{
    const ModelInformation &info = *m_engine.info;
    const int kind = random.bounded(100);
    if (kind < 12) {
        *allowed = { vek::Error::LoadOn };
        return m_basic->setCurrentRange(Range::values(random.bounded(3)));
    }
    if (kind < 24) {
        *allowed = { vek::Error::LoadOn };
        const Mode::values modes[] = { Mode::CC, Mode::CR, Mode::CV, Mode::CP };
        return m_basic->setFunctionMode(modes[random.bounded(4)]);
    }
    if (kind < 98) {
        // Up to a tenth beyond the widest range: refused in the narrower ones.
        *allowed = { vek::Error::DataOutOfRange };
        const double share = random.bounded(1.1);
        switch (random.bounded(4)) {
        case 0:
            return m_basic->setRealCurrentLevel(
                share * ModelInformation::rangeValue(info.currentMap(), 2).m_max,
                vek::UpdateIfChanged);
        case 1:
            return m_basic->setRealConductanceLevel(
                share * ModelInformation::rangeValue(info.conductanceMap(), 2).m_max,
                vek::UpdateIfChanged);
        case 2:
            return m_basic->setRealVoltageLevel(
                share * ModelInformation::rangeValue(info.voltageMap(), 1).m_max,
                vek::UpdateIfChanged);
        default:
            return m_basic->setRealPowerLevel(
                share * ModelInformation::rangeValue(info.powerMap(), 5).m_max,
                vek::UpdateIfChanged);
        }
    }
    allowed->clear();
    return m_basic->setOutput(random.bounded(2) == 1);
}

QString tst_BasicConcurrency::disagreement()
{
    // Held while the writer sends what the last step handed over: no setter runs meanwhile.
    vek::EngineLocker lock(&vek::engineMutex());
    const quint32 mode = m_engine.modeWord();
    const QVector<quint32> step1 = m_engine.peek(m_stepData[1], 16);
    const QVector<quint32> step2 = m_engine.peek(m_stepData[2], 16);
    if (step1.size() != 16 || step2.size() != 16)
        return QStringLiteral("board not readable: %1").arg(m_engine.board->errorString());

    QStringList differences;
    const auto expect = [&differences](const char *what, quint32 got, quint32 wanted) {
        if (got != wanted)
            differences << QStringLiteral("%1 0x%2, stored 0x%3")
                               .arg(QLatin1String(what))
                               .arg(got, 0, 16)
                               .arg(wanted, 0, 16);
    };
    const Mode::values function = Source::m_functionMode;
    const quint32 functionBits[] = { 0x1, 0x2, 0x4, 0x8 };
    expect("function bits", mode & 0xF, functionBits[int(function)]);
    const quint32 rangeBits[] = { 0x100, 0x200, 0 };
    expect("range bits", mode & 0x300, rangeBits[int(Source::m_currRange.load())]);
    if (Source::getCurrentRange() != Source::m_currRange)
        differences << QStringLiteral("effective range differs from the selected one");

    const ModelInformation &info = *m_engine.info;
    const int range = int(Source::getCurrentRange());
    // The CV and CP levels travel with the next hand-over of the steps while the load is off.
    const bool load = Source::m_load && Source::m_extLoad;
    quint32 dc = 0;
    switch (function) {
    case Mode::CC:
        dc = levelWord(
            ModelInformation::rangeValue(info.currentMap(), range), m_basic->getRealCurrentLevel());
        break;
    case Mode::CR:
        dc = levelWord(ModelInformation::rangeValue(info.conductanceMap(), range),
            m_basic->getRealConductanceLevel());
        break;
    case Mode::CV:
        dc = levelWord(
            ModelInformation::rangeValue(info.voltageMap(), 1), m_basic->getRealVoltageLevel());
        break;
    default:
        if (load)
            expect("CP word",
                step1[Cp],
                levelWord(ModelInformation::rangeValue(info.powerMap(), Source::getPowerRange()),
                    m_basic->getRealPowerLevel()));
        break;
    }
    const bool levelSent = load || function == Mode::CC || function == Mode::CR;
    for (const QVector<quint32> *step : { &step1, &step2 }) {
        if (levelSent)
            expect("DC word", (*step)[Dc], dc);
        expect("load bit", (*step)[Operate] & LoadBit, load ? LoadBit : 0);
    }
    if (!differences.isEmpty())
        differences.prepend(
            QStringLiteral("mode %1 range %2 load %3").arg(int(function)).arg(range).arg(load));
    return differences.join(QStringLiteral("; "));
}

void tst_BasicConcurrency::fail(const QString &what)
{
    QMutexLocker lock(&m_failuresMutex);
    if (m_failures.size() < 20)
        m_failures << what;
}

void tst_BasicConcurrency::twoCallersLeaveOneAgreedState()
{
    constexpr int CallsPerThread = 5000;
    constexpr int LookEvery = 250;
    std::atomic<int> calls { 0 };
    const auto caller = [&](quint32 seed) {
        QRandomGenerator random(seed);
        for (int i = 1; i <= CallsPerThread; ++i) {
            QList<int> allowed;
            const SCPIERR_T result = randomCall(random, &allowed);
            if (result != 0 && !allowed.contains(result))
                fail(QStringLiteral("seed %1 call %2: answer %3").arg(seed).arg(i).arg(result));
            if (i % LookEvery == 0) {
                const QString differences = disagreement();
                if (!differences.isEmpty())
                    fail(QStringLiteral("seed %1 after %2 calls: %3")
                             .arg(seed)
                             .arg(i)
                             .arg(differences));
            }
            ++calls;
        }
    };
    // Fixed seeds, so that a failure can be replayed.
    std::unique_ptr<QThread> panel(QThread::create(caller, 15u));
    std::unique_ptr<QThread> parser(QThread::create(caller, 1015u));
    panel->start();
    parser->start();
    // The status object's reports reach the source here, as in the GUI thread.
    QTRY_VERIFY_WITH_TIMEOUT(panel->isFinished() && parser->isFinished(), 600000);
    QCOMPARE(calls.load(), 2 * CallsPerThread);
    QVERIFY2(m_failures.isEmpty(), qPrintable(m_failures.join(QLatin1Char('\n'))));

    // Switched off at the end, the reported state agrees too.
    QCOMPARE(m_basic->setOutput(false), SCPIERR_T(0));
    QVERIFY(!Source::m_stateLoad);
    QVERIFY(!m_engine.status->loadOn());
    QCOMPARE(disagreement(), QString());
}

QTEST_MAIN(tst_BasicConcurrency)
#include "tst_BasicConcurrency.moc"
