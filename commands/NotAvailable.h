#pragma once

#include "remote/ZOCommand.h"

// Commands whose work is not built yet answer an execution error, never a silent success.

using zo4882::notAvailable;

// The handler of a dictionary entry whose handler class is not built yet: both forms answer
// notAvailable(). The header that declares a handler names it with
//   using IFMAIN_Xyz = IFMAIN_NotAvailable;
// until the class itself replaces that line.
class IFMAIN_NotAvailable : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// The factory of a value-bound entry: handler T when the value registered under the entry's id
// is built, IFMAIN_NotAvailable while it is a placeholder (ValueNotAvailable).
template <class T> zo4882::ZOCommand *createIfAvailable(const zo4882::ZO_PARSER_RESULT *result);

bool isValueAvailable(const zo4882::ZO_PARSER_RESULT *result);

// A command whose number argument is checked before its work, which is not built yet: -109
// without it, -222 when it does not round into low .. high, else notAvailable().
short notAvailableAfterCheck(const zo4882::ZO_PARSER_RESULT *result, long long low, long long high);

template <class T> zo4882::ZOCommand *createIfAvailable(const zo4882::ZO_PARSER_RESULT *result)
{
    if (isValueAvailable(result))
        return new T(result);
    return new IFMAIN_NotAvailable(result);
}
