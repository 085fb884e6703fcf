#include "commands/IFMAIN_SystPass.h"

#include "commands/AdminMode.h"
#include "commands/MyParser.h"
#include "remote/ZOCmdArg.h"

namespace {

bool passwordGiven(const zo4882::ZO_PARSER_RESULT *result)
{
    return result->args && AdminMode::matches(result->args->text(), result->intf);
}

void setAdministrator(bool on)
{
    AdminMode::setOn(on);
    if (zo4882::ZO4882Parser *parser = zo4882::ZO4882Parser::s_pSelf.load()) {
        if (on)
            parser->resetAndSetDenyFlags(MyParser::DenyAdministrator, 0);
        else
            parser->resetAndSetDenyFlags(0, MyParser::DenyAdministrator);
    }
}

} // namespace

short IFMAIN_SystPassCdis::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    if (!passwordGiven(result))
        return 108;
    setAdministrator(false);
    return 0;
}

short IFMAIN_SystPassCen::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    if (!passwordGiven(result))
        return 108;
    setAdministrator(true);
    return 0;
}

short IFMAIN_SystPassCenStat::OnQuery(
    const zo4882::ZO_PARSER_RESULT *, zo4882::ZOCmdArg **answer) const
{
    *answer = new zo4882::ZOCmdArg(AdminMode::isOn() ? 1 : 0, zo4882::ZOCmdArg::KIND_BOOL);
    return 0;
}
