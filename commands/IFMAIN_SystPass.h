#pragma once

#include "commands/NotAvailable.h"
#include "remote/ZOCommand.h"

// The administrator password commands (SYSTem:PASSword), in dictionary order. They run in the
// parser thread and change the parser's deny flags, which apply from the next message unit.

// SYSTem:PASSword:CDISable "pw": with the stored password, administrator mode off and the
// administrator-only settings denied again; otherwise 108.
class IFMAIN_SystPassCdis : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};

// SYSTem:PASSword[:CENable] "pw": with the stored password (compared exactly), administrator
// mode on and the administrator-only settings allowed; otherwise 108 and nothing changes.
class IFMAIN_SystPassCen : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};

// SYSTem:PASSword[:CENable]:STATe?: the administrator mode as 1 or 0.
class IFMAIN_SystPassCenStat : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// SYSTem:PASSword:NEW "old","new": not built yet.
using IFMAIN_SystPassNew = IFMAIN_NotAvailable;
