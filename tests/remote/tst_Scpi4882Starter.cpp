#include "remote/Scpi4882Starter.h"

#include "remote/StatusRegisters.h"
#include "remote/ZO4882Parser.h"
#include "remote/ZOSystErrCue.h"
#include "remote/_IFCTRL_SINK.h"
#include "tests/remote/support/FakePreferences.h"
#include "tests/remote/support/StandardTestDictionary.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using zo4882::Scpi4882Starter;

namespace {

// The preferences' switches that decide which transports exist; everything else answers 0.
class SwitchedPreferences : public FakePreferences
{
public:
    bool lan = false;
    bool getLanEnabled() const override { return lan; }
};

} // namespace

// The remote-control start-up in one process, on free ports, with the library's test dictionary.
class tst_Scpi4882Starter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void everythingDisabledStillParses();
    void watchdogFromTheConfiguration_data();
    void watchdogFromTheConfiguration();
    void lanServicesListen();
    void takenPortIsReportedAndTheRestStarts();

private:
    Scpi4882Starter::Instrument instrument();

    SwitchedPreferences m_preferences;
    zo4882::_IFCTRL_SINK m_sink;
};

Scpi4882Starter::Instrument tst_Scpi4882Starter::instrument()
{
    Scpi4882Starter::Instrument instrument;
    instrument.createParser = [] {
        return std::make_unique<zo4882::ZO4882Parser>(
            standardtest::dictionary(), zo4882::NODE_SOURCE);
    };
    instrument.controlSink = &m_sink;
    instrument.preferences = &m_preferences;
    return instrument;
}

void tst_Scpi4882Starter::init()
{
    zo4882::init4882();
    zo4882::s_systErrCue.clear();
    m_preferences.lan = false;
}

void tst_Scpi4882Starter::cleanup()
{
    Scpi4882Starter::shutDown();
    QVERIFY(!Scpi4882Starter::isStarted());
    QVERIFY(!zo4882::ZO4882Parser::s_pSelf.load());
}

void tst_Scpi4882Starter::everythingDisabledStillParses()
{
    QCOMPARE(Scpi4882Starter::start(instrument()), 0);
    zo4882::ZO4882Parser *parser = Scpi4882Starter::parser();
    QVERIFY(parser);
    QCOMPARE(zo4882::ZO4882Parser::s_pSelf.load(), parser);
    QCOMPARE(parser->denyFlags(), 1u);
    QCOMPARE(parser->watchDogPeriod(), 0);
    QCOMPARE(Scpi4882Starter::rawPort(), quint16(0));
    QCOMPARE(Scpi4882Starter::telnetPort(), quint16(0));
    QCOMPARE(Scpi4882Starter::hislipPort(), quint16(0));
    QCOMPARE(Scpi4882Starter::vxi11CorePort(), quint16(0));
    QVERIFY(!Scpi4882Starter::servesRs232());
    QVERIFY(!Scpi4882Starter::servesUsbtmc());
    for (zo4882::ZO_STAT_REGISTER *reg : { &zo4882::s_statOper, &zo4882::s_statQues }) {
        QCOMPARE(reg->ptr(), short(0x7FFF));
        QCOMPARE(reg->ntr(), short(0));
        QCOMPARE(reg->enabler(), short(0));
        QCOMPARE(reg->validMask(), short(0x7FFF));
    }
}

void tst_Scpi4882Starter::watchdogFromTheConfiguration_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("delaySeconds");
    QTest::addColumn<int>("periodMs");
    QTest::newRow("on, 5 s") << true << 5 << 5000;
    QTest::newRow("off, 5 s") << false << 5 << 0;
}

void tst_Scpi4882Starter::watchdogFromTheConfiguration()
{
    QFETCH(bool, enabled);
    QFETCH(int, delaySeconds);
    QFETCH(int, periodMs);
    Scpi4882Starter::Instrument setup = instrument();
    setup.watchdogEnabled = enabled;
    setup.watchdogDelaySeconds = delaySeconds;
    QCOMPARE(Scpi4882Starter::start(setup), 0);
    QCOMPARE(Scpi4882Starter::parser()->watchDogPeriod(), periodMs);
}

void tst_Scpi4882Starter::lanServicesListen()
{
    m_preferences.lan = true;
    Scpi4882Starter::Options options;
    options.rawPort = options.telnetPort = options.hislipPort = 0;
    options.vxi11 = false;
    QCOMPARE(Scpi4882Starter::start(instrument(), options), 0);
    for (quint16 port : { Scpi4882Starter::rawPort(),
             Scpi4882Starter::telnetPort(),
             Scpi4882Starter::hislipPort() }) {
        QVERIFY(port != 0);
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY2(client.waitForConnected(10000), qPrintable(client.errorString()));
    }
    // A raw-socket query runs through the started parser.
    QTcpSocket raw;
    raw.connectToHost(QHostAddress::LocalHost, Scpi4882Starter::rawPort());
    QVERIFY(raw.waitForConnected(10000));
    raw.write("*ESE?\n");
    while (!raw.canReadLine() && raw.waitForReadyRead(20000)) { }
    QCOMPARE(raw.readLine(), QByteArray("+0\n"));
}

void tst_Scpi4882Starter::takenPortIsReportedAndTheRestStarts()
{
    QTcpServer squatter;
    QVERIFY(squatter.listen(QHostAddress::Any, 0));
    m_preferences.lan = true;
    Scpi4882Starter::Options options;
    options.rawPort = squatter.serverPort();
    options.telnetPort = options.hislipPort = 0;
    options.vxi11 = false;
    QVERIFY(Scpi4882Starter::start(instrument(), options) != 0);
    QCOMPARE(Scpi4882Starter::startError(), QStringLiteral("TCP port %1").arg(options.rawPort));
    QVERIFY(zo4882::s_systErrCue.count() >= 1);
    QVERIFY(Scpi4882Starter::telnetPort() != 0);
    QVERIFY(Scpi4882Starter::parser());
}

QTEST_GUILESS_MAIN(tst_Scpi4882Starter)
#include "tst_Scpi4882Starter.moc"
