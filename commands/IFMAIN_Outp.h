#pragma once

#include "remote/ZOGenericCommands.h"

// INPut / OUTPut[:STATe] b[,t]: the load switch through its value (id 140). The on-time t after
// which the load switches off again is not built yet: a setting with t answers
// notAvailable() and changes nothing.
class IFMAIN_Outp : public zo4882::_IFMAIN_gen_bool8
{
public:
    using zo4882::_IFMAIN_gen_bool8::_IFMAIN_gen_bool8;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};
