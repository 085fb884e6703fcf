#pragma once

#include "engine/ioc/IocProtocol.h"
#include "gui/toolkit/MeasReadouts.h"

// Measurement bounds of a small model: current range 0 up to 6 A in A with 4 decimals, range 1
// up to 0.6 A in mA with 2 decimals; voltage range 0 up to 150 V with 3 decimals, range 1 up to
// 15 V with 4. A range code without entry falls back to range 0.
inline MeasReadouts::Bounds testBounds()
{
    auto entry = [](double max, int decimals, const char *prefix, double factor) {
        BoundValueAcq bound;
        bound.m_max = max;
        bound.m_decimals = decimals;
        bound.m_siPrefix = QLatin1String(prefix);
        bound.m_prefixFactor = factor;
        return bound;
    };
    MeasReadouts::Bounds bounds;
    bounds.current.insert(0, entry(6.0, 4, "", 1.0));
    bounds.current.insert(1, entry(0.6, 2, "m", 1e-3));
    bounds.voltage.insert(0, entry(150.0, 3, "", 1.0));
    bounds.voltage.insert(1, entry(15.0, 4, "", 1.0));
    return bounds;
}

inline ioc::TRACE_DATA record(double current,
    double voltage,
    int currentRange = 0,
    int voltageRange = 0,
    double elapsed = 0.0)
{
    ioc::TRACE_DATA r;
    r.current = current;
    r.voltage = voltage;
    r.power = current * voltage;
    r.elapsedTime = elapsed;
    r.currentRange = currentRange;
    r.voltageRange = voltageRange;
    return r;
}
