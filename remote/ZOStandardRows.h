#pragma once

#include "remote/ZOCmdArg.h"
#include "remote/ZOCommand.h"
#include "remote/ZOCommonCommands.h"
#include "remote/ZOStatusCommands.h"
#include "remote/ZOSystemCommands.h"
#include "remote/ZO_SCPI_DICT_ENTRY.h"

// Dictionary rows of the library's standard commands, for any dictionary table to copy:
//   ZO_SCPI_DICT_ENTRY s_dict[N] = { zo4882::rows::cls(), zo4882::rows::ese(), ... };
// Rows that the instrument serves with subclasses take the subclass's factory. Within one first
// letter the rows are listed in lookup order.
namespace zo4882::rows {

inline constexpr unsigned argsNrf[] = { ZOCmdArg::ARG_INT | ZOCmdArg::ARG_REAL };
inline constexpr unsigned argsBool[] = { ZOCmdArg::ARG_INT | ZOCmdArg::ARG_BOOL };

inline constexpr unsigned noArgs = zoArgCount(0, 0);
inline constexpr unsigned oneArg = zoArgCount(1, 1);

// A row without channel lists, value or deny class.
constexpr ZO_SCPI_DICT_ENTRY row(const char *name,
    ZOCommandFactory factory,
    unsigned setCount,
    const unsigned *setTypes,
    const char *first,
    const char *second,
    const char *pattern)
{
    return { name,
        factory,
        0,
        0,
        setCount,
        setTypes,
        0,
        noArgs,
        nullptr,
        0,
        first,
        second,
        pattern,
        0,
        nullptr };
}

template <class T> constexpr ZOCommandFactory factory()
{
    return &ZOCommand::create<T>;
}

// IEEE 488.2 common commands.
constexpr ZO_SCPI_DICT_ENTRY cls(ZOCommandFactory f = factory<_IFMAIN_Cls>())
{
    return row("*Cls", f, noArgs, nullptr, "*", "C", "^\\*CLS$");
}
constexpr ZO_SCPI_DICT_ENTRY ese()
{
    return row("*Ese", factory<_IFMAIN_Ese>(), oneArg, argsNrf, "*", "E", "^\\*ESE\\??$");
}
constexpr ZO_SCPI_DICT_ENTRY esr()
{
    return row("*Esr", factory<_IFMAIN_Esr>(), noArgs, nullptr, "*", "E", "^\\*ESR\\?$");
}
constexpr ZO_SCPI_DICT_ENTRY idn()
{
    return row("*Idn", factory<_IFMAIN_Idn>(), noArgs, nullptr, "*", "I", "^\\*IDN\\?$");
}
constexpr ZO_SCPI_DICT_ENTRY opc(ZOCommandFactory f = factory<_IFMAIN_Opc>())
{
    return row("*Opc", f, noArgs, nullptr, "*", "O", "^\\*OPC\\??$");
}
constexpr ZO_SCPI_DICT_ENTRY opt(ZOCommandFactory f = factory<_IFMAIN_Opt>())
{
    return row("*Opt", f, noArgs, nullptr, "*", "O", "^\\*OPT\\?$");
}
constexpr ZO_SCPI_DICT_ENTRY psc()
{
    return row("*Psc", factory<_IFMAIN_Psc>(), oneArg, argsBool, "*", "P", "^\\*PSC\\??$");
}
constexpr ZO_SCPI_DICT_ENTRY rcl(ZOCommandFactory f = factory<_IFMAIN_Rcl>())
{
    return row("*Rcl", f, oneArg, argsNrf, "*", "R", "^\\*RCL$");
}
constexpr ZO_SCPI_DICT_ENTRY rst(ZOCommandFactory f = factory<_IFMAIN_Rst>())
{
    return row("*Rst", f, noArgs, nullptr, "*", "R", "^\\*RST$");
}
constexpr ZO_SCPI_DICT_ENTRY sav(ZOCommandFactory f = factory<_IFMAIN_Sav>())
{
    return row("*Sav", f, oneArg, argsNrf, "*", "S", "^\\*SAV$");
}
constexpr ZO_SCPI_DICT_ENTRY sre()
{
    return row("*Sre", factory<_IFMAIN_Sre>(), oneArg, argsNrf, "*", "S", "^\\*SRE\\??$");
}
constexpr ZO_SCPI_DICT_ENTRY stb()
{
    return row("*Stb", factory<_IFMAIN_Stb>(), noArgs, nullptr, "*", "S", "^\\*STB\\?$");
}
constexpr ZO_SCPI_DICT_ENTRY trg(ZOCommandFactory f = factory<_IFMAIN_Trg>())
{
    return row("*Trg", f, noArgs, nullptr, "*", "T", "^\\*TRG$");
}
constexpr ZO_SCPI_DICT_ENTRY tst()
{
    return row("*Tst", factory<_IFMAIN_Tst>(), noArgs, nullptr, "*", "T", "^\\*TST\\?$");
}
constexpr ZO_SCPI_DICT_ENTRY wai(ZOCommandFactory f = factory<_IFMAIN_Wai>())
{
    return row("*Wai", f, noArgs, nullptr, "*", "W", "^\\*WAI$");
}

// STATus:OPERation and STATus:QUEStionable, then STATus:PRESet.
constexpr ZO_SCPI_DICT_ENTRY statAnyCond()
{
    return row("StatAnyCond",
        factory<_IFMAIN_StatAny>(),
        noArgs,
        nullptr,
        "S",
        "T",
        "^STAT(US)?:(OPER(ATION)?|QUES(TIONABLE)?):COND(ITION)?\\?$");
}
constexpr ZO_SCPI_DICT_ENTRY statAnyEven()
{
    return row("StatAnyEven",
        factory<_IFMAIN_StatAny>(),
        noArgs,
        nullptr,
        "S",
        "T",
        "^STAT(US)?:(OPER(ATION)?|QUES(TIONABLE)?)(:EVENT?)?\\?$");
}
constexpr ZO_SCPI_DICT_ENTRY statAnyEnab()
{
    return row("StatAnyEnab",
        factory<_IFMAIN_StatAny>(),
        oneArg,
        argsNrf,
        "S",
        "T",
        "^STAT(US)?:(OPER(ATION)?|QUES(TIONABLE)?):ENAB(LE)?\\??$");
}
constexpr ZO_SCPI_DICT_ENTRY statAnyPtr()
{
    return row("StatAnyPtr",
        factory<_IFMAIN_StatAny>(),
        oneArg,
        argsNrf,
        "S",
        "T",
        "^STAT(US)?:(OPER(ATION)?|QUES(TIONABLE)?):PTR(ANSITION)?\\??$");
}
constexpr ZO_SCPI_DICT_ENTRY statAnyNtr()
{
    return row("StatAnyNtr",
        factory<_IFMAIN_StatAny>(),
        oneArg,
        argsNrf,
        "S",
        "T",
        "^STAT(US)?:(OPER(ATION)?|QUES(TIONABLE)?):NTR(ANSITION)?\\??$");
}
constexpr ZO_SCPI_DICT_ENTRY statPres()
{
    return row("StatPres",
        factory<_IFMAIN_StatPres>(),
        noArgs,
        nullptr,
        "S",
        "T",
        "^STAT(US)?:PRES(ET)?$");
}

// SYSTem:ERRor and SYSTem:VERSion.
constexpr ZO_SCPI_DICT_ENTRY systErr()
{
    return row("SystErr",
        factory<_IFMAIN_SystErr>(),
        noArgs,
        nullptr,
        "S",
        "Y",
        "^SYST(EM)?:ERR(OR)?(:NEXT)?\\?$");
}
constexpr ZO_SCPI_DICT_ENTRY systErrCoun()
{
    return row("SystErrCoun",
        factory<_IFMAIN_SystErrCoun>(),
        noArgs,
        nullptr,
        "S",
        "Y",
        "^SYST(EM)?:ERR(OR)?:COUNT?\\?$");
}
constexpr ZO_SCPI_DICT_ENTRY systVers()
{
    return row("SystVers",
        factory<_IFMAIN_SystVers>(),
        noArgs,
        nullptr,
        "S",
        "Y",
        "^SYST(EM)?:VERS(ION)?\\?$");
}

} // namespace zo4882::rows
