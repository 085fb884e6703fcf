#pragma once

#include "commands/ValueFamily.h"
#include "commands/ValueKeyword.h"
#include "commands/ValueOfTwins.h"
#include "commands/ValueSetting.h"
#include "commands/keywords/KeywordsSource.h"

// Source values: mode, ranges, levels with their triggered twins, slew, responses, external
// control, pulse and sine. Settings call the engine in the caller's thread and return its error
// number; queries read the engine. The level limits follow the present ranges.

// CURRent[:LEVel][:IMMediate][:AMPLitude], amperes. Its limits are the current table's entry
// of the present current range (the stored limits while there is no model information).
class ValueCurr : public ValueRealSetting
{
public:
    static constexpr unsigned Id = 110;
    explicit ValueCurr(const ValueEngine &engine);

protected:
    ValueCurr(unsigned id, const ValueEngine &engine);
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
