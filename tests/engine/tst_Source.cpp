#include "engine/Source.h"
#include "engine/ioc/IocProtocol.h"
#include "platform/BoardPath.h"
#include "tests/support/EngineFixture.h"

#include <QRegularExpression>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <functional>
#include <memory>

using ioc::IoControl;
using vek::SCPIERR_T;
using vek::Source;

using Setup = std::function<void()>;
using Call = std::function<SCPIERR_T(Source &)>;
Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(Call)

namespace {

constexpr quint32 ProgramGroupAddress = EngineFixture::ProgramGroupAddress; // word 1: commands
constexpr quint32 CommandAddress = EngineFixture::CommandAddress;
constexpr quint32 AlarmAddress = EngineFixture::AlarmAddress;

QList<quint32> writesTo(const QList<PowerBoard::LogEntry> &log, quint32 address, int index = 0)
{
    return EngineFixture::writesTo(log, address, index);
}

QString describe(const QList<PowerBoard::LogEntry> &log)
{
    QStringList lines;
    for (const PowerBoard::LogEntry &e : log)
        lines << QString::number(e.address, 16);
    return lines.join(' ');
}

} // namespace

// The source over a writer and a monitor link on the simulated board, with the model
// information built from the board's model file (a single unit: the unit list is emptied).
// The class-wide state starts at its power-on values in every test.
class tst_Source : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void refusalsSendNothing_data();
    void refusalsSendNothing();
    void interlockedSetterSeesAStoreMadeWhileItWaits_data();
    void interlockedSetterSeesAStoreMadeWhileItWaits();
    void highRangeTakesTheExternalRangeBits();
    void sameRangeWithAlwaysIsAppliedAgain();
    void softStartTakesTheNextTableTime();
    void triggerDelayInMicroseconds_data();
    void triggerDelayInMicroseconds();
    void functionModeWithPulseRunsOnTheCcLoop();
    void initializeAnnouncesAndConnectsTheInputs();
    void clearProtectionRearmsTheWatchdogOnce();
    void requestHandShakeAcrossThreads_data();
    void requestHandShakeAcrossThreads();

private:
    // Builds links, model information and source; reduced: a model without the medium
    // conductance range and without the ARB response table.
    void build(bool reduced = false);
    QList<PowerBoard::LogEntry> writesSinceClear();

    EngineFixture m_engine;
    std::unique_ptr<Source> m_source;
};

void tst_Source::init()
{
    Source::setWatchdogRecovery({});
    QVERIFY2(m_engine.startBoard(), qPrintable(m_engine.errorString()));
}

void tst_Source::cleanup()
{
    m_source.reset();
    QVERIFY2(m_engine.stop(), qPrintable(m_engine.errorString()));
}

void tst_Source::build(bool reduced)
{
    if (reduced) {
        QFile file(platform::BoardPath::map(ModelInformation::fileName));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(file.readAll());
        file.close();
        const int before = text.size();
        text.remove(QRegularExpression("<med-cond-range>.*</med-cond-range>"));
        text.remove(QRegularExpression("<arb-response-function>.*</arb-response-function>",
            QRegularExpression::DotMatchesEverythingOption
                | QRegularExpression::InvertedGreedinessOption));
        QVERIFY(text.size() < before);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
    }
    QVERIFY2(m_engine.buildLinks(), qPrintable(m_engine.errorString()));
    QCOMPARE(m_engine.info->condRangeMap().size(), reduced ? 2 : 3);
    QCOMPARE(m_engine.info->arbResponse().isEmpty(), reduced);
    m_source = std::make_unique<Source>(
        m_engine.writer.get(), m_engine.info.get(), m_engine.status.get(), &m_engine.config);
    QVERIFY(m_engine.flushWriter());
    QVERIFY(m_engine.board->clearLog());
}

QList<PowerBoard::LogEntry> tst_Source::writesSinceClear()
{
    if (!m_engine.flushWriter())
        return {};
    return m_engine.board->log();
}

