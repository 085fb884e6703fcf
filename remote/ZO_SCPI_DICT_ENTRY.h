#pragma once

class QRegularExpression;

namespace zo4882 {

class ZOCommand;
struct ZO_PARSER_RESULT;

// Makes a new command object for one execution; never returns null for a valid row.
using ZOCommandFactory = ZOCommand *(*)(const ZO_PARSER_RESULT *result);

// Argument counts of one form: minimum in the low 16 bits, maximum in the high 16 bits.
constexpr unsigned zoArgCount(int minimum, int maximum)
{
    return (static_cast<unsigned>(minimum) & 0xFFFFu) | (static_cast<unsigned>(maximum) << 16);
}

// One row of a command dictionary. Tables are plain arrays of rows; the dictionary index
// (ZODictIndex) fills in the compiled pattern of each row when it is built.
struct ZO_SCPI_DICT_ENTRY
{
    const char *name; // for reference only; lookup uses pattern
    ZOCommandFactory factory;
    unsigned valueId; // registered value the command is bound to; 0 = none
    unsigned denyClass; // matched against the parser's deny flags; 0 = never denied
    unsigned setArgCount; // zoArgCount(min, max) of the setting form
    const unsigned *setArgTypes; // one argument-type word per position (ZOCmdArg), or null
    int setChannelList; // non-zero: trailing "(@...)" channel lists are accepted
    unsigned queryArgCount;
    const unsigned *queryArgTypes;
    int queryChannelList;
    const char *firstLetters; // every character the header may begin with ('*', A..Z)
    const char *secondLetters; // allowed second characters, or null for any
    const char *pattern; // whole-header regular expression; a trailing "\\??" serves both forms
    int optionalRoot; // 1: the header may be preceded by the optional root node
    QRegularExpression *regex; // compiled, case-insensitive; set by the index, null without pattern
};

} // namespace zo4882
