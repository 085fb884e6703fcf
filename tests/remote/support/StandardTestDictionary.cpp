#include "tests/remote/support/StandardTestDictionary.h"

#include "remote/ZOCmdArg.h"
#include "remote/ZODictIndex.h"
#include "remote/ZOStandardRows.h"

#include <QMutex>

using namespace zo4882;

namespace standardtest {

namespace {

class Current : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *r) const override
    {
        const double v = double(*r->args);
        return v < 0.0 || v > 1.0 ? -222 : 0;
    }
};

class Admin : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *) const override { return 0; }
    short OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **answer) const override
    {
        *answer = new ZOCmdArg(7, ZOCmdArg::KIND_INT);
        return 0;
    }
};

QMutex s_logMutex; // guards s_log
QStringList s_log;

class Log : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *r) const override
    {
        QMutexLocker lock(&s_logMutex);
        s_log << QString::number(int(*r->args));
        return 0;
    }
};

class HoldCommand : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *) const override
    {
        hold().entered.release();
        hold().release.tryAcquire(1, 10000);
        return 0;
    }
};

const unsigned t_amps[] = { ZOCmdArg::ARG_INT | ZOCmdArg::ARG_REAL
    | ZOCmdArg::unitWord(ZOCmdArg::UNIT_AMPERE) };

ZO_SCPI_DICT_ENTRY adminRow()
{
    ZO_SCPI_DICT_ENTRY r =
        rows::row("Admin", rows::factory<Admin>(), rows::noArgs, nullptr, "A", "D", "^ADMIN\\??$");
    r.denyClass = 1;
    return r;
}

ZO_SCPI_DICT_ENTRY s_dict[] = {
    rows::cls(),
    rows::ese(),
    rows::esr(),
    rows::idn(),
    rows::opc(),
    rows::opt(),
    rows::psc(),
    rows::rcl(),
    rows::rst(),
    rows::sav(),
    rows::sre(),
    rows::stb(),
    rows::trg(),
    rows::tst(),
    rows::wai(),
    adminRow(),
    rows::row("Hold", rows::factory<HoldCommand>(), rows::noArgs, nullptr, "H", "O", "^HOLD$"),
    rows::row("Log", rows::factory<Log>(), rows::oneArg, rows::argsNrf, "L", "O", "^LOG$"),
    rows::row("Curr", rows::factory<Current>(), rows::oneArg, t_amps, "C", "U", "^CURR$"),
    rows::statAnyCond(),
    rows::statAnyEven(),
    rows::statAnyEnab(),
    rows::statAnyPtr(),
    rows::statAnyNtr(),
    rows::row("StatAnyInst",
        rows::factory<_IFMAIN_StatAnyInst>(),
        rows::oneArg,
        rows::argsNrf,
        "S",
        "T",
        "^STAT:(OPER|QUES|FOO):INST(:COND|:ENAB|:PTR|:NTR)?\\??$"),
    rows::row("StatAnyInstIsum",
        rows::factory<_IFMAIN_StatAnyInstIsum>(),
        rows::oneArg,
        rows::argsNrf,
        "S",
        "T",
        "^STAT:(OPER|QUES|FOO):INST:ISUM[0-9]+(:COND|:ENAB|:PTR|:NTR)?\\??$"),
    rows::statPres(),
    rows::systErr(),
    rows::systErrCoun(),
    rows::systVers(),
};

constexpr int Rows = int(sizeof(s_dict) / sizeof(s_dict[0]));

} // namespace

QStringList takeLog()
{
    QMutexLocker lock(&s_logMutex);
    QStringList log = s_log;
    s_log.clear();
    return log;
}

Hold &hold()
{
    static Hold h;
    return h;
}

const IDictIndex *dictionary()
{
    static const ZODictIndex<Rows> index(s_dict);
    return &index;
}

} // namespace standardtest
