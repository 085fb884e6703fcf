#include "commands/DictIndexNative.h"
#include "engine/Source.h"
#include "remote/IParserEventSink.h"
#include "remote/ZO4882ParserDelegate.h"
#include "remote/ZOCmdArg.h"
#include "remote/ZOSystErrCue.h"
#include "remote/ZO_PARSER_RESULT.h"
#include "remote/ZO_SCPI_DICT_ENTRY.h"

#include <QtTest>

#include <memory>

using namespace zo4882;

namespace {

constexpr int NotFound = -1;

// Records where the parser's lookup landed and runs nothing. Refused settings answer -203, as
// the instrument's parser answers its administrator-only settings.
class LookupSink : public IParserEventSink
{
public:
    void OnParsed(const ZO_PARSER_RESULT *result, const unsigned &, ZOCmdArg **) override
    {
        slot = int(result->entry - DictIndexNative::s_dictNative);
        const ZOCmdArg *arg = result->args;
        if (!arg)
            firstArgument.clear();
        else if (arg->kind() == ZOCmdArg::KIND_MINMAX)
            firstArgument = int(*arg) > 0 ? "MAX" : "MIN";
        else
            firstArgument = arg->toString();
    }
    short OnSettingsConflict(unsigned) const override { return -203; }

    int slot = NotFound;
    QByteArray firstArgument;
};

// Shortest and longest header a dictionary pattern accepts: optional parts left out or put in,
// the shortest or the longest alternative, a digit run once or twice.
struct Forms
{
    QByteArray shortest;
    QByteArray longest;
};

class PatternForms
{
public:
    explicit PatternForms(const QByteArray &pattern)
        : m_text(pattern)
    { }

    Forms sequence()
    {
        Forms forms;
        while (m_at < m_text.size() && m_text[m_at] != '|' && m_text[m_at] != ')') {
            Forms item = atom();
            if (m_at < m_text.size() && m_text[m_at] == '?') {
                ++m_at;
                item.shortest.clear();
            } else if (m_at < m_text.size() && m_text[m_at] == '+') {
                ++m_at;
                item.longest += item.longest;
            }
            forms.shortest += item.shortest;
            forms.longest += item.longest;
        }
        return forms;
    }

private:
    Forms atom()
    {
        const char c = m_text[m_at++];
        if (c == '\\') {
            const QByteArray literal(1, m_text[m_at++]);
            return { literal, literal };
        }
        if (c == '[') {
            const QByteArray first(1, m_text[m_at]);
            m_at = m_text.indexOf(']', m_at) + 1;
            return { first, first };
        }
        if (c != '(') {
            const QByteArray letter(1, char(QChar::toUpper(uint(c))));
            return { letter, letter };
        }
        Forms group = sequence();
        while (m_text[m_at] == '|') {
            ++m_at;
            const Forms other = sequence();
            if (other.shortest.size() < group.shortest.size())
                group.shortest = other.shortest;
            if (other.longest.size() > group.longest.size())
                group.longest = other.longest;
        }
        ++m_at; // ')'
        return group;
    }

    const QByteArray m_text;
    int m_at = 0;
};

// A parameter every type word of the dictionary accepts.
QByteArray parameterFor(unsigned word)
{
    if (word & (ZOCmdArg::ARG_INT | ZOCmdArg::ARG_REAL))
        return "1";
    if (word & ZOCmdArg::ARG_BOOL)
        return "ON";
    if (word & ZOCmdArg::ARG_MINMAX)
        return "MAX";
    if (word & ZOCmdArg::ARG_CHAR)
        return "NONE";
    if (word & ZOCmdArg::ARG_STRING)
        return "\"A\"";
    return "#11A";
}

// As many parameters as the form needs at least.
QByteArray parametersFor(unsigned count, const unsigned *types)
{
    QByteArrayList parameters;
    for (unsigned i = 0; i < (count & 0xFFFFu); ++i)
        parameters << parameterFor(types[i]);
    return parameters.isEmpty() ? QByteArray() : ' ' + parameters.join(',');
}

} // namespace

// The instrument's dictionary as the parser looks headers up in it: every slot by the headers
// its pattern accepts, the refusals, the lower slot winning, the optional SOURce root, the
// administrator class and the program-step levels following the function mode.
class tst_DictIndexNative : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void everySlotByItsHeaders_data();
    void everySlotByItsHeaders();
    void headers_data();
    void headers();
    void stepLevelsFollowTheFunctionMode_data();
    void stepLevelsFollowTheFunctionMode();
    void stepLevelsStartWithThePresentMode();
    void emptyAndOutsideSlots();

private:
    // Builds the index anew (it compiles every pattern) with the engine in mode.
    void buildIndex(KeywordBridge_CcCrCvCpArb::values mode);
    // Parses one message; the slot it landed on, or the first error queued (NotFound if none).
    int lookUp(const QByteArray &message, unsigned deny = 0);

    LookupSink m_sink;
    std::unique_ptr<DictIndexNative> m_index;
    std::unique_ptr<ZO4882ParserDelegate> m_parser;
};

