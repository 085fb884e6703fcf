#include "engine/Source.h"
#include "remote/ZO4882Parser.h"
#include "tests/support/EngineFixture.h"

#include <QtTest>

#include <memory>

using ioc::IoControl;
using vek::SCPIERR_T;
using vek::Source;
using zo4882::ZO4882Parser;

namespace {

constexpr quint32 WatchdogAlarm = 0x10000000;
constexpr int TickMs = 20; // in place of the product's second
constexpr int PeriodMs = 200;

} // namespace

// The parser's communication watchdog wired to the source as the start-up wires it, with the
// simulated board as witness of the alarm command.
class tst_ZO4882ParserWatchdog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void silenceTripsTheSourceOnceUntilCleared();

private:
    QList<quint32> alarmsSoFar();

    EngineFixture m_engine;
    std::unique_ptr<Source> m_source;
    std::unique_ptr<ZO4882Parser> m_parser;
};

void tst_ZO4882ParserWatchdog::init()
{
    QVERIFY2(m_engine.startBoard(), qPrintable(m_engine.errorString()));
    QVERIFY2(m_engine.buildLinks(), qPrintable(m_engine.errorString()));
    m_source = std::make_unique<Source>(
        m_engine.writer.get(), m_engine.info.get(), m_engine.status.get(), &m_engine.config);

    m_parser = std::make_unique<ZO4882Parser>(nullptr, zo4882::NODE_SOURCE, TickMs);
    Source *source = m_source.get();
    ZO4882Parser *parser = m_parser.get();
    m_parser->setWatchdogHandler([source] {
        source->setWatchdogProtection();
    });
    Source::setWatchdogRecovery([parser] {
        parser->recoverWatchDog();
    });
    alarmsSoFar();
    QVERIFY(m_engine.board->clearLog());
}

void tst_ZO4882ParserWatchdog::cleanup()
{
    Source::setWatchdogRecovery({});
    m_parser.reset();
    m_source.reset();
    QVERIFY2(m_engine.stop(), qPrintable(m_engine.errorString()));
}

// Lets the writer send what is pending, then reads the board's log.
QList<quint32> tst_ZO4882ParserWatchdog::alarmsSoFar()
{
    if (!m_engine.flushWriter())
        return { 0xFFFFFFFFu };
    return EngineFixture::writesTo(m_engine.board->log(), EngineFixture::AlarmAddress);
}

void tst_ZO4882ParserWatchdog::silenceTripsTheSourceOnceUntilCleared()
{
    QElapsedTimer clock;
    clock.start();
    m_parser->setWatchDog(PeriodMs);

    // Never before the period has passed.
    QTRY_VERIFY_WITH_TIMEOUT(Source::getWatchdogProtectiont(), 5000);
    QVERIFY2(clock.elapsed() >= PeriodMs, QByteArray::number(clock.elapsed()));
    QTRY_COMPARE(alarmsSoFar(), QList<quint32>({ WatchdogAlarm }));

    // Fired once: many more ticks pass without a second alarm command.
    QVERIFY(!QTest::qWaitFor(
        [this] {
            return alarmsSoFar().size() > 1;
        },
        25 * TickMs));

    // Clearing the protection re-arms the watchdog, which trips again after the period.
    clock.restart();
    QCOMPARE(m_source->clearProtection(), SCPIERR_T(0));
    QVERIFY(!Source::getWatchdogProtectiont());
    QVERIFY(!m_parser->watchDogFired());
    QTRY_VERIFY_WITH_TIMEOUT(Source::getWatchdogProtectiont(), 5000);
    QVERIFY2(clock.elapsed() >= PeriodMs, QByteArray::number(clock.elapsed()));
    const QList<quint32> alarms = alarmsSoFar();
    QCOMPARE(alarms.count(WatchdogAlarm), 2);
}

QTEST_MAIN(tst_ZO4882ParserWatchdog)
#include "tst_ZO4882ParserWatchdog.moc"
