#include "remote/IValueObserver.h"
#include "remote/ZO4882ParserDelegate.h"
#include "remote/ZOCmdArg.h"
#include "remote/ZODictIndex.h"
#include "remote/ZOGenericCommands.h"
#include "remote/ZOKeywordBridge.h"
#include "remote/ZOKvTypes.h"
#include "remote/ZONullValue.h"
#include "remote/ZOSystErrCue.h"
#include "remote/ZOValueManager.h"
#include "remote/ZOValue_bool8_t.h"
#include "remote/ZOValue_int16_t.h"
#include "remote/ZOValue_int32_t.h"
#include "remote/ZOValue_int32_t_engX.h"
#include "remote/ZOValue_keyword.h"
#include "remote/ZOValue_real64_t.h"
#include "remote/ZOValue_uint8_t.h"
#include "remote/ZO_SCPI_DICT_ENTRY.h"
#include "tests/remote/support/ParserTestDictionary.h"

#include <QtTest>

#include <memory>

using namespace zo4882;

namespace {

constexpr unsigned unit(unsigned c)
{
    return ZOCmdArg::unitWord(c);
}

const unsigned t_bool[] = { ZOCmdArg::ARG_INT | ZOCmdArg::ARG_REAL | ZOCmdArg::ARG_BOOL };
const unsigned t_level[] = { ZOCmdArg::ARG_REAL | ZOCmdArg::ARG_MINMAX
    | unit(ZOCmdArg::UNIT_SECOND) };
const unsigned t_int[] = { ZOCmdArg::ARG_INT };
const unsigned t_intmm[] = { ZOCmdArg::ARG_INT | ZOCmdArg::ARG_MINMAX };
const unsigned t_mm[] = { ZOCmdArg::ARG_MINMAX };
const unsigned t_char[] = { ZOCmdArg::ARG_CHAR | ZOCmdArg::ARG_STRING };
const unsigned t_string[] = { ZOCmdArg::ARG_STRING };

constexpr unsigned one = zoArgCount(1, 1);
constexpr unsigned none = zoArgCount(0, 0);
constexpr unsigned optional = zoArgCount(0, 1);

template <class T> constexpr ZOCommandFactory make = &ZOCommand::create<T>;

ZO_SCPI_DICT_ENTRY s_dict[16] = {
    { "ABOR",
        make<_IFMAIN_gen_null>,
        14,
        0,
        none,
        nullptr,
        0,
        none,
        nullptr,
        0,
        "A",
        nullptr,
        "^ABOR(T)?\\??$",
        0,
        nullptr },
    { "BYTE",
        make<_IFMAIN_gen_uint8>,
        15,
        0,
        one,
        t_int,
        0,
        none,
        nullptr,
        0,
        "B",
        nullptr,
        "^BYTE\\??$",
        0,
        nullptr },
    { "CURR",
        make<_IFMAIN_gen_real64>,
        11,
        0,
        one,
        t_level,
        0,
        optional,
        t_level,
        0,
        "C",
        nullptr,
        "^CURR\\??$",
        1,
        nullptr },
    { "DEL",
        make<_IFMAIN_gen32_engX>,
        12,
        0,
        one,
        t_level,
        0,
        optional,
        t_level,
        0,
        "D",
        nullptr,
        "^DEL\\??$",
        0,
        nullptr },
    { "FUNC",
        make<_IFMAIN_gen_keyword>,
        13,
        0,
        one,
        t_char,
        0,
        none,
        nullptr,
        0,
        "F",
        nullptr,
        "^FUNC\\??$",
        0,
        nullptr },
    { "GHOST",
        make<_IFMAIN_gen_real64>,
        99,
        0,
        one,
        t_level,
        0,
        none,
        nullptr,
        0,
        "G",
        nullptr,
        "^GHOST\\??$",
        0,
        nullptr },
    { "LONG",
        make<_IFMAIN_gen_int32>,
        17,
        0,
        one,
        t_intmm,
        0,
        optional,
        t_mm,
        0,
        "L",
        nullptr,
        "^LONG\\??$",
        0,
        nullptr },
    { "MIXD",
        make<_IFMAIN_gen_bool8>,
        11,
        0,
        one,
        t_bool,
        0,
        none,
        nullptr,
        0,
        "M",
        nullptr,
        "^MIXD\\??$",
        0,
        nullptr },
    { "NAME",
        make<_IFMAIN_gen_string>,
        18,
        0,
        one,
        t_string,
        0,
        none,
        nullptr,
        0,
        "N",
        nullptr,
        "^NAME\\??$",
        0,
        nullptr },
    { "OUTP",
        make<_IFMAIN_gen_bool8>,
        10,
        0,
        one,
        t_bool,
        0,
        none,
        nullptr,
        0,
        "O",
        nullptr,
        "^OUTP\\??$",
        0,
        nullptr },
    { "SHRT",
        make<_IFMAIN_gen_int16>,
        16,
        0,
        one,
        t_int,
        0,
        none,
        nullptr,
        0,
        "S",
        nullptr,
        "^SHRT\\??$",
        0,
        nullptr },
};

// A text value as the command set would write one for the StringValue tag.
class TextValue : public zostd::ZOValueRegisterer, public zostd::IValue, public IStringValue
{
public:
    explicit TextValue(unsigned id)
        : ZOValueRegisterer(id, this)
        , m_id(id)
    { }
    unsigned getID() const override { return m_id; }
    int commit() override { return 0; }
    const char *getKvType() const override { return zostd::ZOKvTypes::StringValue; }
    int setString(const char *text, int length) override
    {
        if (length > 8)
            return -223;
        m_text.assign(text, size_t(length));
        return 0;
    }
    std::string getString() const override { return m_text; }

private:
    unsigned m_id;
    std::string m_text;
};

// Counts commits and whether the registry's mutex was held during each.
class Watch : public zostd::IValueObserver
{
public:
    void onCommit(zostd::IValue *) override
    {
        ++commits;
        QMutex *m = zostd::ZOValueManager::s_pSelf->getMutex();
        if (m->tryLock())
            m->unlock();
        else
            ++underLock;
    }
    int commits = 0;
    int underLock = 0;
};

struct Values
{
    Values()
    {
        output.setObserver(&watch);
        current.setLimits(0.0, 10.0);
        current.setRangeCheck(true);
        current.setObserver(&watch);
        delay.setEngExponent(-3);
        delay.setLimits(0, 5000);
        delay.setRangeCheck(true);
        longValue.setLimits(1, 65536);
        longValue.setRangeCheck(true);
        abort.setObserver(&watch);
    }
    zostd::ZOValueManager registry;
    Watch watch;
    zostd::ZOValue_bool8_t output { 10 };
    zostd::ZOValue_real64_t current { 11 };
    zostd::ZOValue_int32_t_engX delay { 12 };
    zostd::ZOKeywordBridge<3> bridge { 3, "CC", "CR", "CV|VOLT" };
    zostd::ZOValue_keyword function { 13, &bridge };
    zostd::ZONullValue abort { 14 };
    zostd::ZOValue_uint8_t byte { 15 };
    zostd::ZOValue_int16_t shortValue { 16 };
    zostd::ZOValue_int32_t longValue { 17 };
    TextValue name { 18 };
};

} // namespace

