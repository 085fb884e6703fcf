#pragma once

#include "commands/ValueFamily.h"
#include "remote/ZOValue_bool8_t.h"
#include "remote/ZOValue_int32_t_engX.h"

// Load switching, protection, cut-off and terminal configuration values. The triggered load
// switch (142) and the automatic m-sync switch (146) have no work behind them yet: they stay
// placeholders that answer an error.

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

// OUTPut:PROTection:WDOG[:STATe], bound to the configuration's "wdogEnabled" (its own storage
// without a configuration). The commit programs the parser's watchdog first (the stored delay
// when switched on, off otherwise), then stores.
class ValueOutpProtWdog : public zostd::ZOValue_bool8_t
{
public:
    static constexpr unsigned Id = 149;
    explicit ValueOutpProtWdog(const ValueEngine &engine);

    int commit() override;
    unsigned char getValue() const override;

private:
    InstrumentConfigInfo *const m_config;
};

// OUTPut:PROTection:WDOG:DELay, whole seconds 1 to 3600, bound to "wdogDelay". The commit
// programs the parser's watchdog with the new delay only while the watchdog is on.
class ValueOutpProtWdogDel : public zostd::ZOValue_int32_t_engX
{
public:
    static constexpr unsigned Id = 150;
    explicit ValueOutpProtWdogDel(const ValueEngine &engine);

    int commit() override;

private:
    InstrumentConfigInfo *const m_config;
};

ValueFamilyTable outputValues();
