#include "instrument/BoundValueBase.h"

#include "instrument/IBoundValueWidget.h"

#include <cmath>
#include <iterator>

namespace {

struct Prefix
{
    const char *name;
    int exponent;
    double factor;
};

// In ascending order; the first whose threshold exceeds the maximum is taken, else the last.
const Prefix prefixes[] = {
    { "n", -9, 1e-9 },
    { "u", -6, 1e-6 },
    { "m", -3, 1e-3 },
    { "", 0, 1.0 },
    { "k", 3, 1e3 },
    { "M", 6, 1e6 },
    { "G", 9, 1e9 },
};

} // namespace

void BoundValueBase::setBoundValueWidget(IBoundValueWidget *box, int decimalsOffset) const
{
    box->setDecimals(decimalsOffset + m_decimals);
    box->setRange(m_min, m_max);
}

int BoundValueBase::calculation(int *power)
{
    Q_UNUSED(power)
    const Prefix *chosen = &prefixes[std::size(prefixes) - 1];
    for (const Prefix &p : prefixes) {
        // The unprefixed unit reaches up to 10^4 rather than 10^3.
        const double threshold = p.exponent == 0 ? 1e4 : std::pow(10.0, p.exponent + 3);
        if (threshold > m_max) {
            chosen = &p;
            break;
        }
    }
    m_siPrefix = QString::fromLatin1(chosen->name);
    m_decimals += chosen->exponent;
    m_prefixFactor = chosen->factor;
    return 0;
}

bool BoundValueBase::toE5(double value, quint64 *e5)
{
    if (!std::isfinite(value) || value < 0.0 || value > MaxLimit)
        return false;
    // Nearest, not truncated: 0.29 * 1e5 is 28999.999999999996 in double.
    *e5 = static_cast<quint64>(std::llround(value * 1e5));
    return true;
}

bool BoundValueBase::setLimits(double min, double max)
{
    quint64 minE5 = 0;
    quint64 maxE5 = 0;
    if (!toE5(min, &minE5) || !toE5(max, &maxE5))
        return false;
    m_min = min;
    m_max = max;
    m_minE5 = minE5;
    m_maxE5 = maxE5;
    return true;
}
