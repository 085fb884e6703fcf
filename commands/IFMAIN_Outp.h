#pragma once

#include "remote/ZOGenericCommands.h"

// INPut / OUTPut[:STATe] b[,t]: the load switch through its value (id 140). With ON, t is the
// on-time in whole seconds (1 to 3,600,000; MIN 1, MAX 3,600,000; else -222) after which the
// load switches off again; ON alone switches on for good. OFF with an on-time is -108. Nothing
// changes on an error.
class IFMAIN_Outp : public zo4882::_IFMAIN_gen_bool8
{
public:
    using zo4882::_IFMAIN_gen_bool8::_IFMAIN_gen_bool8;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};
