#include "remote/ZOCommandRunner.h"

#include "remote/SYST_ERR_INFO.h"
#include "remote/ZOCommand.h"
#include "remote/ZOSystErrCue.h"
#include "remote/ZOValueManager.h"
#include "remote/ZO_SCPI_DICT_ENTRY.h"

#include <QMutexLocker>

#include <memory>

namespace zo4882 {

short ZOCommandRunner::run(const ZO_PARSER_RESULT *result, ZOCmdArg **answer)
{
    if (answer)
        *answer = nullptr;
    const ZO_SCPI_DICT_ENTRY *entry = result->entry;
    std::unique_ptr<ZOCommand> command(entry && entry->factory ? entry->factory(result) : nullptr);
    short e = 0;
    if (!command) {
        s_systErrCue.cue(SYST_ERR_INFO(-113, result->intf, result->header, nullptr));
        return -113;
    }
    if (entry->valueId != 0 && !command->value()) {
        // A row bound to a value that is not registered is dropped silently.
        return 0;
    }
    if (result->query) {
        e = command->OnQuery(result, answer);
    } else if (command->value()) {
        // The value exists, so the registry does too.
        QMutexLocker lock(zostd::ZOValueManager::s_pSelf->getMutex());
        e = command->OnSet(result);
    } else {
        e = command->OnSet(result);
    }
    if (e != 0)
        s_systErrCue.cue(SYST_ERR_INFO(e, result->intf, result->header, result->params));
    return e;
}

} // namespace zo4882
