#include "remote/ZOCommand.h"

#include "remote/QueueError.h"
#include "remote/ZOValueManager.h"
#include "remote/ZO_SCPI_DICT_ENTRY.h"

namespace zo4882 {

ZOCommand::ZOCommand(const ZO_PARSER_RESULT *result)
    : m_entry(result ? result->entry : nullptr)
{
    if (m_entry && m_entry->valueId != 0 && zostd::ZOValueManager::s_pSelf)
        m_value = zostd::ZOValueManager::s_pSelf->find(m_entry->valueId);
}

short ZOCommand::OnSet(const ZO_PARSER_RESULT *) const
{
    return -113;
}

short ZOCommand::OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **) const
{
    return -113;
}

short notAvailable(const ZO_PARSER_RESULT *result)
{
    queueErrorFrom(result ? result->intf : INTF_PANEL, -200, QStringLiteral("not available"));
    return 0;
}

} // namespace zo4882
