#pragma once

#include "commands/NotAvailable.h"
#include "remote/ZOCommand.h"

// SYSTem: remote state, clock and time zone, factory data and the RS-232 meta-command flag,
// in dictionary order (the password commands are in IFMAIN_SystPass.h).
// Until a handler is built, its name stands for IFMAIN_NotAvailable.

using IFMAIN_SystCommRlst = IFMAIN_NotAvailable;
using IFMAIN_SystDate = IFMAIN_NotAvailable;
using IFMAIN_SystRemX = IFMAIN_NotAvailable;
using IFMAIN_SystTime = IFMAIN_NotAvailable;
using IFMAIN_SystTimeAdj = IFMAIN_NotAvailable;
using IFMAIN_SystTzon = IFMAIN_NotAvailable;
using IFMAIN_SystTzonCat = IFMAIN_NotAvailable;
using IFMAIN_SystFactMac = IFMAIN_NotAvailable;
using IFMAIN_SystFactSer = IFMAIN_NotAvailable;

// SYSTem:COMMunicate:ZOSTD:SAFU[:STATe] b: switches the RS-232 meta-command mode of the
// preferences (not saved; off at every start); the query answers it as 1 or 0. -200 while the
// preferences do not exist.
class IFMAIN_SystCommZostdSafu : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};
