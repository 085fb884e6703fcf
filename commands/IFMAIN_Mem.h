#pragma once

#include "remote/ZOCommand.h"

// MEMory: the A/B/C presets of the engine root, in dictionary order. Slot n is 1 to 3 (A, B, C;
// else -222).

// MEMory:RECall n: applies preset n to the present mode and range (104 while a program runs;
// -222 for a level outside the present range).
class IFMAIN_MemRec : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};

// MEMory:SAVE n: stores the present mode's level into preset n.
class IFMAIN_MemSave : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};
