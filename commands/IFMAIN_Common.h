#pragma once

#include "commands/NotAvailable.h"
#include "remote/ZOCommonCommands.h"

// The instrument's handlers of the IEEE 488.2 common commands, in dictionary order. *CLS,
// *OPC and *WAI are the library's: the acquisition reports to the shared tracker (s_opc), which
// *OPC, *OPC? and *WAI serve; *OPC? and *WAI refuse to wait for an acquisition that only a bus
// trigger can go on with (-430, -214). *RCL, *RST and *SAV belong to the setup files, which are
// not built yet: after their number's check they answer notAvailable().

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

// *RCL n: setup n, 0 to 19 (else -222).
class IFMAIN_Rcl : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};

using IFMAIN_Rst = IFMAIN_NotAvailable;

// *SAV n: setup n, 0 to 19 (else -222).
class IFMAIN_Sav : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};

using IFMAIN_Wai = zo4882::_IFMAIN_Wai;
