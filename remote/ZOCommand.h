#pragma once

#include "remote/ZO_PARSER_RESULT.h"

namespace zostd {
class IValue;
}

namespace zo4882 {

class ZOCmdArg;
struct ZO_SCPI_DICT_ENTRY;

// Base of every command object. A dictionary row's factory makes one per execution; the
// parser calls OnSet or OnQuery once and deletes it. Results are SCPI error numbers, 0 for
// success.
class ZOCommand
{
public:
    // Binds the value registered under the row's value id (null when the id is 0 or unknown).
    explicit ZOCommand(const ZO_PARSER_RESULT *result);
    virtual ~ZOCommand() = default;
    ZOCommand(const ZOCommand &) = delete;
    ZOCommand &operator=(const ZOCommand &) = delete;

    // The setting form; the base refuses it with -113.
    virtual short OnSet(const ZO_PARSER_RESULT *result) const;
    // The query form: stores a newly allocated answer chain (or leaves null) through answer,
    // which the caller frees; the base refuses it with -113.
    virtual short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const;

    zostd::IValue *value() const { return m_value; }
    const ZO_SCPI_DICT_ENTRY *entry() const { return m_entry; }

    // A row factory for command class T: ZO_SCPI_DICT_ENTRY{..., &ZOCommand::create<T>, ...}.
    template <class T> static ZOCommand *create(const ZO_PARSER_RESULT *result)
    {
        return new T(result);
    }

protected:
    zostd::IValue *m_value = nullptr;
    const ZO_SCPI_DICT_ENTRY *m_entry = nullptr;
};

// The answer of a command whose work is not built yet: queues -200 "Execution error" with the
// detail "not available" for the command's interface and returns 0, so that the parser, which
// queues any other result with the header as detail, adds no second entry.
short notAvailable(const ZO_PARSER_RESULT *result);

} // namespace zo4882
