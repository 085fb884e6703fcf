#pragma once

#include "instrument/BoundValueAcq.h"

// A settable level in one range. A value v is v x 10^m_power counts; the controller receives
// counts x m_factor. The first (smallest-key) entry of a map fixes m_power for all its entries,
// so counts of one map are comparable.
class BoundValue : public BoundValueAcq
{
public:
    // Decimals and SI prefix first (the widget divides range and step by the prefix factor),
    // then range, step and suffix; a negative offset steps by one unit of the last decimal shown.
    void setBoundValueWidget(IBoundValueWidget *box, int decimalsOffset) const override;
    int calculation(int *power) override;

    // Sums the limits of a parallel unit; the computed fields are left for the calculation.
    BoundValue &operator+=(const BoundValue &other);
    // Limits and counts 0, factor 0: only 0 can be set and the controller receives 0.
    static BoundValue safeEntry();

    // The one conversion of a real value to counts: v x 10^m_power rounded half away from zero,
    // checked against the count limits in double before any narrowing. NaN and infinities are
    // DataOutOfRange; an out-of-range value is DataOutOfRange, or with clamp the violated limit.
    int toCounts(double value, qint32 *counts, bool clamp = false) const;
    // counts / 10^m_power, the value a setting reads back as.
    double fromCounts(qint32 counts) const;
    // counts x m_factor rounded to the nearest: the register value the controller receives.
    qint64 toRegister(qint32 counts) const;
    // A register word read back as a value: word / m_factor counts, rounded to the nearest count
    // so that a level reads back as it was set, over 10^m_power; 0.0 for an entry without a
    // factor (an unknown model's safe entry).
    double toRealValueEx(quint32 word) const;

    qint32 m_minCount = 0; // lower limit in counts
    qint32 m_maxCount = 0; // upper limit in counts
    int m_power = 0; // decimal exponent of a count
    int m_stepDecimals = 0; // decimals of m_step before the SI-prefix adjustment
    double m_step = 0.0; // entry step in base units
};