void tst_Source::refusalsSendNothing_data()
{
    using K = KeywordBridge_CcCrCvCpArb;
    using R = KeywordBridge_LowMedHigh;
    QTest::addColumn<bool>("reduced");
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<Call>("call");
    QTest::addColumn<int>("error");

    const Setup none = [] {};
    const Setup loadOn = [] {
        Source::m_stateLoad = true;
    };
    const Setup running = [] {
        Source::setProgramRunState(KeywordBridge_IdleWtgRun::RUN);
    };
    const Setup shortOn = [] {
        Source::m_outputShort = true;
    };
    const Call mediumRange = [](Source &s) {
        return s.setCurrentRange(R::MED, vek::UpdateIfChanged);
    };
    const Call lowRange = [](Source &s) {
        return s.setCurrentRange(R::LOW, vek::UpdateIfChanged);
    };
    const Call pulseOn = [](Source &s) {
        return s.setPulseState(true);
    };
    const Call sineOn = [](Source &s) {
        return s.setSineState(true);
    };
    const Call externalOn = [](Source &s) {
        return s.setExternal(true);
    };
    const auto softStart = [](double t) {
        return Call([t](Source &s) {
            return s.setCurrentSSTime(t);
        });
    };
    const auto sources = [](IoControl::TrigTransientSources t) {
        return Call([t](Source &s) {
            return s.setTriggerSources(t);
        });
    };

    QTest::newRow("medium range of a model with two conductance ranges")
        << true << none << mediumRange << -222;
    QTest::newRow("low voltage range of a model with one voltage range")
        << false << none << Call([](Source &s) {
               return s.setVoltageRange(KeywordBridge_LowHigh::LOW);
           })
        << -222;
    QTest::newRow("current range with the load on") << false << loadOn << lowRange << 102;
    QTest::newRow("current range while a program runs") << false << running << lowRange << 104;
    QTest::newRow("load on is checked before the program") << false << Setup([] {
        Source::m_stateLoad = true;
        Source::setProgramRunState(KeywordBridge_IdleWtgRun::WTG);
    }) << lowRange << 102;
    QTest::newRow("function mode with the load on") << false << loadOn << Call([](Source &s) {
        return s.setFunctionMode(K::CR);
    }) << 102;
    QTest::newRow("function mode other than CC with sine on") << false << Setup([] {
        Source::m_sineState = true;
    }) << Call([](Source &s) {
        return s.setFunctionMode(K::CR);
    }) << -221;
    QTest::newRow("CV option in CV mode") << false << Setup([] {
        Source::m_functionMode = K::CV;
    }) << Call([](Source &s) {
        return s.setFunctionModeCvOption(true);
    }) << 106;
    QTest::newRow("CV option with external CV and the load on") << false << Setup([] {
        Source::m_voltExternal = true;
        Source::m_stateLoad = true;
    }) << Call([](Source &s) {
        return s.setFunctionModeCvOption(true);
    }) << 102;
    QTest::newRow("pulse in CP mode") << false << Setup([] {
        Source::m_functionMode = K::CP;
    }) << pulseOn << 106;
    QTest::newRow("unchanged pulse state comes before the mode check") << false << Setup([] {
        Source::m_functionMode = K::CP;
    }) << Call([](Source &s) {
        return s.setPulseState(false);
    }) << 0;
    QTest::newRow("pulse with the output short") << false << shortOn << pulseOn << 103;
    QTest::newRow("pulse with external control") << false << Setup([] {
        Source::m_external = true;
    }) << pulseOn << 111;
    QTest::newRow("sine in CR mode") << false << Setup([] {
        Source::m_functionMode = K::CR;
    }) << sineOn << 106;
    QTest::newRow("sine with the output short") << false << shortOn << sineOn << 103;
    QTest::newRow("external control with the load on and the output short") << false << Setup([] {
        Source::m_stateLoad = true;
        Source::m_outputShort = true;
    }) << externalOn << 102;
    QTest::newRow("external control with the output short")
        << false << shortOn << externalOn << 103;
    QTest::newRow("external control with pulse on") << false << Setup([] {
        Source::m_pulseState = true;
    }) << externalOn << 105;
    QTest::newRow("external control with sine on") << false << Setup([] {
        Source::m_sineState = true;
    }) << externalOn << 113;
    QTest::newRow("external control while a program runs") << false << running << externalOn << 104;
    QTest::newRow("soft start below the table") << false << none << softStart(-0.001) << -222;
    QTest::newRow("soft start above the table") << false << none << softStart(0.03) << -222;
    QTest::newRow("soft start not a number") << false << none << softStart(qQNaN()) << -222;
    QTest::newRow("soft start while a program runs") << false << running << softStart(0.001) << 104;
    QTest::newRow("ARB response of a model without the table")
        << true << none << Call([](Source &s) {
               return s.setArbResponse(0.001);
           })
        << -113;
    QTest::newRow("ARB response above the table") << false << none << Call([](Source &s) {
        return s.setArbResponse(0.1);
    }) << -222;
    QTest::newRow("voltage response with the load on") << false << loadOn << Call([](Source &s) {
        return s.setVoltageResponse(KeywordBridge_NormFast::FAST);
    }) << 102;
    QTest::newRow("remote sensing with the load on") << false << loadOn << Call([](Source &s) {
        return s.setRemoteSensing(true, vek::UpdateIfChanged);
    }) << 102;
    QTest::newRow("DIGITAL2 direction while a program runs")
        << false << running << Call([](Source &s) {
               return s.setDigital2Direction(KeywordBridge_InpOutp::OUTP, vek::UpdateIfChanged);
           })
        << 104;
    QTest::newRow("no trigger source") << false << none << sources({}) << -224;
    QTest::newRow("no trigger source is checked before the program")
        << false << running << sources({}) << -224;
    QTest::newRow("immediate with bus")
        << false << none << sources(IoControl::ttsImmediate | IoControl::ttsBus) << 204;
    QTest::newRow("trigger sources while a program runs")
        << false << running << sources(IoControl::ttsBus) << 104;
    QTest::newRow("trigger delay above 100 s") << false << none << Call([](Source &s) {
        return s.setTriggerDelay(100.5);
    }) << -222;
    QTest::newRow("negative trigger delay") << false << none << Call([](Source &s) {
        return s.setTriggerDelay(-0.1);
    }) << -222;
}

