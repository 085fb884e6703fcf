#pragma once

#include "instrument/BoundValueBase.h"

// A measured quantity in one range code: a raw register value times m_factor is the physical
// value in base units.
class BoundValueAcq : public BoundValueBase
{
public:
    int calculation(int *power) override;

    // Rounds x up to the 1-2-5 series (..., 5e-8, 1e-7, 2e-7, 5e-7, ..., 100, 200, 500, ...);
    // a member comes back unchanged, as the double nearest its decimal value. 0 for x <= 0 or
    // NaN. Reentrant.
    static double round(double x);
    // The decimals a step needs: the smallest i >= 0 with 10^-i <= step, at most 10.
    static int computation(double step);
    // 10^n (n >= 0) as the double nearest the decimal value: exact for n <= 22, and a
    // division by it is correctly rounded.
    static double exactPow10(int n);
    // Limits 0 and factor 0: an unknown model's readings show 0 rather than raw register values.
    static BoundValueAcq safeEntry();

    double m_factor = 1.0; // physical value of one register unit (m_max / m_scale)
    qint64 m_scale = 4294967295LL; // register value at full scale (2^32 - 1)
};
