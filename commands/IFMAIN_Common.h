#pragma once

#include "commands/NotAvailable.h"
#include "remote/ZOCommonCommands.h"

// The instrument's handlers of the IEEE 488.2 common commands, in dictionary order. *CLS,
// *OPC and *WAI are the library's: the acquisition reports to the shared tracker (s_opc), which
// *OPC, *OPC? and *WAI serve. *RCL, *RST and *SAV belong to the setup files, which are not
// built yet.

using IFMAIN_Cls = zo4882::_IFMAIN_Cls;
using IFMAIN_Opc = zo4882::_IFMAIN_Opc;

// *OPT?: the names of the enabled installable options, in the model information's order,
// joined by ","; "0" when none is enabled.
class IFMAIN_Opt : public zo4882::_IFMAIN_Opt
{
public:
    using zo4882::_IFMAIN_Opt::_IFMAIN_Opt;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

using IFMAIN_Rcl = IFMAIN_NotAvailable;
using IFMAIN_Rst = IFMAIN_NotAvailable;
using IFMAIN_Sav = IFMAIN_NotAvailable;

using IFMAIN_Wai = zo4882::_IFMAIN_Wai;
