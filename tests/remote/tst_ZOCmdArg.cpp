#include "remote/ZOCmdArg.h"

#include <QtTest>

#include <memory>

using zo4882::ZOCmdArg;

namespace {

constexpr unsigned INT = ZOCmdArg::ARG_INT;
constexpr unsigned REAL = ZOCmdArg::ARG_REAL;
constexpr unsigned BOOL = ZOCmdArg::ARG_BOOL;
constexpr unsigned MINMAX = ZOCmdArg::ARG_MINMAX;
constexpr unsigned CHR = ZOCmdArg::ARG_CHAR;
constexpr unsigned STR = ZOCmdArg::ARG_STRING;
constexpr unsigned BLOCK = ZOCmdArg::ARG_BLOCK;

constexpr unsigned unit(unsigned c)
{
    return ZOCmdArg::unitWord(c);
}

} // namespace

class tst_ZOCmdArg : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void argfactory_data();
    void argfactory();
    void numericReadings_data();
    void numericReadings();
    void answerText_data();
    void answerText();
    void blockAnswerHeader_data();
    void blockAnswerHeader();
    void chains();
    void trimQuotesRespectsOutSize();
};

void tst_ZOCmdArg::argfactory_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<unsigned>("type");
    QTest::addColumn<int>("error");
    QTest::addColumn<unsigned>("kind");
    QTest::addColumn<double>("number"); // the item as a double
    QTest::addColumn<QByteArray>("data"); // the item's text

    const unsigned level = REAL | MINMAX | unit(ZOCmdArg::UNIT_AMPERE);
    const unsigned time = REAL | unit(ZOCmdArg::UNIT_SECOND);
    const unsigned none = 0;
    const QByteArray n;

    // Numbers, suffixes and their refusals.
    QTest::newRow("real") << QByteArray("1.5") << level << 0 << 2u << 1.5 << n;
    QTest::newRow("milliampere") << QByteArray("1.5MA") << level << 0 << 2u << 0.0015 << n;
    QTest::newRow("microampere lower case") << QByteArray("2ua") << level << 0 << 2u << 2e-6 << n;
    QTest::newRow("exponent and suffix") << QByteArray("1E-3A") << level << 0 << 2u << 1e-3 << n;
    QTest::newRow("minutes") << QByteArray("2MIN") << time << 0 << 2u << 120.0 << n;
    QTest::newRow("megahertz") << QByteArray("1MHZ") << (REAL | unit(ZOCmdArg::UNIT_HERTZ)) << 0
                               << 2u << 1e6 << n;
    QTest::newRow("blank before suffix") << QByteArray("1.5 A") << level << -131 << 0u << 0.0 << n;
    QTest::newRow("foreign suffix") << QByteArray("1.5V") << level << -131 << 0u << 0.0 << n;
    QTest::newRow("suffix without unit class") << QByteArray("1V") << INT << -138 << 0u << 0.0 << n;
    QTest::newRow("trailing blank no unit") << QByteArray("1 ") << INT << -138 << 0u << 0.0 << n;
    QTest::newRow("integer rounds up") << QByteArray("1.5") << INT << 0 << 1u << 2.0 << n;
    QTest::newRow("integer rounds away") << QByteArray("-1.5") << INT << 0 << 1u << -2.0 << n;
    QTest::newRow("hex") << QByteArray("#HFF") << INT << 0 << 1u << 255.0 << n;
    QTest::newRow("hex as real") << QByteArray("#h10") << REAL << 0 << 2u << 16.0 << n;
    QTest::newRow("beyond the limit") << QByteArray("1E38") << level << -222 << 0u << 0.0 << n;
    QTest::newRow("beyond after suffix")
        << QByteArray("9E37KV") << (REAL | unit(ZOCmdArg::UNIT_VOLT)) << -222 << 0u << 0.0 << n;
    QTest::newRow("beyond int range") << QByteArray("3E9") << INT << -222 << 0u << 0.0 << n;
    QTest::newRow("huge exponent") << QByteArray("1E999999") << REAL << -222 << 0u << 0.0 << n;
    QTest::newRow("tiny exponent") << QByteArray("1E-999") << REAL << 0 << 2u << 0.0 << n;
    QTest::newRow("not a number") << QByteArray("ABC") << INT << -120 << 0u << 0.0 << n;
    QTest::newRow("infinity is no number") << QByteArray("+INF") << REAL << -120 << 0u << 0.0 << n;
    QTest::newRow("quoted where number") << QByteArray("'1'") << INT << -158 << 0u << 0.0 << n;
    QTest::newRow("sign alone") << QByteArray("-") << REAL << -120 << 0u << 0.0 << n;

    // Booleans and MIN/MAX.
    QTest::newRow("on") << QByteArray("ON") << (INT | BOOL) << 0 << 4u << 1.0 << n;
    QTest::newRow("off") << QByteArray("OFF") << (INT | BOOL) << 0 << 4u << 0.0 << n;
    QTest::newRow("bool as number") << QByteArray("2") << (INT | BOOL) << 0 << 1u << 2.0 << n;
    QTest::newRow("bool bad word") << QByteArray("YES") << (INT | BOOL) << -224 << 0u << 0.0 << n;
    QTest::newRow("bool quoted") << QByteArray("\"ON\"") << BOOL << -158 << 0u << 0.0 << n;
    QTest::newRow("maximum") << QByteArray("MAXIMUM") << level << 0 << 16u << 1.0 << n;
    QTest::newRow("min") << QByteArray("MIN") << level << 0 << 16u << -1.0 << n;
    QTest::newRow("def unknown") << QByteArray("DEF") << level << -224 << 0u << 0.0 << n;

    // Character, string and block data.
    QTest::newRow("mnemonic") << QByteArray("HIGH") << CHR << 0 << 32u << 0.0 << QByteArray("HIGH");
    QTest::newRow("12 characters")
        << QByteArray("ABCDEFGHIJKL") << CHR << 0 << 32u << 0.0 << QByteArray("ABCDEFGHIJKL");
    QTest::newRow("13 characters") << QByteArray("ABCDEFGHIJKLM") << CHR << -144 << 0u << 0.0 << n;
    QTest::newRow("char like number") << QByteArray("1ABC") << CHR << -128 << 0u << 0.0 << n;
    QTest::newRow("char inner blank") << QByteArray("AB C") << CHR << -141 << 0u << 0.0 << n;
    QTest::newRow("char quoted") << QByteArray("'AB'") << CHR << -158 << 0u << 0.0 << n;
    QTest::newRow("no number accepted") << QByteArray("1") << none << -220 << 0u << 0.0 << n;
    QTest::newRow("string") << QByteArray("'a,b'") << STR << 0 << 64u << 0.0 << QByteArray("a,b");
    QTest::newRow("doubled quote")
        << QByteArray("\"say \"\"hi\"\"\"") << STR << 0 << 64u << 0.0 << QByteArray("say \"hi\"");
    QTest::newRow("other quote inside")
        << QByteArray("'it\"s'") << STR << 0 << 64u << 0.0 << QByteArray("it\"s");
    QTest::newRow("lone quote inside") << QByteArray("'it's'") << STR << -150 << 0u << 0.0 << n;
    QTest::newRow("unterminated string") << QByteArray("'abc") << STR << -150 << 0u << 0.0 << n;
    QTest::newRow("mixed quotes") << QByteArray("'abc\"") << STR << -150 << 0u << 0.0 << n;
    QTest::newRow("block one digit")
        << QByteArray("#15hello") << BLOCK << 0 << 256u << 0.0 << QByteArray("hello");
    QTest::newRow("block with newline and tail")
        << QByteArray("#203a\nbXYZ") << BLOCK << 0 << 256u << 0.0 << QByteArray("a\nb");
    QTest::newRow("block short") << QByteArray("#15") << BLOCK << -161 << 0u << 0.0 << n;
    QTest::newRow("block bad digits") << QByteArray("#2x1ab") << BLOCK << -161 << 0u << 0.0 << n;
    QTest::newRow("empty block") << QByteArray("#10") << BLOCK << 0 << 256u << 0.0
                                 << QByteArray("");
    QTest::newRow("empty block, tail ignored")
        << QByteArray("#200xy") << BLOCK << 0 << 256u << 0.0 << QByteArray("");
    QTest::newRow("empty block where characters too")
        << QByteArray("#10") << (CHR | BLOCK) << 0 << 256u << 0.0 << QByteArray("");
    QTest::newRow("block beyond work buffer")
        << (QByteArray("#44097") + QByteArray(4097, 'x')) << BLOCK << -161 << 0u << 0.0 << n;
    QTest::newRow("block of 4096") << (QByteArray("#44096") + QByteArray(4096, 'x')) << BLOCK << 0
                                   << 256u << 0.0 << QByteArray(4096, 'x');
}

