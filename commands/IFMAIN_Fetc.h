#pragma once

#include "remote/ZOCommand.h"

// FETCh?, READ? and MEASure? with their items (:CURRent, :VOLTage, :POWer, :ETIMe, :CAPacity,
// :ENERgy; none: every item of the data format), one class for the seven entries, told apart
// by the header. FETCh answers from the newest record (waiting for a running acquisition when
// the logger is empty), READ starts an acquisition with the present settings and MEASure an
// immediate single one first; both answer once it has completed. Errors: -230 no data and
// nothing initiated; -214 the acquisition waits for a bus trigger alone; -221 READ with BUS as
// the only source; -211 READ or MEASure cannot initiate; -410 the wait was ended by an abort
// or a device clear.
class IFMAIN_Fetc : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};
