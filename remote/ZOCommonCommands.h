#pragma once

#include "remote/ZOCommand.h"

namespace zo4882 {

// The IEEE 488.2 common commands, in dictionary order. They act on the status registers, the
// error queue, the preferences (zostd::IPreferenceInfo, skipped while there are none) and the
// model identity (zostd::IModelInfo). The instrument's dictionary subclasses *CLS, *OPC, *OPT
// and *WAI and has its own *RCL, *RST, *SAV and *TRG.

// *CLS: cls(), the event registers and the error queue.
class _IFMAIN_Cls : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
};

// *ESE n (0 to 255, rounded, else -222; also kept in the preferences), *ESE?.
class _IFMAIN_Ese : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// *ESR?: reads and clears the standard event status register (and status byte bit 0x20).
class _IFMAIN_Esr : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// *IDN?: "maker,model,serial,revision" in Latin-1, built on the first query that finds the
// model identity and kept for the rest of the run.
class _IFMAIN_Idn : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// *OPC: latches the operation-complete event now, or when the pending operations of s_opc have
// completed. *OPC?: "1" once nothing is pending; -430 instead of waiting for an operation that
// only a bus trigger can complete, -410 when a device clear ends the wait.
class _IFMAIN_Opc : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// *OPT?: "0", no options.
class _IFMAIN_Opt : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// *PSC b (non-zero sets the flag, also ON/OFF), *PSC?: the preferences' power-on status clear.
class _IFMAIN_Psc : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// *RCL, *RST, *SAV: notAvailable() until the instrument's own replace them.
class _IFMAIN_Rcl : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
};

class _IFMAIN_Rst : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
};

class _IFMAIN_Sav : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
};

// *SRE n (0 to 255, rounded, else -222; also kept in the preferences), *SRE?.
class _IFMAIN_Sre : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// *STB?: the status byte with message available (0x10) set, since this answer is a message.
class _IFMAIN_Stb : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// *TRG: notAvailable() until the instrument binds *TRG to its trigger action.
class _IFMAIN_Trg : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
};

// *TST?: "0", self-test passed.
class _IFMAIN_Tst : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// *WAI: returns once the pending operations of s_opc have completed; -214 instead of waiting
// for an operation that only a bus trigger can complete; 0 when a device clear ends the wait.
class _IFMAIN_Wai : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
};

} // namespace zo4882