void tst_ZOCmdArg::argfactory()
{
    QFETCH(QByteArray, text);
    QFETCH(unsigned, type);
    QFETCH(int, error);
    QFETCH(unsigned, kind);
    QFETCH(double, number);
    QFETCH(QByteArray, data);

    short e = 12345;
    std::unique_ptr<ZOCmdArg> arg(ZOCmdArg::argfactory(text.constData(), text.size(), type, &e));
    QCOMPARE(int(e), error);
    if (error != 0) {
        QVERIFY(!arg);
        return;
    }
    QVERIFY(arg);
    QCOMPARE(arg->kind(), kind);
    QCOMPARE(double(*arg), number);
    if (!data.isNull())
        QCOMPARE(QByteArray(static_cast<const char *>(*arg), arg->stringLen()), data);
}

void tst_ZOCmdArg::numericReadings_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<unsigned>("kind");
    QTest::addColumn<int>("asInt");
    QTest::addColumn<int>("asByte");
    QTest::addColumn<bool>("isTrue");

    QTest::newRow("real 0.6") << 0.6 << 2u << 1 << 1 << true;
    QTest::newRow("real 0.4") << 0.4 << 2u << 0 << 0 << false;
    QTest::newRow("real -2.5") << -2.5 << 2u << -3 << 253 << true;
    // A boolean is the rounded value being non-zero, not its low eight bits.
    QTest::newRow("real 256") << 256.0 << 2u << 256 << 0 << true;
    QTest::newRow("int 256") << 256.0 << 1u << 256 << 0 << true;
    QTest::newRow("bool from 0.6") << 0.6 << 4u << 1 << 1 << true;
    QTest::newRow("real saturates") << 1e30 << 2u << INT_MAX << 255 << true;
    QTest::newRow("int from huge real") << -1e30 << 1u << INT_MIN << 0 << true;
}

