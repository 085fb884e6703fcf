#pragma once

#include "remote/ZOCommand.h"

// TRIGger:TRANsient:EXECution[:STATe]?: the transient's state (IDLE, WTG, SUSP, RUN; PULS or
// SINE while idle and a modulation runs), the running step and the loop count, as RUN,+3,+1.
class IFMAIN_TrigTranExec : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};
