#include "instrument/BoundValue.h"

#include "instrument/IBoundValueWidget.h"
#include "instrument/InstrumentErrors.h"

#include <cmath>
#include <limits>

void BoundValue::setBoundValueWidget(IBoundValueWidget *box, int decimalsOffset) const
{
    box->setDecimals(decimalsOffset + m_decimals);
    box->setSiPrefix(m_siPrefix);
    box->setRange(m_min, m_max);
    box->setSingleStep(m_step);
    box->setSuffix(m_siPrefix);
    if (decimalsOffset < 0) {
        const int shown = decimalsOffset + m_stepDecimals;
        box->setSingleStep(shown >= 0 ? 1.0 / exactPow10(shown) : exactPow10(-shown));
    }
}

int BoundValue::calculation(int *power)
{
    m_step = round(m_max / 60000.0);
    m_decimals = m_stepDecimals = computation(m_step);
    if (*power == PowerUnset)
        *power = m_decimals;
    m_power = *power;

    // A count must fit the controller's signed 32-bit level words; 10^10 already does not.
    constexpr quint64 int32Max = std::numeric_limits<qint32>::max();
    if (m_power < 0 || m_power > 9)
        return InstrumentErrors::SystemError;
    const quint64 c = static_cast<quint64>(exactPow10(m_power));
    if (m_maxE5 > std::numeric_limits<quint64>::max() / c || m_minE5 > m_maxE5)
        return InstrumentErrors::SystemError;
    const quint64 minCount = m_minE5 * c / 100000u;
    const quint64 maxCount = m_maxE5 * c / 100000u;
    if (maxCount > int32Max || maxCount == 0)
        return InstrumentErrors::SystemError;
    // Levels travel in 32-bit register words, so their full-scale register value must fit one.
    if (m_scale <= 0 || m_scale > qint64(0xFFFFFFFF))
        return InstrumentErrors::SystemError;
    m_minCount = static_cast<qint32>(minCount);
    m_maxCount = static_cast<qint32>(maxCount);
    m_factor = static_cast<double>(m_scale) / static_cast<double>(m_maxCount);
    return BoundValueBase::calculation(power);
}

BoundValue &BoundValue::operator+=(const BoundValue &other)
{
    m_minE5 += other.m_minE5;
    m_maxE5 += other.m_maxE5;
    m_min = static_cast<double>(m_minE5) / 100000.0;
    m_max = static_cast<double>(m_maxE5) / 100000.0;
    return *this;
}

BoundValue BoundValue::safeEntry()
{
    BoundValue safe;
    // A fine count, so that no small non-zero value rounds to an accepted 0.
    safe.m_power = 9;
    safe.m_factor = 0.0;
    safe.m_scale = 1;
    return safe;
}

int BoundValue::toCounts(double value, qint32 *counts, bool clamp) const
{
    if (!std::isfinite(value))
        return InstrumentErrors::DataOutOfRange;
    // std::round rounds half away from zero; the check stays in double so 1e12 cannot wrap.
    const double scaled = std::round(value * exactPow10(m_power));
    if (scaled < m_minCount || scaled > m_maxCount) {
        if (!clamp)
            return InstrumentErrors::DataOutOfRange;
        *counts = scaled < m_minCount ? m_minCount : m_maxCount;
        return 0;
    }
    *counts = static_cast<qint32>(scaled);
    return 0;
}

double BoundValue::fromCounts(qint32 counts) const
{
    return counts / exactPow10(m_power);
}

qint64 BoundValue::toRegister(qint32 counts) const
{
    return std::llround(counts * m_factor);
}

double BoundValue::toRealValueEx(quint32 word) const
{
    if (m_factor == 0.0)
        return 0.0;
    return std::round(word / m_factor) / exactPow10(m_power);
}