void tst_ZOCmdArg::numericReadings()
{
    QFETCH(double, value);
    QFETCH(unsigned, kind);
    QFETCH(int, asInt);
    QFETCH(int, asByte);
    QFETCH(bool, isTrue);

    const ZOCmdArg arg(value, kind);
    QCOMPARE(int(arg), asInt);
    QCOMPARE(int(static_cast<unsigned char>(arg)), asByte);
    QCOMPARE(arg.isTrue(), isTrue);
}

void tst_ZOCmdArg::answerText_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("integer positive") << 0 << QByteArray("+7");
    QTest::newRow("integer negative") << 1 << QByteArray("-3");
    QTest::newRow("real ten") << 2 << QByteArray("+1.00000E+01");
    QTest::newRow("real small negative") << 3 << QByteArray("-1.23500E-03");
    QTest::newRow("real huge") << 4 << QByteArray("+9.91000E+37");
    QTest::newRow("real nan") << 5 << QByteArray("+9.91000E+37");
    QTest::newRow("boolean") << 6 << QByteArray("1");
    QTest::newRow("character") << 7 << QByteArray("HIGH");
    QTest::newRow("string doubles quotes") << 8 << QByteArray("\"a\"\"b\"");
    QTest::newRow("min/max has no text") << 9 << QByteArray("");
}