void tst_DictIndexNative::initTestCase()
{
    buildIndex(KeywordBridge_CcCrCvCpArb::CC);
}

void tst_DictIndexNative::cleanupTestCase()
{
    m_parser.reset();
    m_index.reset();
    vek::Source::m_functionMode = KeywordBridge_CcCrCvCpArb::CC;
}

void tst_DictIndexNative::init()
{
    DictIndexNative::swapUnitSuffix(KeywordBridge_CcCrCvCpArb::CC);
}

void tst_DictIndexNative::buildIndex(KeywordBridge_CcCrCvCpArb::values mode)
{
    m_parser.reset();
    m_index.reset();
    vek::Source::m_functionMode = mode;
    m_index = std::make_unique<DictIndexNative>();
    m_parser = std::make_unique<ZO4882ParserDelegate>(&m_sink);
    m_parser->registerDictionary(m_index.get(), NODE_SOURCE);
}

int tst_DictIndexNative::lookUp(const QByteArray &message, unsigned deny)
{
    m_sink.slot = NotFound;
    m_sink.firstArgument.clear();
    s_systErrCue.clear();
    m_parser->parse(INTF_SOCKET, message.constData(), message.size(), deny);
    if (!s_systErrCue.isEmpty())
        return s_systErrCue.decue().code();
    return m_sink.slot;
}

void tst_DictIndexNative::everySlotByItsHeaders_data()
{
    QTest::addColumn<int>("slot");
    for (int slot = 0; slot < DictIndexNative::NumEntries; ++slot) {
        const ZO_SCPI_DICT_ENTRY &entry = DictIndexNative::s_dictNative[slot];
        if (entry.pattern)
            QTest::addRow("%d %s", slot, entry.name) << slot;
    }
}

void tst_DictIndexNative::everySlotByItsHeaders()
{
    QFETCH(int, slot);
    const ZO_SCPI_DICT_ENTRY &entry = DictIndexNative::s_dictNative[slot];
    QByteArray pattern(entry.pattern);
    QVERIFY(pattern.startsWith('^') && pattern.endsWith('$'));
    pattern = pattern.mid(1, pattern.size() - 2);
    bool setting = true;
    bool query = true;
    if (pattern.endsWith("\\??")) {
        pattern.chop(3);
    } else if (pattern.endsWith("\\?")) {
        pattern.chop(2);
        setting = false;
    } else {
        query = false;
    }
    const Forms forms = PatternForms(pattern).sequence();

    QByteArrayList headers { forms.shortest, forms.longest };
    if (entry.optionalRoot)
        headers << "SOUR:" + forms.shortest << "SOURCE:" + forms.longest;
    const QByteArray setParameters = parametersFor(entry.setArgCount, entry.setArgTypes);
    const QByteArray queryParameters = parametersFor(entry.queryArgCount, entry.queryArgTypes);
    for (const QByteArray &header : qAsConst(headers)) {
        if (setting)
            QVERIFY2(lookUp(header + setParameters) == slot, header + setParameters);
        if (query)
            QVERIFY2(lookUp(header + '?' + queryParameters) == slot, header + '?');
        // The other case of the same header lands there too.
        if (setting)
            QVERIFY2(lookUp(header.toLower() + setParameters) == slot, header.toLower());
    }
}

void tst_DictIndexNative::headers_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<unsigned>("deny");
    QTest::addColumn<int>("expected"); // slot, or the error number

    // The optional root only where an entry allows it.
    QTest::newRow("rooted level") << QByteArray("SOURCE:CURR 1") << 0u << 38;
    QTest::newRow("beeper takes no root") << QByteArray("SOUR:SYST:BEEP?") << 0u << -113;
    QTest::newRow("data points take no root") << QByteArray("SOUR:DATA:POIN?") << 0u << -113;
    // Forms a pattern does not allow.
    QTest::newRow("measurement without ?") << QByteArray("MEAS:CURR") << 0u << -113;
    QTest::newRow("digit first") << QByteArray("1ABC") << 0u << -113;
    QTest::newRow("unknown header") << QByteArray("CURR:BOGUS 1") << 0u << -113;
    // One entry for two first letters.
    QTest::newRow("input") << QByteArray("INP?") << 0u << 90;
    QTest::newRow("output") << QByteArray("OUTP?") << 0u << 90;
    // The lower slot wins where the patterns overlap.
    QTest::newRow("status event") << QByteArray("STAT:OPER?") << 0u << 150;
    QTest::newRow("status condition") << QByteArray("STAT:OPER:COND?") << 0u << 149;
    QTest::newRow("measure scalar") << QByteArray("MEAS:SCAL:VOLT:DC?") << 0u << 74;
    // Administrator-only settings are refused while denied; their queries never are.
    QTest::newRow("calibration data denied") << QByteArray("CAL:DATA 16,1") << 1u << -203;
    QTest::newRow("calibration query") << QByteArray("CAL:DATA? 16") << 1u << 53;
    QTest::newRow("calibration data allowed") << QByteArray("CAL:DATA 16,1") << 0u << 53;
    QTest::newRow("sanitize denied") << QByteArray("SYST:SEC:IMM") << 1u << -203;
    // Parameter counts and channel lists.
    QTest::newRow("missing parameter") << QByteArray("CURR") << 0u << -109;
    QTest::newRow("parameter not allowed") << QByteArray("CURR 1,2") << 0u << -108;
    QTest::newRow("data format, six items")
        << QByteArray("DATA:FORM CURR,VOLT,POW,ETIM,CAP,ENER") << 0u << 58;
    QTest::newRow("data format, seven items")
        << QByteArray("DATA:FORM CURR,VOLT,POW,ETIM,CAP,ENER,CURR") << 0u << -108;
    QTest::newRow("channel list") << QByteArray("ZVOL 1,(@1:2)") << 0u << 209;
    QTest::newRow("channel list refused") << QByteArray("CURR 1,(@1)") << 0u << -108;
}

