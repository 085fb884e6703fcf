#pragma once

#include "remote/ZOCmdArg.h"

#include <cmath>

namespace zo4882 {

// The first argument rounded half away from zero into *value when it lies within low..high:
// 0, else -222 (-109 without an argument). NaN and infinities are out of range.
inline short zoRoundedArg(const ZOCmdArg *arg, long long low, long long high, long long *value)
{
    if (!arg)
        return -109;
    const double rounded = std::round(double(*arg));
    if (!(rounded >= double(low) && rounded <= double(high)))
        return -222;
    *value = static_cast<long long>(rounded);
    return 0;
}

} // namespace zo4882