void tst_Source::refusalsSendNothing()
{
    QFETCH(bool, reduced);
    QFETCH(Setup, setup);
    QFETCH(Call, call);
    QFETCH(int, error);

    build(reduced);
    setup();
    QSignalSpy changes(m_source.get(), &Source::operationModeChanged);
    QSignalSpy ranges(m_source.get(), &Source::currRangeChanged);
    QSignalSpy externals(m_source.get(), &Source::externalChanged);
    const quint32 delay = Source::m_triggerDelay;
    const auto sources = Source::triggerSources();
    const double softStart = Source::m_ssTime;

    QCOMPARE(int(call(*m_source)), error);

    const QList<PowerBoard::LogEntry> log = writesSinceClear();
    QVERIFY2(log.isEmpty(), qPrintable(describe(log)));
    QVERIFY(changes.isEmpty());
    QVERIFY(ranges.isEmpty());
    QVERIFY(externals.isEmpty());
    QCOMPARE(Source::m_triggerDelay.load(), delay);
    QCOMPARE(Source::triggerSources(), sources);
    QCOMPARE(Source::m_ssTime.load(), softStart);
}

void tst_Source::interlockedSetterSeesAStoreMadeWhileItWaits_data()
{
    using K = KeywordBridge_CcCrCvCpArb;
    QTest::addColumn<Call>("call");
    QTest::addColumn<Setup>("store");
    QTest::addColumn<int>("error");
    QTest::addColumn<Setup>("check");

    QTest::newRow("sine on while the mode becomes CV") << Call([](Source &s) {
        return s.setSineState(true);
    }) << Setup([] {
        Source::m_functionMode = K::CV;
    }) << 106 << Setup([] {
        QVERIFY(!Source::m_sineState);
    });
    QTest::newRow("CV mode while sine goes on") << Call([](Source &s) {
        return s.setFunctionMode(K::CV);
    }) << Setup([] {
        Source::m_sineState = true;
    }) << -221 << Setup([] {
        QCOMPARE(Source::m_functionMode.load(), K::CC);
    });
    QTest::newRow("CV option while the mode becomes CP") << Call([](Source &s) {
        return s.setFunctionModeCvOption(true);
    }) << Setup([] {
        Source::m_functionMode = K::CP;
    }) << 106 << Setup([] {
        QVERIFY(!Source::m_functionModeCvOption);
    });
    QTest::newRow("pulse on while external control goes on") << Call([](Source &s) {
        return s.setPulseState(true);
    }) << Setup([] {
        Source::m_external = true;
    }) << 111 << Setup([] {
        QVERIFY(!Source::m_pulseState);
    });
    QTest::newRow("external control while pulse goes on") << Call([](Source &s) {
        return s.setExternal(true);
    }) << Setup([] {
        Source::m_pulseState = true;
    }) << 105 << Setup([] {
        QVERIFY(!Source::m_external);
    });
    QTest::newRow("current range while the load goes on") << Call([](Source &s) {
        return s.setCurrentRange(KeywordBridge_LowMedHigh::LOW, vek::UpdateIfChanged);
    }) << Setup([] {
        Source::m_stateLoad = true;
    }) << 102 << Setup([] {
        QCOMPARE(Source::m_currRange.load(), KeywordBridge_LowMedHigh::HIGH);
    });
    QTest::newRow("CV response while a program starts") << Call([](Source &s) {
        return s.setVoltageResponse(KeywordBridge_NormFast::FAST);
    }) << Setup([] {
        Source::setProgramRunState(KeywordBridge_IdleWtgRun::RUN);
    }) << 104 << Setup([] {
        QCOMPARE(Source::m_voltResponse.load(), KeywordBridge_NormFast::NORM);
    });
    QTest::newRow("external CV control while the load goes on") << Call([](Source &s) {
        return s.setVoltageExternal(true);
    }) << Setup([] {
        Source::m_stateLoad = true;
    }) << 102 << Setup([] {
        QVERIFY(!Source::m_voltExternal);
    });
    QTest::newRow("added external control while a program starts") << Call([](Source &s) {
        return s.setCurrentAddExternal(true);
    }) << Setup([] {
        Source::setProgramRunState(KeywordBridge_IdleWtgRun::RUN);
    }) << 104 << Setup([] {
        QVERIFY(!Source::m_ccAddExternal);
    });
    QTest::newRow("soft start while the load goes on") << Call([](Source &s) {
        return s.setCurrentSSTime(0.5);
    }) << Setup([] {
        Source::m_stateLoad = true;
    }) << 102 << Setup([] {
        QCOMPARE(Source::m_ssTime.load(), 0.0);
    });
}

