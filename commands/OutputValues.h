#pragma once

#include "commands/ValueFamily.h"
#include "remote/ZOValue_bool8_t.h"

// Load switching, protection, cut-off and terminal configuration values. Built so far: the load
// switch, the protection levels, states and actions, the output short and the cut-offs other
// than the voltage level; the family's other ids are placeholders.

// INPut / OUTPut[:STATe]: switches the load in the caller's thread and returns once the board
// has reported the new state (or the engine's wait has ended); reads the reported state.
class ValueOutp : public zostd::ZOValue_bool8_t
{
public:
    static constexpr unsigned Id = 140;
    explicit ValueOutp(const ValueEngine &engine);

    int setValue(const unsigned char &on) override;
    unsigned char getValue() const override;

private:
    const ValueEngine m_engine;
};

ValueFamilyTable outputValues();
