#pragma once

#include "commands/ValueEngine.h"

#include <memory>

// The value objects come in families, one file pair each (SourceValues, OutputValues, ...). A
// family lists the objects it has built in a table of makers by id; createValueObjects() asks
// that table for every id of the family in the fixed creation order and registers a
// ValueNotAvailable placeholder for an id the family does not build yet.
enum class ValueFamily {
    Source, // mode, ranges, levels, slew, responses, external control, pulse and sine
    Output, // load switching, protections, cut-offs, terminal configuration
    Acquisition, // acquisition, transient trigger, data logging, display items
    System, // beeper, key lock, screen saver, identification, diagnostics, channels
};

// Makes one value object, which registers itself under its id while it is built. The result
// owns it (any type; the deleter is the object's own).
using ValueMaker = std::shared_ptr<void> (*)(const ValueEngine &engine);

struct ValueMakerRow
{
    unsigned id;
    ValueMaker make;
};

struct ValueFamilyTable
{
    const ValueMakerRow *rows;
    int count;
};

template <class V> std::shared_ptr<void> makeValue(const ValueEngine &engine)
{
    return std::make_shared<V>(engine);
}

template <int N> constexpr ValueFamilyTable familyTable(const ValueMakerRow (&rows)[N])
{
    return { rows, N };
}
