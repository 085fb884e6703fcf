#pragma once

#include "remote/ZOCommand.h"

namespace zo4882 {

// The SCPI SYSTem commands of the library.

// SYSTem:ERRor[:NEXT]?: takes the oldest entry off the error queue and answers its code and
// its full message (text, then ";" and the detail) as Latin-1 string data; +0,"No error" when
// the queue is empty.
class _IFMAIN_SystErr : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// SYSTem:ERRor:COUNt?: the number of queued errors.
class _IFMAIN_SystErrCoun : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// SYSTem:VERSion?: the SCPI version, 1999.0.
class _IFMAIN_SystVers : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

} // namespace zo4882