// Message scripts over rows bound to registered values by the generic handlers.
class tst_ZOGenericCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void script_data();
    void script();
    void settingsRunUnderTheRegistryMutex();

private:
    QStringList drainErrors();

    parsertest::Sink m_sink;
    std::unique_ptr<Values> m_values;
    std::unique_ptr<ZODictIndex<16>> m_index;
    std::unique_ptr<ZO4882ParserDelegate> m_parser;
};

void tst_ZOGenericCommands::init()
{
    s_systErrCue.clear();
    m_values = std::make_unique<Values>();
    m_index = std::make_unique<ZODictIndex<16>>(s_dict);
    m_parser = std::make_unique<ZO4882ParserDelegate>(&m_sink);
    m_parser->registerDictionary(m_index.get(), NODE_SOURCE);
}

void tst_ZOGenericCommands::cleanup()
{
    m_parser.reset();
    m_index.reset();
    m_values.reset();
}

QStringList tst_ZOGenericCommands::drainErrors()
{
    QStringList errors;
    while (!s_systErrCue.isEmpty()) {
        const SYST_ERR_INFO e = s_systErrCue.decue();
        errors << (QString::number(e.code()) + ' ' + e.detail()).trimmed();
    }
    return errors;
}

void tst_ZOGenericCommands::script_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("errors");

    const QStringList ok;
    QTest::newRow("bool on") << QByteArray("OUTP ON;OUTP?") << QByteArray("1\n") << ok;
    QTest::newRow("bool 2") << QByteArray("OUTP 2;OUTP?") << QByteArray("1\n") << ok;
    // The rounded value counts, not its low eight bits.
    QTest::newRow("bool 256") << QByteArray("OUTP 256;OUTP?") << QByteArray("1\n") << ok;
    QTest::newRow("bool 0.6") << QByteArray("OUTP 0.6;OUTP?") << QByteArray("1\n") << ok;
    QTest::newRow("bool 0.4") << QByteArray("OUTP ON;OUTP 0.4;OUTP?") << QByteArray("0\n") << ok;
    QTest::newRow("real") << QByteArray("CURR 5;CURR?") << QByteArray("+5.00000E+00\n") << ok;
    QTest::newRow("real with root")
        << QByteArray("SOUR:CURR 2.5;CURR?") << QByteArray("+2.50000E+00\n") << ok;
    QTest::newRow("real max") << QByteArray("CURR MAX;CURR?") << QByteArray("+1.00000E+01\n") << ok;
    QTest::newRow("real query max")
        << QByteArray("CURR? MAX") << QByteArray("+1.00000E+01\n") << ok;
    QTest::newRow("real query min")
        << QByteArray("CURR? MIN") << QByteArray("+0.00000E+00\n") << ok;
    QTest::newRow("real query other argument")
        << QByteArray("CURR? 3") << QByteArray("+9.91000E+37\n") << ok;
    QTest::newRow("real out of range")
        << QByteArray("CURR 4;CURR 10.5;CURR?") << QByteArray("+4.00000E+00\n")
        << QStringList { "-222 CURR 10.5" };
    QTest::newRow("engX rounds to counts")
        << QByteArray("DEL 1.2346;DEL?") << QByteArray("+1.23500E+00\n") << ok;
    QTest::newRow("engX with suffix")
        << QByteArray("DEL 250MS;DEL?") << QByteArray("+2.50000E-01\n") << ok;
    QTest::newRow("engX max is counts")
        << QByteArray("DEL MAX;DEL?;DEL? MIN") << QByteArray("+5.00000E+00;+0.00000E+00\n") << ok;
    QTest::newRow("engX beyond 32 bits")
        << QByteArray("DEL 3E9") << QByteArray() << QStringList { "-222 DEL 3E9" };
    QTest::newRow("keyword") << QByteArray("FUNC cr;FUNC?") << QByteArray("CR\n") << ok;
    QTest::newRow("keyword alias") << QByteArray("FUNC VOLT;FUNC?") << QByteArray("CV\n") << ok;
    QTest::newRow("keyword unknown")
        << QByteArray("FUNC XYZ") << QByteArray() << QStringList { "-224 FUNC XYZ" };
    QTest::newRow("keyword quoted is no keyword")
        << QByteArray("FUNC 'CR'") << QByteArray() << QStringList { "-224 FUNC 'CR'" };
    QTest::newRow("action") << QByteArray("ABOR") << QByteArray() << ok;
    QTest::newRow("action has no query")
        << QByteArray("ABOR?") << QByteArray() << QStringList { "-113 ABOR?" };
    QTest::newRow("uint8") << QByteArray("BYTE 255;BYTE?") << QByteArray("+255\n") << ok;
    QTest::newRow("uint8 range") << QByteArray("BYTE 256") << QByteArray()
                                 << QStringList { "-222 BYTE 256" };
    QTest::newRow("int16") << QByteArray("SHRT -32768;SHRT?") << QByteArray("-32768\n") << ok;
    QTest::newRow("int16 range") << QByteArray("SHRT -32769") << QByteArray()
                                 << QStringList { "-222 SHRT -32769" };
    QTest::newRow("int32") << QByteArray("LONG 7;LONG?") << QByteArray("+7\n") << ok;
    QTest::newRow("int32 limits") << QByteArray("LONG? MIN;LONG? MAX;LONG MAX;LONG?;LONG MIN;LONG?")
                                  << QByteArray("+1;+65536;+65536;+1\n") << ok;
    QTest::newRow("string") << QByteArray("NAME 'a\"b';NAME?") << QByteArray("\"a\"\"b\"\n") << ok;
    QTest::newRow("string value refuses") << QByteArray("NAME '123456789'") << QByteArray()
                                          << QStringList { "-223 NAME '123456789'" };
    QTest::newRow("unregistered value dropped")
        << QByteArray("GHOST 1;GHOST?;OUTP?") << QByteArray("0\n") << ok;
    QTest::newRow("mistyped value is a no-op")
        << QByteArray("MIXD 1;MIXD?;CURR?") << QByteArray("+0.00000E+00\n") << ok;
}

void tst_ZOGenericCommands::script()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, errors);

    const int n = m_parser->parse(INTF_SOCKET, message.constData(), message.size(), 0);
    const QStringList queued = drainErrors();
    QCOMPARE(queued, errors);
    QCOMPARE(QByteArray(m_parser->response(), n), answer);
}

void tst_ZOGenericCommands::settingsRunUnderTheRegistryMutex()
{
    const QByteArray message = "OUTP 1;CURR 1;ABOR;CURR?;OUTP?";
    m_parser->parse(INTF_SOCKET, message.constData(), message.size(), 0);
    QCOMPARE(m_values->watch.commits, 3);
    QCOMPARE(m_values->watch.underLock, 3);
    QVERIFY(zostd::ZOValueManager::s_pSelf->getMutex()->tryLock());
    zostd::ZOValueManager::s_pSelf->getMutex()->unlock();
}

QTEST_GUILESS_MAIN(tst_ZOGenericCommands)
#include "tst_ZOGenericCommands.moc"
