#include "remote/ZOCommand.h"

#include "remote/ZO_SCPI_DICT_ENTRY.h"

namespace zo4882 {

ZOCommand::ZOCommand(const ZO_PARSER_RESULT *result)
    : m_entry(result ? result->entry : nullptr)
{ }

short ZOCommand::OnSet(const ZO_PARSER_RESULT *) const
{
    return -113;
}

short ZOCommand::OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **) const
{
    return -113;
}

} // namespace zo4882
