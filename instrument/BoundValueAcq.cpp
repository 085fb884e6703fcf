#include "instrument/BoundValueAcq.h"

#include "instrument/InstrumentErrors.h"

#include <cmath>

namespace {

// mantissa x 10^decade as the double nearest that decimal value.
double seriesMember(int mantissa, int decade)
{
    if (decade >= 0)
        return mantissa * BoundValueAcq::exactPow10(decade);
    return mantissa / BoundValueAcq::exactPow10(-decade);
}

} // namespace

double BoundValueAcq::round(double x)
{
    if (!(x > 0.0))
        return 0.0;
    if (std::isinf(x))
        return x;
    // Start one decade low so that an error in log10 can only cost a step, never skip one.
    int decade = static_cast<int>(std::floor(std::log10(x))) - 1;
    static const int mantissas[] = { 1, 2, 5 };
    for (;; ++decade) {
        for (int m : mantissas) {
            const double member = seriesMember(m, decade);
            if (member >= x)
                return member;
        }
    }
}

int BoundValueAcq::computation(double step)
{
    for (int i = 0; i < 10; ++i) {
        if (1.0 / exactPow10(i) <= step)
            return i;
    }
    return 10;
}

int BoundValueAcq::calculation(int *power)
{
    if (m_scale <= 0)
        return InstrumentErrors::SystemError;
    m_factor = m_max / static_cast<double>(m_scale);
    m_decimals = computation(round(m_max / 20000.0));
    return BoundValueBase::calculation(power);
}

BoundValueAcq BoundValueAcq::safeEntry()
{
    BoundValueAcq safe;
    safe.m_factor = 0.0;
    safe.m_scale = 1;
    return safe;
}

double BoundValueAcq::exactPow10(int n)
{
    double p = 1.0;
    for (int i = 0; i < n; ++i)
        p *= 10.0;
    return p;
}
