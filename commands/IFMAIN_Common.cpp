#include "commands/IFMAIN_Common.h"

#include "instrument/ModelInformation.h"
#include "remote/ZOCmdArg.h"

#include <QStringList>

short IFMAIN_Opt::OnQuery(const zo4882::ZO_PARSER_RESULT *, zo4882::ZOCmdArg **answer) const
{
    QStringList enabled;
    if (const ModelInformation *model = ModelInformation::s_pSelf) {
        for (const CustomOption &option : model->options()) {
            if (option.enabled)
                enabled << option.name;
        }
    }
    const QByteArray text =
        enabled.isEmpty() ? QByteArrayLiteral("0") : enabled.join(',').toLatin1();
    *answer = new zo4882::ZOCmdArg(text.constData(), zo4882::ZOCmdArg::KIND_CHAR);
    return 0;
}

namespace {

constexpr long long LastSetup = 19;

} // namespace

short IFMAIN_Rcl::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    return notAvailableAfterCheck(result, 0, LastSetup);
}

short IFMAIN_Sav::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    return notAvailableAfterCheck(result, 0, LastSetup);
}
