#pragma once

#include "commands/NotAvailable.h"
#include "remote/ZOCommonCommands.h"

// The instrument's handlers of the IEEE 488.2 common commands, in dictionary order. *CLS,
// *OPC and *WAI are the library's: the acquisition reports to the shared tracker (s_opc), which
// *OPC, *OPC? and *WAI serve; *OPC? and *WAI refuse to wait for an acquisition that only a bus
// trigger can go on with (-430, -214). *RCL, *RST and *SAV work on the setup files
// (vek::PanelMemory) with the engine root's presets.

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

// *RCL n: recalls setup n, 0 to 19 (else -222): 104 while a program runs, -314 for a missing
// file, -253 for one that is not a setup.
class IFMAIN_Rcl : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};

// *RST: the reset state of the setup (the instrument configuration and the transient trigger
// settings stay).
class IFMAIN_Rst : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};

// *SAV n: saves setup n, 0 to 19 (else -222); a failed write is -310 naming the file.
class IFMAIN_Sav : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};

using IFMAIN_Wai = zo4882::_IFMAIN_Wai;
