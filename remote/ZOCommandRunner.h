#pragma once

namespace zo4882 {

class ZOCmdArg;
struct ZO_PARSER_RESULT;

// Runs one recognised message unit the way the parser's OnParsed does: makes the command
// object through the row's factory, calls its query or setting form (a setting bound to a
// value under the value registry's mutex) and queues a failure on s_systErrCue with the
// result's interface type, header (optional root removed) and parameters as detail.
class ZOCommandRunner
{
public:
    // Returns the command's error number (0 on success or when the unit was dropped because
    // its bound value is not registered). A query's answer chain is stored through answer.
    static short run(const ZO_PARSER_RESULT *result, ZOCmdArg **answer);
};

} // namespace zo4882
