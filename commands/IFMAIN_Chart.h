#pragma once

#include "remote/ZOCommand.h"

// CHARt: the chart page's scales, in dictionary order. Kept as the instrument has them: the
// settings are accepted and change nothing, and the query answers nothing at all.

// CHARt:VOLTage|CURRent:SCALe x and its query.
class IFMAIN_ChartScale : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *) const override { return 0; }
    short OnQuery(const zo4882::ZO_PARSER_RESULT *, zo4882::ZOCmdArg **) const override
    {
        return 0;
    }
};

// CHARt:VOLTage|CURRent:SCALe:AUTO b, the same.
using IFMAIN_ChartScaleAuto = IFMAIN_ChartScale;
