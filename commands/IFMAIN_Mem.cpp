#include "commands/IFMAIN_Mem.h"

#include "remote/ZOCmdArgRange.h"

namespace {

short presetCommand(const zo4882::ZO_PARSER_RESULT *result)
{
    long long slot = 0;
    if (const short e = zo4882::zoRoundedArg(result->args, 1, 3, &slot))
        return e;
    return zo4882::notAvailable(result);
}

} // namespace

short IFMAIN_MemRec::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    return presetCommand(result);
}

short IFMAIN_MemSave::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    return presetCommand(result);
}