void tst_ZOCmdArg::answerText()
{
    QFETCH(int, which);
    QFETCH(QByteArray, expected);

    std::unique_ptr<ZOCmdArg> items[] = {
        std::make_unique<ZOCmdArg>(7, ZOCmdArg::KIND_INT),
        std::make_unique<ZOCmdArg>(-3, ZOCmdArg::KIND_INT),
        std::make_unique<ZOCmdArg>(10.0, ZOCmdArg::KIND_REAL),
        std::make_unique<ZOCmdArg>(-0.001235, ZOCmdArg::KIND_REAL),
        std::make_unique<ZOCmdArg>(9.91e37, ZOCmdArg::KIND_REAL),
        std::make_unique<ZOCmdArg>(std::nan(""), ZOCmdArg::KIND_REAL),
        std::make_unique<ZOCmdArg>(5, ZOCmdArg::KIND_BOOL),
        std::make_unique<ZOCmdArg>("HIGH", ZOCmdArg::KIND_CHAR),
        std::make_unique<ZOCmdArg>("a\"b", ZOCmdArg::KIND_STRING),
        std::make_unique<ZOCmdArg>(1, ZOCmdArg::KIND_MINMAX),
    };
    QCOMPARE(items[which]->toString(), expected);
}

void tst_ZOCmdArg::blockAnswerHeader_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("header");

    QTest::newRow("12 bytes") << 12 << QByteArray("#40012");
    QTest::newRow("empty") << 0 << QByteArray("#40000");
    QTest::newRow("9999 bytes") << 9999 << QByteArray("#49999");
    QTest::newRow("10000 bytes") << 10000 << QByteArray("#6010000");
    // Beyond six digits the header still announces the exact length.
    QTest::newRow("one million bytes") << 1000000 << QByteArray("#71000000");
}

void tst_ZOCmdArg::blockAnswerHeader()
{
    QFETCH(int, length);
    QFETCH(QByteArray, header);

    const QByteArray data(length, '\n');
    const ZOCmdArg arg(data.constData(), data.size(), ZOCmdArg::KIND_BLOCK_ANSWER);
    QCOMPARE(arg.stringLen(), header.size() + length);
    QCOMPARE(arg.text().left(header.size()), header);
    QCOMPARE(arg.text().mid(header.size()), data);
}

void tst_ZOCmdArg::chains()
{
    auto *a = new ZOCmdArg(1, ZOCmdArg::KIND_INT);
    auto *b = new ZOCmdArg(2.0, ZOCmdArg::KIND_REAL);
    auto *c = new ZOCmdArg("X", ZOCmdArg::KIND_CHAR);
    std::unique_ptr<ZOCmdArg> head(ZOCmdArg::linkChains(3, a, static_cast<ZOCmdArg *>(nullptr), b));
    QCOMPARE(head.get(), a);
    *head << c;
    QCOMPARE(head->getNumArgs(), 3);
    QCOMPARE(head->next(), b);
    QCOMPARE(b->next(), c);
    QCOMPARE(c->getNumArgs(), 1);

    // A long chain is freed without recursion.
    std::unique_ptr<ZOCmdArg> longChain(new ZOCmdArg(0, ZOCmdArg::KIND_INT));
    ZOCmdArg *tail = longChain.get();
    for (int i = 0; i < 200000; ++i) {
        auto *item = new ZOCmdArg(i, ZOCmdArg::KIND_INT);
        *tail << item;
        tail = item;
    }
}

void tst_ZOCmdArg::trimQuotesRespectsOutSize()
{
    char out[8];
    QCOMPARE(ZOCmdArg::trim_quotes_and_normalize("'ab''c'", 7, out, sizeof out), 1);
    QCOMPARE(QByteArray(out), QByteArray("ab'c"));
    QCOMPARE(ZOCmdArg::trim_quotes_and_normalize("'abcdefgh'", 10, out, sizeof out), 0);
    QCOMPARE(out[0], '\0');
    QCOMPARE(ZOCmdArg::trim_quotes_and_normalize("'abcdefg'", 9, out, sizeof out), 1);
    QCOMPARE(QByteArray(out), QByteArray("abcdefg"));
}

QTEST_GUILESS_MAIN(tst_ZOCmdArg)
#include "tst_ZOCmdArg.moc"
