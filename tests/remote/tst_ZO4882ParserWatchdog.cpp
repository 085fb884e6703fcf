#include "engine/Source.h"
#include "engine/Status.h"
#include "engine/ioc/IoControl.h"
#include "engine/ioc/IocProtocol.h"
#include "instrument/InstrumentConfigInfo.h"
#include "instrument/ModelInformation.h"
#include "remote/ZO4882Parser.h"
#include "tests/support/PowerBoard.h"

#include <QtTest>

#include <memory>

using ioc::IoControl;
using vek::SCPIERR_T;
using vek::Source;
using zo4882::ZO4882Parser;

namespace {

constexpr quint32 AlarmAddress = 0x6000000C;
constexpr quint32 WatchdogAlarm = 0x10000000;

// The alarm words written to the board, oldest first.
QList<quint32> alarmWrites(const QList<PowerBoard::LogEntry> &log)
{
    QList<quint32> words;
    for (const PowerBoard::LogEntry &e : log) {
        if (e.address == AlarmAddress && !e.words.isEmpty())
            words << e.words.first();
    }
    return words;
}

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

    std::unique_ptr<PowerBoard> m_board;
    std::unique_ptr<IoControl> m_writer;
    std::unique_ptr<IoControl> m_monitor;
    std::unique_ptr<ModelInformation> m_info;
    std::unique_ptr<vek::Status> m_status;
    std::unique_ptr<Source> m_source;
    std::unique_ptr<ZO4882Parser> m_parser;
    InstrumentConfigInfo m_config;
};

void tst_ZO4882ParserWatchdog::init()
{
    Source::resetState();
    m_config.clear();
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    QCOMPARE(m_board->command("units"), QString("OK"));

    m_writer = std::make_unique<IoControl>(IoControl::Writer);
    m_monitor = std::make_unique<IoControl>(IoControl::Monitor);
    m_info = std::make_unique<ModelInformation>(m_writer.get(), m_monitor.get());
    m_status = std::make_unique<vek::Status>(m_writer.get());
    m_source = std::make_unique<Source>(m_writer.get(), m_info.get(), m_status.get(), &m_config);

    m_parser = std::make_unique<ZO4882Parser>(nullptr, zo4882::NODE_SOURCE);
    Source *source = m_source.get();
    ZO4882Parser *parser = m_parser.get();
    m_parser->setWatchdogHandler([source] {
        source->setWatchdogProtection();
    });
    Source::setWatchdogRecovery([parser] {
        parser->recoverWatchDog();
    });
    alarmsSoFar();
    QVERIFY(m_board->clearLog());
}

void tst_ZO4882ParserWatchdog::cleanup()
{
    Source::setWatchdogRecovery({});
    m_parser.reset();
    m_source.reset();
    m_status.reset();
    m_info.reset();
    m_writer.reset();
    m_monitor.reset();
    QCoreApplication::sendPostedEvents();
    Source::resetState();
    const bool clean = m_board->stop();
    const QString error = m_board->errorString();
    m_board.reset();
    QVERIFY2(clean, qPrintable(error));
}

// Lets the writer send what is pending, then reads the board's log.
QList<quint32> tst_ZO4882ParserWatchdog::alarmsSoFar()
{
    // The writer answers a register read only after everything queued before it has been sent.
    m_writer->transfer();
    qint32 status = 0;
    if (m_writer->readRegister(ioc::Address::StatusBlock, &status) != 0)
        return { 0xFFFFFFFFu };
    return alarmWrites(m_board->log());
}

void tst_ZO4882ParserWatchdog::silenceTripsTheSourceOnceUntilCleared()
{
    QElapsedTimer clock;
    clock.start();
    m_parser->setWatchDog(2000);

    // Checked once a second: the trip comes after more than 2 s and within the next tick.
    QTRY_VERIFY_WITH_TIMEOUT(Source::getWatchdogProtectiont(), 5000);
    const qint64 trippedAt = clock.elapsed();
    QVERIFY2(trippedAt >= 2000 && trippedAt <= 3200, QByteArray::number(trippedAt));
    QTRY_COMPARE(alarmsSoFar(), QList<quint32>({ WatchdogAlarm }));

    // Fired once: two more ticks pass without a second alarm command.
    QVERIFY(!QTest::qWaitFor(
        [this] {
            return alarmsSoFar().size() > 1;
        },
        2500));

    // Clearing the protection re-arms the watchdog, which trips again after the period.
    QCOMPARE(m_source->clearProtection(), SCPIERR_T(0));
    clock.restart();
    QVERIFY(!Source::getWatchdogProtectiont());
    QVERIFY(!m_parser->watchDogFired());
    QTRY_VERIFY_WITH_TIMEOUT(Source::getWatchdogProtectiont(), 5000);
    QVERIFY2(clock.elapsed() >= 2000, QByteArray::number(clock.elapsed()));
    const QList<quint32> alarms = alarmsSoFar();
    QCOMPARE(alarms.count(WatchdogAlarm), 2);
}

QTEST_MAIN(tst_ZO4882ParserWatchdog)
#include "tst_ZO4882ParserWatchdog.moc"
