#include "tests/remote/support/ParserTestDictionary.h"

#include "remote/ZO4882ParserDelegate.h"
#include "remote/ZOCmdArg.h"
#include "remote/ZOCommand.h"
#include "remote/ZOCommandRunner.h"
#include "remote/ZODictIndex.h"
#include "remote/ZO_SCPI_DICT_ENTRY.h"

#include <QByteArray>

using zo4882::ZO_PARSER_RESULT;
using zo4882::ZO_SCPI_DICT_ENTRY;
using zo4882::zoArgCount;
using zo4882::ZOCmdArg;
using zo4882::ZOCommand;

namespace parsertest {

namespace {

zo4882::ZO4882ParserDelegate *s_abortTarget = nullptr;

void record(const ZO_PARSER_RESULT *r)
{
    QByteArray line(r->header);
    for (const ZOCmdArg *a = r->args; a; a = a->next()) {
        line += ' ';
        line += a->kind() == ZOCmdArg::KIND_BLOCK ? a->text() : a->toString();
        if (a->kind() == ZOCmdArg::KIND_MINMAX)
            line += int(*a) > 0 ? "MAX" : "MIN";
    }
    if (r->channels)
        line += " @" + QByteArray::number(r->channels, 16);
    if (r->suffix)
        line += " #" + QByteArray::number(r->suffix);
    log().append(QString::fromLatin1(line));
}

// Records every call; queries answer by header.
class Record : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;

    short OnSet(const ZO_PARSER_RESULT *r) const override
    {
        record(r);
        return 0;
    }

    short OnQuery(const ZO_PARSER_RESULT *r, ZOCmdArg **answer) const override
    {
        record(r);
        const QByteArray h(r->header);
        if (h.startsWith("CURR"))
            *answer = new ZOCmdArg(10.0, ZOCmdArg::KIND_REAL);
        else if (h.startsWith("VOLT"))
            *answer = new ZOCmdArg(20.0, ZOCmdArg::KIND_REAL);
        else if (h == "MEAS:VOLT?")
            *answer = ZOCmdArg::linkChains(
                2, new ZOCmdArg(5.0, ZOCmdArg::KIND_REAL), new ZOCmdArg(-1, ZOCmdArg::KIND_INT));
        else if (h.startsWith("MEAS"))
            *answer = new ZOCmdArg(0.5, ZOCmdArg::KIND_REAL);
        else if (h == "*IDN?")
            *answer = new ZOCmdArg("ZO,TEST,0,1.0", ZOCmdArg::KIND_CHAR);
        else if (h == "SYST:STR?")
            *answer = new ZOCmdArg("say \"hi\"", ZOCmdArg::KIND_STRING);
        else if (h == "SYST:BLK?")
            *answer = new ZOCmdArg("ab;\ncd,\0ef\"g", 12, ZOCmdArg::KIND_BLOCK_ANSWER);
        else if (h == "SYST:BIG?") {
            // A block answer of as many bytes as the argument asks for.
            const int n = r->args ? qBound(0, int(*r->args), 1 << 20) : 0;
            const QByteArray data(n, 'x');
            *answer = new ZOCmdArg(data.constData(), n, ZOCmdArg::KIND_BLOCK_ANSWER);
        } else if (h == "OUTP?")
            *answer = new ZOCmdArg(1, ZOCmdArg::KIND_BOOL);
        return 0;
    }
};

class Fail : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *r) const override
    {
        record(r);
        return -221;
    }
};

class Abort : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *r) const override
    {
        record(r);
        if (s_abortTarget)
            s_abortTarget->setAbort(true);
        return 0;
    }
};

constexpr unsigned unit(unsigned c)
{
    return ZOCmdArg::unitWord(c);
}

const unsigned t_current[] = { ZOCmdArg::ARG_REAL | ZOCmdArg::ARG_MINMAX
    | unit(ZOCmdArg::UNIT_AMPERE) };
const unsigned t_voltage[] = { ZOCmdArg::ARG_REAL | ZOCmdArg::ARG_MINMAX
    | unit(ZOCmdArg::UNIT_VOLT) };
const unsigned t_minmax[] = { ZOCmdArg::ARG_MINMAX };
const unsigned t_bool[] = { ZOCmdArg::ARG_INT | ZOCmdArg::ARG_BOOL };
const unsigned t_int[] = { ZOCmdArg::ARG_INT };
const unsigned t_pair[] = { ZOCmdArg::ARG_INT, ZOCmdArg::ARG_REAL | unit(ZOCmdArg::UNIT_VOLT) };
constexpr unsigned anyArg =
    ZOCmdArg::ARG_INT | ZOCmdArg::ARG_CHAR | ZOCmdArg::ARG_STRING | ZOCmdArg::ARG_BLOCK;
const unsigned t_any[] = {
    anyArg, anyArg, anyArg, anyArg, anyArg, anyArg, anyArg, anyArg, anyArg, anyArg, anyArg, anyArg
};

constexpr auto rec = &ZOCommand::create<Record>;
constexpr unsigned none = zoArgCount(0, 0);