// The panel and the parser call setters at once. Here the other setter's store is made under
// the engine lock while the setter under test, in its own thread, is on its way: it must see
// the store and refuse, rather than pass its checks first and store after.
void tst_Source::interlockedSetterSeesAStoreMadeWhileItWaits()
{
    QFETCH(Call, call);
    QFETCH(Setup, store);
    QFETCH(int, error);
    QFETCH(Setup, check);
    build();

    std::atomic<bool> entered { false };
    std::atomic<int> result { 1 };
    std::unique_ptr<QThread> thread(QThread::create([&] {
        entered = true;
        result = call(*m_source);
    }));
    {
        vek::EngineLocker lock(&vek::engineMutex());
        thread->start();
        QTRY_VERIFY(entered);
        // Held off until the other step ends.
        QVERIFY(!thread->wait(50));
        store();
    }
    QVERIFY(thread->wait(5000));
    QCOMPARE(result.load(), error);
    check();
}

void tst_Source::highRangeTakesTheExternalRangeBits()
{
    build();
    QCOMPARE(m_source->setCurrentRange(KeywordBridge_LowMedHigh::LOW, vek::UpdateIfChanged),
        SCPIERR_T(0));
    QCOMPARE(m_engine.modeWord() & 0x300, 0x100u);

    // The range input reports medium: high follows it.
    Source::m_extCurrIoRange = 0x200;
    QSignalSpy ranges(m_source.get(), &Source::currRangeChanged);
    QVERIFY(m_engine.board->clearLog());
    QCOMPARE(m_source->setCurrentRange(KeywordBridge_LowMedHigh::HIGH, vek::UpdateIfChanged),
        SCPIERR_T(0));
    QCOMPARE(m_engine.modeWord() & 0x300, 0x200u);
    const QList<PowerBoard::LogEntry> log = m_engine.board->log();
    QCOMPARE(
        writesTo(log, ProgramGroupAddress, 1), QList<quint32>({ 0x4000000 })); // integral reset
    QCOMPARE(ranges.size(), 1);
    QCOMPARE(ranges.at(0).at(0).value<vek::SourceCurrentRange>(), KeywordBridge_LowMedHigh::MED);
    QCOMPARE(ranges.at(0).at(1).value<vek::SourceCurrentRange>(), KeywordBridge_LowMedHigh::HIGH);
    QCOMPARE(Source::m_currRange.load(), KeywordBridge_LowMedHigh::HIGH);
    QCOMPARE(Source::getCurrentRange(), KeywordBridge_LowMedHigh::MED);
    QCOMPARE(Source::getPowerRange(), 4);
}

