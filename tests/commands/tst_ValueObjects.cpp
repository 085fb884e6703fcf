#include "commands/DictIndexNative.h"
#include "commands/MyParser.h"
#include "commands/OutputValues.h"
#include "commands/SourceValues.h"
#include "commands/ValueNotAvailable.h"
#include "commands/ValueObjects.h"
#include "instrument/InstrumentConfigInfo.h"
#include "remote/IParserEventSink.h"
#include "remote/ZO4882ParserDelegate.h"
#include "remote/ZOCommandRunner.h"
#include "remote/ZOSystErrCue.h"
#include "remote/ZOValueManager.h"

#include <QtTest>

#include <memory>

using namespace zo4882;

namespace {

// The parser's part as the instrument's parser plays it: every unit through the command runner.
class RunningSink : public IParserEventSink
{
public:
    void OnParsed(const ZO_PARSER_RESULT *result, const unsigned &, ZOCmdArg **answer) override
    {
        ZOCommandRunner::run(result, answer);
    }
    short OnSettingsConflict(unsigned) const override { return -203; }
};

template <class V> V *registered(unsigned id)
{
    return dynamic_cast<V *>(zostd::ZOValueManager::s_pSelf->find(id));
}

} // namespace

// The value registry as createValueObjects() leaves it, without an engine: every id in place,
// placeholders where a family is still to come, the twins linked, and what the dictionary makes
// of them.
class tst_ValueObjects : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void everyIdOnce();
    void placeholdersStandForFamiliesToCome();
    void triggeredLevelFollowsItsTwin();
    void keywordValueIsItsOwnBridge();
    void messages_data();
    void messages();
    void watchdogFollowsStateAndDelay();
    void createdAgainReplacesTheSet();

private:
    RunningSink m_sink;
    std::unique_ptr<DictIndexNative> m_index;
    std::unique_ptr<ZO4882ParserDelegate> m_parser;
};

void tst_ValueObjects::initTestCase()
{
    QCOMPARE(createValueObjects(ValueEngine {}), 116);
    m_index = std::make_unique<DictIndexNative>();
    m_parser = std::make_unique<ZO4882ParserDelegate>(&m_sink);
    m_parser->registerDictionary(m_index.get(), NODE_SOURCE);
}

void tst_ValueObjects::cleanupTestCase()
{
    m_parser.reset();
    m_index.reset();
}

void tst_ValueObjects::everyIdOnce()
{
    const zostd::ZOValueManager &registry = *zostd::ZOValueManager::s_pSelf;
    // Every id a dictionary entry names is there, under its own id.
    for (const ZO_SCPI_DICT_ENTRY &entry : DictIndexNative::s_dictNative) {
        if (!entry.valueId)
            continue;
        const zostd::IValue *value = registry.find(entry.valueId);
        QVERIFY2(value, entry.name);
        QCOMPARE(value->getID(), entry.valueId);
    }
    // So are the ids only the panel and the request service reach.
    for (unsigned id : { 141u, 146u, 1206u, 4001u, 9903u, 9904u, 9905u })
        QVERIFY2(
            registry.find(id) && registry.find(id)->getID() == id, qPrintable(QString::number(id)));
    QVERIFY(!registry.find(2108));
    QVERIFY(!registry.find(0));
}

void tst_ValueObjects::placeholdersStandForFamiliesToCome()
{
    const auto *zcur = registered<ValueNotAvailable>(9903);
    QVERIFY(zcur);
    QCOMPARE(zcur->className(), "ValueZcur");
    auto *beep = registered<ValueNotAvailable>(1301);
    QVERIFY(beep);
    QCOMPARE(beep->className(), "ValueSystBeepKey");
    QCOMPARE(beep->getKvType(), ValueNotAvailable::kvtype);
    QCOMPARE(beep->commit(), -200);

    QVERIFY(registered<ValueCurr>(110));
    QVERIFY(registered<ValueCurrTrig>(111));
    QVERIFY(registered<ValueVoltResp>(174));
    QVERIFY(registered<ValueOutp>(140));
}

void tst_ValueObjects::triggeredLevelFollowsItsTwin()
{
    auto *level = registered<ValueCurr>(110);
    auto *triggered = registered<ValueCurrTrig>(111);
    QVERIFY(level && triggered);
    QCOMPARE(level->twin(), triggered);
    QCOMPARE(triggered->twin(), level);
    // Without model information the level's stored limits are its limits.
    level->setLimits(0.5, 7.0);
    QCOMPARE(triggered->getMin(), 0.5);
    QCOMPARE(triggered->getMax(), 7.0);
    QCOMPARE(triggered->setValue(1.0), -113);
}

void tst_ValueObjects::keywordValueIsItsOwnBridge()
{
    auto *response = registered<ValueVoltResp>(174);
    QVERIFY(response);
    const zostd::IKeywordBridge *bridge = response->getKeywordBridge();
    QVERIFY(bridge);
    QCOMPARE(bridge->getCount(), 2);
    QCOMPARE(bridge->getMappedValue("normal"), 0);
    QCOMPARE(bridge->getMappedKeyword(0), std::string("NORM"));
    QCOMPARE(int(response->getMin()), 0);
    QCOMPARE(int(response->getMax()), 1);
    QVERIFY(response->rangeCheck());
    QCOMPARE(response->setValue(2), -222);
}

