#include "commands/NotAvailable.h"

#include "commands/ValueNotAvailable.h"
#include "remote/ZOCmdArgRange.h"
#include "remote/ZOValueManager.h"
#include "remote/ZO_SCPI_DICT_ENTRY.h"

short IFMAIN_NotAvailable::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    return notAvailable(result);
}

short IFMAIN_NotAvailable::OnQuery(
    const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **) const
{
    return notAvailable(result);
}

bool isValueAvailable(const zo4882::ZO_PARSER_RESULT *result)
{
    const zostd::ZOValueManager *registry = zostd::ZOValueManager::s_pSelf;
    if (!result || !result->entry || !registry)
        return true;
    const zostd::IValue *value = registry->find(result->entry->valueId);
    return !value || value->getKvType() != ValueNotAvailable::kvtype;
}

short notAvailableAfterCheck(const zo4882::ZO_PARSER_RESULT *result, long long low, long long high)
{
    long long n = 0;
    if (const short e = zo4882::zoRoundedArg(result->args, low, high, &n))
        return e;
    return notAvailable(result);
}
