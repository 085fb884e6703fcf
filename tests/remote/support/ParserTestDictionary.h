#pragma once

#include "remote/IParserEventSink.h"

#include <QStringList>

namespace zo4882 {
class IDictIndex;
class ZO4882ParserDelegate;
} // namespace zo4882

// A small dictionary with the instrument's row layout, for the parser's tests, its fuzz target
// and its benchmark. Every command appends one line to log(): the header, the arguments in their
// answer form, " @<channel bits in hex>" and " #<suffix>" when present.
namespace parsertest {

const zo4882::IDictIndex *dictionary();
QStringList &log();
// SYST:ABORT raises this delegate's abort flag, as a device clear would during a message.
void setAbortTarget(zo4882::ZO4882ParserDelegate *delegate);

// The parser's part for the tests: runs units through ZOCommandRunner; denied settings -203.
class Sink : public zo4882::IParserEventSink
{
public:
    void OnParsed(const zo4882::ZO_PARSER_RESULT *result,
        const unsigned &denyFlags,
        zo4882::ZOCmdArg **answer) override;
    short OnSettingsConflict(unsigned deniedBits) const override;
};

} // namespace parsertest