void tst_Source::sameRangeWithAlwaysIsAppliedAgain()
{
    build();
    QSignalSpy ranges(m_source.get(), &Source::currRangeChanged);
    QCOMPARE(m_source->setCurrentRange(KeywordBridge_LowMedHigh::HIGH, vek::UpdateIfChanged),
        SCPIERR_T(0));
    QVERIFY(writesSinceClear().isEmpty());
    QCOMPARE(ranges.size(), 0);

    QCOMPARE(
        m_source->setCurrentRange(KeywordBridge_LowMedHigh::HIGH, vek::UpdateAlways), SCPIERR_T(0));
    QCOMPARE(writesTo(writesSinceClear(), ProgramGroupAddress, 1), QList<quint32>({ 0x4000000 }));
    QCOMPARE(ranges.size(), 1);
}

void tst_Source::softStartTakesTheNextTableTime()
{
    build();
    QCOMPARE(m_source->setCurrentSSTime(0.0003), SCPIERR_T(0));
    QCOMPARE(Source::m_ssTime.load(), 0.0005);
    // Bits 16-19 carry the code; bit 15 is the link's own companion of bit 19.
    QCOMPARE(m_engine.modeWord() & 0xF0000, 0xA0000u);

    // The time taken counts as unchanged.
    QVERIFY(m_engine.board->clearLog());
    QCOMPARE(m_source->setCurrentSSTime(0.0005), SCPIERR_T(0));
    QVERIFY(writesSinceClear().isEmpty());
    // The last table time is still inside.
    QCOMPARE(m_source->setCurrentSSTime(0.02), SCPIERR_T(0));
    QCOMPARE(m_engine.modeWord() & 0xF0000, 0xF0000u);
}

void tst_Source::triggerDelayInMicroseconds_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("error");
    QTest::addColumn<quint32>("us");

    QTest::newRow("rounded half up") << 1.2345678 << 0 << 1234568u;
    QTest::newRow("below half a microsecond") << 0.0000004 << 0 << 0u;
    QTest::newRow("upper limit") << 100.0 << 0 << 100000000u;
    QTest::newRow("zero") << 0.0 << 0 << 0u;
    QTest::newRow("above the limit keeps the delay") << 100.5 << -222 << 7u;
}

void tst_Source::triggerDelayInMicroseconds()
{
    QFETCH(double, seconds);
    QFETCH(int, error);
    QFETCH(quint32, us);

    build();
    Source::m_triggerDelay = 7;
    QCOMPARE(int(m_source->setTriggerDelay(seconds)), error);
    QCOMPARE(Source::m_triggerDelay.load(), us);
    QVERIFY(writesSinceClear().isEmpty()); // sent at the next program start
}

void tst_Source::functionModeWithPulseRunsOnTheCcLoop()
{
    build();
    QCOMPARE(m_source->setPulseState(true), SCPIERR_T(0));
    QSignalSpy modes(m_source.get(), &Source::operationModeChanged);
    QCOMPARE(m_source->setFunctionMode(KeywordBridge_CcCrCvCpArb::CV), SCPIERR_T(0));
    QCOMPARE(m_engine.modeWord() & 0xF, 0x1u);
    QCOMPARE(Source::m_functionMode.load(), KeywordBridge_CcCrCvCpArb::CV);
    QCOMPARE(modes.size(), 1);
    // The transient restarts as pulse through the command register.
    QCOMPARE(writesTo(m_engine.board->log(), CommandAddress).value(0) & 0xFF, 0x20u);

    // Sine switches pulse off, and only CC may then be chosen.
    QCOMPARE(m_source->setFunctionMode(KeywordBridge_CcCrCvCpArb::CC), SCPIERR_T(0));
    QCOMPARE(m_source->setSineState(true), SCPIERR_T(0));
    QVERIFY(!Source::m_pulseState);
    QCOMPARE(m_source->setFunctionMode(KeywordBridge_CcCrCvCpArb::CV), SCPIERR_T(-221));
}

