#pragma once

#include "remote/ZOValue_bool8_t.h"
#include "remote/ZOValue_real64_t.h"

class ModelInformation;

namespace zo4882 {
class IDictIndex;
} // namespace zo4882

namespace vek {
class Basic;
} // namespace vek

// The headless program's command dictionary: the library's common, STATus and SYSTem rows, the
// instrument's *OPT? and password rows, and two engine-bound entries until the instrument's
// command set exists: [SOURce:]CURRent[:LEVel][:IMMediate][:AMPLitude] (the CC level) and
// INPut[:STATe] / OUTPut[:STATe] (the load switch).
namespace headless {

enum ValueId : unsigned { CcLevelId = 1001, LoadId = 1002 };

// The CC level of the basic settings, in amperes; MIN and MAX are the present range's limits.
// The engine checks the level (-222) when it is committed.
class CcLevelValue : public zostd::ZOValue_real64_t
{
public:
    CcLevelValue(vek::Basic *basic, const ModelInformation *info);
    double getMin() const override;
    double getMax() const override;
    double getValue() const override;
    int commit() override;

private:
    vek::Basic *const m_basic;
    const ModelInformation *const m_info;
};

// The load switch: commit switches the load and returns once the board has reported it.
class LoadValue : public zostd::ZOValue_bool8_t
{
public:
    explicit LoadValue(vek::Basic *basic);
    unsigned char getValue() const override;
    int commit() override;

private:
    vek::Basic *const m_basic;
};

// The index over the table; built on first use. The value objects register separately.
const zo4882::IDictIndex *dictionary();

} // namespace headless
