#pragma once

#include "commands/ValueFamily.h"
#include "commands/ValueKeyword.h"
#include "commands/ValueOfTwins.h"
#include "commands/keywords/KeywordsSource.h"

// Source values: mode, ranges, levels with their triggered twins, slew, responses, external
// control, pulse and sine. Settings call the engine in the caller's thread and return its error
// number; queries read the engine. Built so far: the CC level with its triggered twin and the
// CV response; the family's other ids are placeholders.

// CURRent[:LEVel][:IMMediate][:AMPLitude], amperes. Its limits are the current table's entry
// of the present current range (the stored limits while there is no model information).
class ValueCurr : public ValueOfTwins
{
public:
    static constexpr unsigned Id = 110;
    explicit ValueCurr(const ValueEngine &engine);

    int setValue(const double &amps) override;
    double getValue() const override;
    double getMin() const override;
    double getMax() const override;

protected:
    ValueCurr(unsigned id, const ValueEngine &engine);

private:
    const ValueEngine m_engine;
};

// CURRent[:LEVel]:TRIGgered[:AMPLitude]: refused; reads the CC level and its limits.
class ValueCurrTrig : public ValueTriggered<ValueCurr>
{
public:
    static constexpr unsigned Id = 111;
    explicit ValueCurrTrig(const ValueEngine &engine);
};

// VOLTage:RESPonse NORMal|FAST.
class ValueVoltResp : public ValueKeyword<KeywordBridge_NormFast>
{
public:
    static constexpr unsigned Id = 174;
    explicit ValueVoltResp(const ValueEngine &engine);

    int setValue(const unsigned char &index) override;
    unsigned char getValue() const override;

private:
    const ValueEngine m_engine;
};

ValueFamilyTable sourceValues();
