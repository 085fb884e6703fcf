#pragma once

#include "remote/ZOCommand.h"

namespace zo4882 {

// The SCPI STATus commands. The register and the part of it are chosen by words of the matched
// header: "OPER" or "QUES" picks the group (neither is -113); a query of "COND", "ENAB", "PTR"
// or "NTR" answers that part, any other query answers the event register and clears it; a
// setting of "ENAB", "PTR" or "NTR" stores the number masked with the valid bits (any other
// setting is -113). Contents are answered as unsigned 16-bit integers.

// STATus:OPERation and STATus:QUEStionable: settings outside 0 to 65535 are -222; reading the
// event clears the group's summary bit in the status byte.
class _IFMAIN_StatAny : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// STATus:<group>:INSTrument: the instrument register of the group; settings take the low 16
// bits of the rounded number.
class _IFMAIN_StatAnyInst : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// STATus:<group>:INSTrument:ISUMmary<n>: instrument-summary register n (1 to 3, else -131);
// settings as _IFMAIN_StatAnyInst.
class _IFMAIN_StatAnyInstIsum : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// STATus:PRESet: statPreset().
class _IFMAIN_StatPres : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
};

} // namespace zo4882
