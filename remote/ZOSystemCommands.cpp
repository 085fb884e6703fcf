#include "remote/ZOSystemCommands.h"

#include "remote/ZOCmdArg.h"
#include "remote/ZOSystErrCue.h"

namespace zo4882 {

short _IFMAIN_SystErr::OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **answer) const
{
    const SYST_ERR_INFO oldest = s_systErrCue.decue();
    const QByteArray message =
        oldest.isEmpty() ? QByteArrayLiteral("No error") : oldest.getFullErrorMessage().toLatin1();
    *answer = ZOCmdArg::linkChains(2,
        new ZOCmdArg(int(oldest.code()), ZOCmdArg::KIND_INT),
        new ZOCmdArg(message.constData(), message.size(), ZOCmdArg::KIND_STRING));
    return 0;
}

short _IFMAIN_SystErrCoun::OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **answer) const
{
    *answer = new ZOCmdArg(s_systErrCue.count(), ZOCmdArg::KIND_INT);
    return 0;
}

short _IFMAIN_SystVers::OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **answer) const
{
    *answer = new ZOCmdArg("1999.0", ZOCmdArg::KIND_CHAR);
    return 0;
}

} // namespace zo4882
