#pragma once

#include <QString>
#include <QtGlobal>

class IBoundValueWidget;

// The full scale of one range of the instrument's model, with the SI prefix and decimals it is
// shown with. A plain value: copied into and out of the model information's maps, never changed
// after the start-up calculation.
class BoundValueBase
{
public:
    BoundValueBase() = default;
    BoundValueBase(const BoundValueBase &) = default;
    BoundValueBase &operator=(const BoundValueBase &) = default;
    virtual ~BoundValueBase() = default;

    // Sets the widget's decimals (decimalsOffset + m_decimals) and range; callers pass 0, or -1
    // for one decimal fewer.
    virtual void setBoundValueWidget(IBoundValueWidget *box, int decimalsOffset) const;

    // Derives the computed fields; *power is the exponent shared by the entries of one map, -24
    // until its first entry fixes it. Returns 0, or SystemError when the entry cannot be
    // represented (counts beyond 32 bits, a zero full scale); the caller then drops the entry.
    virtual int calculation(int *power);

    // value in base units -> units of 1e-5, rounded to the nearest. False for a negative,
    // non-finite or implausibly large value (above MaxLimit), which a model must not rate.
    static bool toE5(double value, quint64 *e5);
    // Sets m_min/m_max and their 1e-5 integers; false (nothing changed) when toE5 refuses one.
    bool setLimits(double min, double max);
    // Stands in where a model defines no entry: limits 0, nothing but 0 can be set.
    static BoundValueBase safeEntry() { return BoundValueBase(); }

    // Above this a limit is refused; it keeps sums of 16 units well inside 64 bits.
    static constexpr double MaxLimit = 1e12;
    // The mark for a map whose exponent is not fixed yet.
    static constexpr int PowerUnset = -24;

    double m_min = 0.0; // lower limit, base units (A, S, V, W, A/us ...)
    double m_max = 0.0; // upper limit, base units
    double m_default = 0.0; // default from the model file, base units
    double m_prefixFactor = 1.0; // multiplier of m_siPrefix
    int m_decimals = 0; // decimals shown in the prefixed unit (may be negative)
    QString m_siPrefix; // "n", "u", "m", "", "k", "M" or "G"
    quint64 m_minE5 = 0; // m_min in units of 1e-5
    quint64 m_maxE5 = 0; // m_max in units of 1e-5
};
