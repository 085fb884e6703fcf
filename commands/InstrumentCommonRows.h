#pragma once

#include "commands/IFMAIN_Common.h"
#include "commands/IFMAIN_SystPass.h"
#include "remote/ZOStandardRows.h"

// Dictionary rows of the instrument's own common-command and password handlers, for the
// instrument dictionary to copy beside the library's rows (zo4882::rows). Within one first
// letter the rows are listed in lookup order.
namespace instrumentrows {

inline constexpr unsigned argsString[] = { zo4882::ZOCmdArg::ARG_STRING };

constexpr zo4882::ZO_SCPI_DICT_ENTRY opt()
{
    return zo4882::rows::opt(zo4882::rows::factory<IFMAIN_Opt>());
}

constexpr zo4882::ZO_SCPI_DICT_ENTRY systPassCdis()
{
    return zo4882::rows::row("SystPassCdis",
        zo4882::rows::factory<IFMAIN_SystPassCdis>(),
        zo4882::rows::oneArg,
        argsString,
        "S",
        "Y",
        "^SYST(EM)?:PASS(WORD)?:CDIS(ABLE)?$");
}

constexpr zo4882::ZO_SCPI_DICT_ENTRY systPassCen()
{
    return zo4882::rows::row("SystPassCen",
        zo4882::rows::factory<IFMAIN_SystPassCen>(),
        zo4882::rows::oneArg,
        argsString,
        "S",
        "Y",
        "^SYST(EM)?:PASS(WORD)?(:CEN(ABLE)?)?$");
}

constexpr zo4882::ZO_SCPI_DICT_ENTRY systPassCenStat()
{
    return zo4882::rows::row("SystPassCenStat",
        zo4882::rows::factory<IFMAIN_SystPassCenStat>(),
        zo4882::rows::noArgs,
        nullptr,
        "S",
        "Y",
        "^SYST(EM)?:PASS(WORD)?(:CEN(ABLE)?)?:STATE?\\?$");
}

} // namespace instrumentrows
