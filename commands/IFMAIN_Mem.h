#pragma once

#include "remote/ZOCommand.h"

// MEMory: the A/B/C presets, in dictionary order. Slot n is 1 to 3 (A, B, C; else -222). The
// presets are not built yet: a slot that passes the check answers notAvailable().

class IFMAIN_MemRec : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};

class IFMAIN_MemSave : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};
