#include "commands/IFMAIN_Common.h"

#include "engine/AbcMemory.h"
#include "engine/ELoad.h"
#include "engine/PanelMemory.h"
#include "instrument/ModelInformation.h"
#include "remote/QueueError.h"
#include "remote/ZOCmdArg.h"
#include "remote/ZOCmdArgRange.h"

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

// The setup slot named by the argument ("%02d.info") and the engine root; -109 or -222 from
// the argument's check. Without the engine root *root stays null and the command is answered.
short setupOf(const zo4882::ZO_PARSER_RESULT *result, QString *name, vek::ELoad **root)
{
    long long n = 0;
    if (const short e = zo4882::zoRoundedArg(result->args, 0, LastSetup, &n))
        return e;
    *name = QString::asprintf("%02d.info", int(n));
    *root = vek::ELoad::s_pSelf;
    return *root ? 0 : notAvailable(result);
}

} // namespace

short IFMAIN_Rcl::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    QString name;
    vek::ELoad *root = nullptr;
    if (const short e = setupOf(result, &name, &root); e != 0 || !root)
        return e;
    return vek::PanelMemory().rcl(name, root->presets());
}

short IFMAIN_Rst::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    vek::ELoad *root = vek::ELoad::s_pSelf;
    if (!root)
        return notAvailable(result);
    return vek::PanelMemory().rst(root->presets());
}

short IFMAIN_Sav::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    QString name;
    vek::ELoad *root = nullptr;
    if (const short e = setupOf(result, &name, &root); e != 0 || !root)
        return e;
    QString failure;
    const short e = vek::PanelMemory().sav(name, *root->presets(), &failure);
    if (e != 0 && !failure.isEmpty()) {
        // Queued here with the file and the reason; the parser adds no second entry for 0.
        zo4882::queueErrorFrom(result->intf, e, failure);
        return 0;
    }
    return e;
}
