#pragma once

#include "remote/ZOCommand.h"

// PROGram: programs and their steps, in dictionary order, and TRIGger:TRANsient:EXECution?.
//
// The program object lives in the GUI thread. Settings marked "handshake" run there through
// vek::Program::request() and return that request's own result; the others are queued to it and
// return 0 at once. Before either, the checks run in this order where a command has them: a
// program is selected (304), no program runs (104), CC mode (106), the CV option is on (107).
// Step settings and queries take the step number from the header (STEP<n>). Without a program
// object every command answers -200.

// PROGram:CREate "name": creates a program (handshake).
class IFMAIN_ProgCre : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};

// PROGram:DELete "name": deletes a program (handshake).
class IFMAIN_ProgDel : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};

// PROGram:LIST?: the programs' names, each in double quotes, joined by "," and cut at a
// name within ListLimit characters; "" when there is none.
class IFMAIN_ProgList : public zo4882::ZOCommand
{
public:
    static constexpr int ListLimit = 8191;

    using zo4882::ZOCommand::ZOCommand;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram[:SELected] "name": selects a program (handshake); the query answers its name.
class IFMAIN_ProgSel : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:REName "name": renames the selected program (handshake).
class IFMAIN_ProgRen : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};

// PROGram:LOOP n|INF: the loop count (INF, INFINITE, INFINITY: endless, 0); -222 below 1.
// The query answers 0 while no program is selected.
class IFMAIN_ProgLoop : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:SAVE: saves the selected program (not waited for).
class IFMAIN_ProgSave : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};

// PROGram:CHAin: not supported by the instrument, -102 in both forms.
class IFMAIN_ProgChain : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:CURRent:PROTection:ACTion LIM|TRIP.
class IFMAIN_ProgCurrProtAction : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:CURRent:PROTection[:LEVel][:UPPer] x.
class IFMAIN_ProgCurrProtLev : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:CURRent:PROTection[:TRIP]:STATe b.
class IFMAIN_ProgCurrProtStat : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:POWer:PROTection:ACTion LIM|TRIP.
class IFMAIN_ProgPowProtAction : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:POWer:PROTection[:LEVel][:UPPer] x.
class IFMAIN_ProgPowProtLev : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:POWer:PROTection[:TRIP]:STATe b.
class IFMAIN_ProgPowProtStat : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:VOLTage:PROTection:ACTion LIM|TRIP.
class IFMAIN_ProgVoltProtAction : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:VOLTage:PROTection[:LEVel]:LOWer x.
class IFMAIN_ProgVoltProtLevLow : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:VOLTage:PROTection:STATe b (apart from the trip state).
class IFMAIN_ProgVoltProtStat : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:CVOPtion:LEVel x: 107 while the CV option is off.
class IFMAIN_ProgCvopLev : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:STEPS:COUNt n (handshake); the query answers 0 while none is selected.
class IFMAIN_ProgStepsCoun : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:STEP<n>:DWELl x (handshake).
class IFMAIN_ProgStepDwel : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:STEP<n>:LEVel x (handshake).
class IFMAIN_ProgStepLev : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:STEP<n>:SLEWrate x (handshake); 106 outside CC mode.
class IFMAIN_ProgStepSlew : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:STEP<n>:INPut|OUTPut b (handshake).
class IFMAIN_ProgStepOutp : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:STEP<n>:TRANsient[:STATe] IMM|RAMP (handshake).
class IFMAIN_ProgStepTran : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:STEP<n>:TRANsient:STARt x: accepted and kept for nothing; the query answers 0.
class IFMAIN_ProgStepTranStar : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:STEP<n>:TRIGger:WAIT k{,k}: IMM or BUS alone, else any of TRIGIN, DIGITAL2,
// MSYNC and CUTOFF, each once (202, 204, 205, -224); handshake.
class IFMAIN_ProgStepTrigWait : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:STEP<n>:TRIGger:GENerate k{,k}|NONE: any of TRIGOUT, DIGITAL0, DIGITAL1,
// DIGITAL2 and TALINK, each once (202, -224); handshake.
class IFMAIN_ProgStepTrigGen : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:STEP<n>:EVENt:OC|OP|UV DEF|NEXT|END.
class IFMAIN_ProgStepEvenAny : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:LAST:STATe b (not waited for).
class IFMAIN_ProgLastStat : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:LAST:INPut|OUTPut b (handshake).
class IFMAIN_ProgLastOutp : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:LAST:LEVel x (handshake).
class IFMAIN_ProgLastLev : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// PROGram:LAST:SLEWrate x (handshake); 106 outside CC mode.
class IFMAIN_ProgLastSlew : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};