void tst_ValueObjects::messages_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("errors");

    const QStringList notAvailable { "-200 not available" };
    // A value family still to come: both forms refused, nothing answered.
    QTest::newRow("switch to come")
        << QByteArray("SYST:BEEP:KEY ON") << QByteArray() << notAvailable;
    QTest::newRow("switch query to come")
        << QByteArray("SYST:BEEP:KEY?") << QByteArray() << notAvailable;
    QTest::newRow("program action without the program object")
        << QByteArray("INIT:TRAN:PROG") << QByteArray() << QStringList { "-200 INIT:TRAN:PROG" };
    QTest::newRow("channel value to come")
        << QByteArray("ZCUR? (@1)") << QByteArray() << notAvailable;
    // A handler still to come, also over a value still to come.
    QTest::newRow("handler to come") << QByteArray("*RST") << QByteArray() << notAvailable;
    QTest::newRow("keyword list") << QByteArray("SYST:CONF:SOUT:PROT?")
                                  << QByteArray("NONE,OC,OP,UV,WDOG\n") << QStringList();
    QTest::newRow("keyword list word twice")
        << QByteArray("SYST:CONF:SOUT:PROT OC,OC") << QByteArray()
        << QStringList { "202 SYST:CONF:SOUT:PROT OC,OC" };
    QTest::newRow("keyword list unknown word")
        << QByteArray("SYST:CONF:SOUT:PROT OC,XX") << QByteArray()
        << QStringList { "-224 SYST:CONF:SOUT:PROT OC,XX" };
    QTest::newRow("setup number checked first")
        << QByteArray("*SAV 20") << QByteArray() << QStringList { "-222 *SAV 20" };
    QTest::newRow("each unit answers")
        << QByteArray("*RST;*SAV 1") << QByteArray() << (notAvailable + notAvailable);
    // Built values.
    QTest::newRow("triggered level refused")
        << QByteArray("CURR:TRIG 1") << QByteArray() << QStringList { "-113 CURR:TRIG 1" };
    QTest::newRow("every triggered level refused")
        << QByteArray("COND:TRIG 1;:POW:TRIG 1;:VOLT:TRIG 1") << QByteArray()
        << QStringList { "-113 COND:TRIG 1", "-113 POW:TRIG 1", "-113 VOLT:TRIG 1" };
    QTest::newRow("duty cycle limits")
        << QByteArray("CURR:PULS:DCYC? MAX;DCYC? MIN") << QByteArray("+9.50000E+01;+5.00000E+00\n")
        << QStringList();
    QTest::newRow("sine frequency limit")
        << QByteArray("CURR:SINE:FREQ? MAX") << QByteArray("+1.00000E+04\n") << QStringList();
    QTest::newRow("keyword answer")
        << QByteArray("VOLT:RESP?") << QByteArray("NORM\n") << QStringList();
    QTest::newRow("keyword not in the bridge")
        << QByteArray("VOLT:RESP SLOW") << QByteArray() << QStringList { "-224 VOLT:RESP SLOW" };
}

void tst_ValueObjects::messages()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, errors);

    s_systErrCue.clear();
    const int length = m_parser->parse(INTF_SOCKET, message.constData(), message.size(), 0);
    QCOMPARE(QByteArray(m_parser->response(), length), answer);
    QStringList queued;
    while (!s_systErrCue.isEmpty()) {
        const SYST_ERR_INFO e = s_systErrCue.decue();
        queued << QString::number(e.code()) + ' ' + e.detail();
    }
    QCOMPARE(queued, errors);
}

void tst_ValueObjects::watchdogFollowsStateAndDelay()
{
    InstrumentConfigInfo config;
    config.clear();
    ValueEngine engine;
    engine.config = &config;
    QCOMPARE(createValueObjects(engine), 116);
    MyParser parser(m_index.get(), {});
    auto *state = registered<ValueOutpProtWdog>(ValueOutpProtWdog::Id);
    auto *delay = registered<ValueOutpProtWdogDel>(ValueOutpProtWdogDel::Id);
    QVERIFY(state && delay);

    // A delay set while off is stored and leaves the watchdog off; switching on uses it.
    QCOMPARE(delay->setValue(10), 0);
    QCOMPARE(config.wdogDelay, 10);
    QCOMPARE(parser.watchDogPeriod(), 0);
    QCOMPARE(state->setValue(1), 0);
    QVERIFY(config.wdogEnabled);
    QCOMPARE(parser.watchDogPeriod(), 10000);
    // While on, a new delay takes effect at once; one outside 1 to 3600 s changes nothing.
    QCOMPARE(delay->setValue(3), 0);
    QCOMPARE(parser.watchDogPeriod(), 3000);
    for (int refused : { 0, 3601, -5 })
        QCOMPARE(delay->setValue(refused), -222);
    QCOMPARE(delay->getValue(), 3);
    QCOMPARE(parser.watchDogPeriod(), 3000);
    QCOMPARE(state->setValue(0), 0);
    QCOMPARE(parser.watchDogPeriod(), 0);
    QCOMPARE(int(state->getValue()), 0);
    QCOMPARE(config.wdogDelay, 3);
    QCOMPARE(createValueObjects(ValueEngine {}), 116);
}

void tst_ValueObjects::createdAgainReplacesTheSet()
{
    const zostd::ZOValueManager *before = zostd::ZOValueManager::s_pSelf;
    QCOMPARE(createValueObjects(ValueEngine {}), 116);
    QVERIFY(zostd::ZOValueManager::s_pSelf != before);
    auto *level = registered<ValueCurr>(110);
    QVERIFY(level && level->twin() == registered<ValueCurrTrig>(111));
}

QTEST_GUILESS_MAIN(tst_ValueObjects)
#include "tst_ValueObjects.moc"
