#pragma once

#include <atomic>

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

// The argument-type array of a setting form. A dictionary may swap it at run time (the
// instrument's program-step levels follow the function mode) while the parser reads it, so the
// pointer is atomic; it reads like a plain pointer and is written with store().
class ZOArgTypes
{
public:
    constexpr ZOArgTypes(const unsigned *types = nullptr) noexcept
        : m_types(types)
    { }
    ZOArgTypes(const ZOArgTypes &other) noexcept
        : m_types(other.load())
    { }
    ZOArgTypes &operator=(const ZOArgTypes &other) noexcept
    {
        store(other.load());
        return *this;
    }

    const unsigned *load() const noexcept { return m_types.load(std::memory_order_acquire); }
    void store(const unsigned *types) noexcept { m_types.store(types, std::memory_order_release); }
    operator const unsigned *() const noexcept { return load(); }

private:
    std::atomic<const unsigned *> m_types;
};

// One row of a command dictionary. Tables are plain arrays of rows; the dictionary index
// (ZODictIndex) fills in the compiled pattern of each row when it is built.
struct ZO_SCPI_DICT_ENTRY
{
    const char *name; // for reference only; lookup uses pattern
    ZOCommandFactory factory;
    unsigned valueId; // registered value the command is bound to; 0 = none
    unsigned denyClass; // matched against the parser's deny flags; 0 = never denied
    unsigned setArgCount; // zoArgCount(min, max) of the setting form
    ZOArgTypes setArgTypes; // one argument-type word per position (ZOCmdArg), or null
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
