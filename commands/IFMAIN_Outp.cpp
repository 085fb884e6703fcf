#include "commands/IFMAIN_Outp.h"

#include "commands/NotAvailable.h"
#include "remote/ZOCmdArg.h"

short IFMAIN_Outp::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    if (result && result->args && result->args->next())
        return notAvailable(result);
    return zo4882::_IFMAIN_gen_bool8::OnSet(result);
}