// name, factory, value id, deny class, set counts, set types, set channels, query counts,
// query types, query channels, first letters, second letters, pattern, optional root.
ZO_SCPI_DICT_ENTRY s_dict[32] = {
    { "*IDN?", rec, 0, 0, none, nullptr, 0, none, nullptr, 0, "*", "I", "^\\*IDN\\?$", 0, nullptr },
    { "*RST", rec, 0, 0, none, nullptr, 0, none, nullptr, 0, "*", "R", "^\\*RST$", 0, nullptr },
    { "ABCDEFGHIJKL",
        rec,
        0,
        0,
        none,
        nullptr,
        0,
        none,
        nullptr,
        0,
        "A",
        "B",
        "^ABCDEFGHIJKL\\??$",
        0,
        nullptr },
    { "A:B:...:J",
        rec,
        0,
        0,
        none,
        nullptr,
        0,
        none,
        nullptr,
        0,
        "A",
        ":",
        "^A:B:C:D:E:F:G:H:I:J$",
        0,
        nullptr },
    { "CURR",
        rec,
        0,
        0,
        zoArgCount(1, 1),
        t_current,
        0,
        zoArgCount(0, 1),
        t_minmax,
        0,
        "C",
        "U",
        "^CURR(ENT)?(:LEV(EL)?)?\\??$",
        1,
        nullptr },
    { "FAILR",
        &ZOCommand::create<Fail>,
        0,
        0,
        none,
        nullptr,
        0,
        none,
        nullptr,
        0,
        "F",
        "A",
        "^FAILR$",
        1,
        nullptr },
    { "MEAS",
        rec,
        0,
        0,
        none,
        nullptr,
        0,
        none,
        nullptr,
        0,
        "M",
        "E",
        "^MEAS(URE)?:(VOLT|CURR)\\?$",
        0,
        nullptr },
    { "OUTP",
        rec,
        0,
        0,
        zoArgCount(0, 1),
        t_bool,
        1,
        none,
        nullptr,
        1,
        "O",
        "U",
        "^OUTP(UT)?(:STAT(E)?)?\\??$",
        0,
        nullptr },
    { "PROT",
        rec,
        0,
        0,
        zoArgCount(1, 1),
        t_int,
        0,
        none,
        nullptr,
        0,
        "P",
        "R",
        "^PROT$",
        0,
        nullptr },
    { "STAT:ISUM",
        rec,
        0,
        0,
        zoArgCount(0, 1),
        t_int,
        0,
        none,
        nullptr,
        0,
        "S",
        "T",
        "^STAT(US)?:ISUM[0-9]*\\??$",
        0,
        nullptr },
    { "SYST:ABORT",
        &ZOCommand::create<Abort>,
        0,
        0,
        none,
        nullptr,
        0,
        none,
        nullptr,
        0,
        "S",
        "Y",
        "^SYST:ABORT$",
        0,
        nullptr },
    { "SYST:ARGS",
        rec,
        0,
        0,
        zoArgCount(0, 12),
        t_any,
        0,
        none,
        nullptr,
        0,
        "S",
        "Y",
        "^SYST:ARGS$",
        0,
        nullptr },
    { "SYST:BIG?",
        rec,
        0,
        0,
        none,
        nullptr,
        0,
        zoArgCount(1, 1),
        t_int,
        0,
        "S",
        "Y",
        "^SYST:BIG\\?$",
        0,
        nullptr },
    { "SYST:BLK?",
        rec,
        0,
        0,
        none,
        nullptr,
        0,
        none,
        nullptr,
        0,
        "S",
        "Y",
        "^SYST:BLK\\?$",
        0,
        nullptr },
    { "SYST:NOFACT",
        nullptr,
        0,
        0,
        none,
        nullptr,
        0,
        none,
        nullptr,
        0,
        "S",
        "Y",
        "^SYST:NOFACT$",
        0,
        nullptr },
    { "SYST:PAIR",
        rec,
        0,
        0,
        zoArgCount(2, 2),
        t_pair,
        0,
        none,
        nullptr,
        0,
        "S",
        "Y",
        "^SYST:PAIR$",
        0,
        nullptr },
    { "SYST:SECR",
        rec,
        0,
        1,
        none,
        nullptr,
        0,
        none,
        nullptr,
        0,
        "S",
        "Y",
        "^SYST:SECR\\??$",
        0,
        nullptr },
    { "SYST:STR?",
        rec,
        0,
        0,
        none,
        nullptr,
        0,
        none,
        nullptr,
        0,
        "S",
        "Y",
        "^SYST:STR\\?$",
        0,
        nullptr },
    { "VOLT",
        rec,
        0,
        0,
        zoArgCount(1, 1),
        t_voltage,
        0,
        zoArgCount(0, 1),
        t_minmax,
        0,
        "V",
        "O",
        "^VOLT(AGE)?(:LEV(EL)?)?\\??$",
        1,
        nullptr },
};

} // namespace

const zo4882::IDictIndex *dictionary()
{
    static const zo4882::ZODictIndex<32> index(s_dict);
    return &index;
}

QStringList &log()
{
    static QStringList lines;
    return lines;
}

void setAbortTarget(zo4882::ZO4882ParserDelegate *delegate)
{
    s_abortTarget = delegate;
}

void Sink::OnParsed(const ZO_PARSER_RESULT *result, const unsigned &, ZOCmdArg **answer)
{
    zo4882::ZOCommandRunner::run(result, answer);
}

short Sink::OnSettingsConflict(unsigned) const
{
    return -203;
}

} // namespace parsertest
