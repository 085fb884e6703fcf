#include "commands/IFMAIN_Syst.h"

#include "instrument/PreferenceInfo.h"
#include "remote/ZOCmdArg.h"

namespace {

PreferenceInfo *preferences()
{
    return static_cast<PreferenceInfo *>(PreferenceInfo::s_pSelf);
}

} // namespace

short IFMAIN_SystCommZostdSafu::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    PreferenceInfo *target = preferences();
    if (!target)
        return -200;
    target->setZostdSafuEnabled(result->args && result->args->isTrue());
    return 0;
}

short IFMAIN_SystCommZostdSafu::OnQuery(
    const zo4882::ZO_PARSER_RESULT *, zo4882::ZOCmdArg **answer) const
{
    const PreferenceInfo *source = preferences();
    if (!source)
        return -200;
    *answer =
        new zo4882::ZOCmdArg(source->getZostdSafuEnabled() ? 1 : 0, zo4882::ZOCmdArg::KIND_BOOL);
    return 0;
}
