#pragma once

#include "commands/ValueFamily.h"
#include "commands/ValueKeyword.h"
#include "commands/keywords/KeywordsTrigger.h"

#include <functional>

// Acquisition, transient trigger, data-logging and display values. The transient's program
// actions (INIT:TRAN:PROG, ABOR:TRAN, TRIG:TRAN, its m-sync, suspend and resume) act on the
// program object and answer -200 without one.

// TRIGger:ACQuire:SOURce and TRIGger:TRANsient:SOURce. A keyword index below 0x80 sets that
// source alone; 0x80 | k adds source k to the first one set (0x80 alone: IMM alone); 0xC0 | k
// removes k from it (nothing left: IMM). A source the trigger system has no flag for refuses
// the whole setting with -224. The query answers the first source set, in keyword order.
class ValueTriggerSources : public ValueKeyword<KeywordBridge_ImmBusAndMore>
{
public:
    using Sources = KeywordBridge_ImmBusAndMore::values;
    // Flag of a source, 0 when the trigger system does not have it.
    using FlagOf = std::function<unsigned(Sources)>;
    using Setter = std::function<int(unsigned flags)>;
    using Getter = std::function<unsigned()>;

    ValueTriggerSources(unsigned id, FlagOf flagOf, Setter set, Getter get);

    int setValue(const unsigned char &k) override;
    unsigned char getValue() const override;

private:
    const FlagOf m_flagOf;
    const Setter m_set;
    const Getter m_get;
};

ValueFamilyTable acquisitionValues();