void tst_DictIndexNative::headers()
{
    QFETCH(QByteArray, message);
    QFETCH(unsigned, deny);
    QFETCH(int, expected);
    QCOMPARE(lookUp(message, deny), expected);
}

void tst_DictIndexNative::stepLevelsFollowTheFunctionMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QByteArray>("argument");

    using Mode = KeywordBridge_CcCrCvCpArb;
    QTest::newRow("CC amperes") << int(Mode::CC) << QByteArray("PROG:STEP2:LEV 500MA") << 136
                                << QByteArray("+5.00000E-01");
    QTest::newRow("CC no MAX") << int(Mode::CC) << QByteArray("PROG:STEP2:LEV MAX") << -120
                               << QByteArray();
    QTest::newRow("CC no volts") << int(Mode::CC) << QByteArray("PROG:LAST:LEV 1V") << -131
                                 << QByteArray();
    QTest::newRow("CR siemens") << int(Mode::CR) << QByteArray("PROG:STEP1:TRAN:STAR 2SIE") << 140
                                << QByteArray("+2.00000E+00");
    QTest::newRow("CV volts") << int(Mode::CV) << QByteArray("PROG:LAST:LEV 12MV") << 146
                              << QByteArray("+1.20000E-02");
    QTest::newRow("CP watts") << int(Mode::CP) << QByteArray("PROG:STEP3:LEV 2KW") << 136
                              << QByteArray("+2.00000E+03");
    QTest::newRow("ARB MAX") << int(Mode::ARB) << QByteArray("PROG:STEP1:LEV MAX") << 136
                             << QByteArray("MAX");
    QTest::newRow("ARB no unit") << int(Mode::ARB) << QByteArray("PROG:LAST:LEV 1A") << -138
                                 << QByteArray();
    // A value that is no mode keeps the types of the last mode (here CV).
    QTest::newRow("no mode") << 9 << QByteArray("PROG:STEP1:TRAN:STAR 3V") << 140
                             << QByteArray("+3.00000E+00");
}

void tst_DictIndexNative::stepLevelsFollowTheFunctionMode()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, message);
    QFETCH(int, expected);
    QFETCH(QByteArray, argument);

    DictIndexNative::swapUnitSuffix(KeywordBridge_CcCrCvCpArb::CV);
    DictIndexNative::swapUnitSuffix(static_cast<unsigned char>(mode));
    QCOMPARE(lookUp(message), expected);
    if (expected > 0)
        QCOMPARE(m_sink.firstArgument, argument);
}

void tst_DictIndexNative::stepLevelsStartWithThePresentMode()
{
    buildIndex(KeywordBridge_CcCrCvCpArb::CP);
    QCOMPARE(lookUp("PROG:STEP1:LEV 10W"), 136);
    QCOMPARE(lookUp("PROG:STEP1:TRAN:STAR 10W"), 140);
    QCOMPARE(lookUp("PROG:LAST:LEV 10W"), 146);
    buildIndex(KeywordBridge_CcCrCvCpArb::CC);
}

void tst_DictIndexNative::emptyAndOutsideSlots()
{
    QCOMPARE(m_index->getNumEntry(), 215);
    QVERIFY(!m_index->getDict(-1));
    QVERIFY(!m_index->getDict(215));
    QCOMPARE(m_index->checkPossibility("CURR", 215), 0);
    for (int slot = 211; slot < 215; ++slot) {
        const ZO_SCPI_DICT_ENTRY *entry = m_index->getDict(slot);
        QVERIFY(entry && !entry->factory && !entry->pattern && !entry->regex);
    }
}

QTEST_GUILESS_MAIN(tst_DictIndexNative)
#include "tst_DictIndexNative.moc"