void tst_Source::initializeAnnouncesAndConnectsTheInputs()
{
    build();
    Source::m_extCurrIoRange = 0x100;
    Source::m_voltRange = KeywordBridge_LowHigh::LOW;
    // A second source, as the engine root builds two: initialize() runs once events do.
    Source other(
        m_engine.writer.get(), m_engine.info.get(), m_engine.status.get(), &m_engine.config);
    QSignalSpy modes(&other, &Source::operationModeChanged);
    QSignalSpy ranges(&other, &Source::currRangeChanged);
    QSignalSpy voltRanges(&other, &Source::voltRangeChanged);
    QSignalSpy outputs(&other, &Source::outputUiChanged);
    QTRY_COMPARE(modes.size(), 1);
    QCOMPARE(modes.at(0).at(0).value<vek::SourceMode>(), KeywordBridge_CcCrCvCpArb::CC);
    QCOMPARE(ranges.size(), 1);
    QCOMPARE(ranges.at(0).at(0).value<vek::SourceCurrentRange>(), KeywordBridge_LowMedHigh::LOW);
    QCOMPARE(ranges.at(0).at(1).value<vek::SourceCurrentRange>(), KeywordBridge_LowMedHigh::LOW);
    QCOMPARE(voltRanges.size(), 1);
    QCOMPARE(Source::getPowerRange(), 0);

    m_engine.status->onStatusChange(0x00200001, IoControl::TranStateSteady); // load on, CC
    QCOMPARE(outputs.size(), 1);
    QVERIFY(Source::m_stateLoad);
    QVERIFY(!Source::m_extLoad); // bit 23 clear
    QCOMPARE(
        other.setCurrentRange(KeywordBridge_LowMedHigh::MED, vek::UpdateIfChanged), SCPIERR_T(102));

    // A second initialize() does not double the connections.
    other.initialize();
    m_engine.status->onStatusChange(0x00800010, IoControl::TranStateSteady);
    QCOMPARE(outputs.size(), 2);
    QVERIFY(!Source::m_stateLoad);
    QVERIFY(Source::m_extLoad);
}

void tst_Source::clearProtectionRearmsTheWatchdogOnce()
{
    build();
    int rearmed = 0;
    Source::setWatchdogRecovery([&rearmed] {
        ++rearmed;
    });

    QCOMPARE(m_source->setWatchdogProtection(), SCPIERR_T(0));
    QVERIFY(Source::getWatchdogProtectiont());
    QCOMPARE(writesTo(writesSinceClear(), AlarmAddress), QList<quint32>({ 0x10000000 }));

    QVERIFY(m_engine.board->clearLog());
    QCOMPARE(m_source->clearProtection(), SCPIERR_T(0));
    QCOMPARE(m_source->clearProtection(), SCPIERR_T(0));
    QCOMPARE(rearmed, 1);
    QVERIFY(!Source::getWatchdogProtectiont());
    QCOMPARE(writesTo(writesSinceClear(), AlarmAddress).value(0), 0x20000000u);

    // The AC-fail alarm is the same alarm without a watchdog trip to recover from.
    QCOMPARE(m_source->setAcFailProtection(), SCPIERR_T(0));
    QCOMPARE(m_source->clearProtection(), SCPIERR_T(0));
    QCOMPARE(rearmed, 1);
}

void tst_Source::requestHandShakeAcrossThreads_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("result");
    QTest::newRow("answered by a slot in the GUI thread") << "queued" << 304;
    QTest::newRow("answered before the wait begins") << "at once" << 305;
    QTest::newRow("never answered, ended by the shut-down") << "never" << -200;
}

void tst_Source::requestHandShakeAcrossThreads()
{
    QFETCH(QString, answer);
    QFETCH(int, result);
    build();
    Source *source = m_source.get();
    std::atomic<int> got { 1 };
    std::atomic<bool> asked { false };
    std::unique_ptr<QThread> handler(QThread::create([&] {
        // As a remote handler does.
        got = source->runRequest([&] {
            if (answer == "queued") {
                QMetaObject::invokeMethod(
                    source,
                    [source] {
                        source->finishRequest(304);
                    },
                    Qt::QueuedConnection);
            } else if (answer == "at once") {
                source->finishRequest(305);
            }
            asked = true;
        });
    }));
    handler->start();
    if (answer == "never") {
        // As the parser's shut-down does: a wait begun after one call is ended by the next.
        QTRY_VERIFY(asked.load());
        QVERIFY(!handler->wait(50));
        while (!handler->wait(10))
            Source::interruptRequests();
    }
    QTRY_COMPARE(got.load(), result);
    QVERIFY(handler->wait(5000));
}

QTEST_MAIN(tst_Source)
#include "tst_Source.moc"
