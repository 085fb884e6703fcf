#pragma once

namespace zo4882 {

class ZOCmdArg;
struct ZO_PARSER_RESULT;

// The parser's side of parsing: runs recognised message units and rules on denied settings.
class IParserEventSink
{
public:
    virtual ~IParserEventSink() = default;
    // Runs the unit and stores a newly allocated answer chain (or null) through answer; errors
    // of the command are queued by the sink itself.
    virtual void OnParsed(
        const ZO_PARSER_RESULT *result, const unsigned &denyFlags, ZOCmdArg **answer) = 0;
    // The SCPI error number for a setting refused by the deny flags (the shared bits given).
    virtual short OnSettingsConflict(unsigned deniedBits) const = 0;
};

} // namespace zo4882
