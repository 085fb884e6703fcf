#pragma once

#include "remote/IValue.h"
#include "remote/ZOValueRegisterer.h"

// Stands under the id of a value object whose family is not built yet, so that every id of the
// instrument is registered and nothing bound to it succeeds silently: the dictionary answers
// its entries with IFMAIN_NotAvailable, and commit() refuses with -200. Its own type tag keeps
// the generic handlers and the settings trees from taking it for a value.
class ValueNotAvailable : public zostd::ZOValueRegisterer, public zostd::IValue
{
public:
    // className: the value class that will take this id (a string literal).
    ValueNotAvailable(unsigned id, const char *className);

    static const char kvtype[];
    unsigned getID() const override { return m_id; }
    // -200 "Execution error"; nothing happens.
    int commit() override;
    const char *getKvType() const override { return kvtype; }
    const char *className() const { return m_className; }

private:
    const unsigned m_id;
    const char *const m_className;
};
