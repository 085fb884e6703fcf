#pragma once

#include "remote/ZOCommand.h"

// The generic handler of keyword-list values (Value_keyword_multi; any other value: nothing
// happens). Setting: every word through the value's bridge, -224 for a word it does not hold,
// 202 for a word given twice; the list in the order given goes to the value. Query: the
// stored words, one item each.
class IFMAIN_gen_keyword_multi : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};
