#include "gui/toolkit/SiDoubleSpinBox.h"

#include <cmath>

const QVector<siResolutionData> &SiDoubleSpinBox::defaultTable()
{
    static const QVector<siResolutionData> table = {
        { 1e-6, QStringLiteral("n") },
        { 1e-3, QStringLiteral("\u03bc") },
        { 1, QStringLiteral("m") },
        { 1000, QString() },
        { 1e6, QStringLiteral("k") },
        { 1e9, QStringLiteral("M") },
        { 1e12, QStringLiteral("G") },
    };
    return table;
}

SiDoubleSpinBox::SiDoubleSpinBox(QWidget *parent)
    : zoDoubleSpinBox(parent)
{
    m_prefixExponents = { { QStringLiteral("n"), -9 },
        { QStringLiteral("\u03bc"), -6 },
        { QStringLiteral("m"), -3 },
        { QString(), 0 },
        { QStringLiteral("k"), 3 },
        { QStringLiteral("M"), 6 },
        { QStringLiteral("G"), 9 } };
    // The display unit follows the prefix, so these limits stay; the table bounds the value.
    QDoubleSpinBox::setRange(0, 1e12);
    m_leadOffset = 0;
    setTable(defaultTable(), 0);
}

void SiDoubleSpinBox::setTable(const QVector<siResolutionData> &table, int leadOffset)
{
    if (!table.isEmpty())
        m_table = table;
    m_leadOffset = leadOffset;
    m_leadResolution = leadResolutionOf(m_table.last().bound / m_siFactor);
}

void SiDoubleSpinBox::setRange(double min, double max)
{
    const double lmin = min > 0.0 ? std::log10(min) : -INFINITY;
    const double lmax = max > 0.0 ? std::log10(max) : -INFINITY;
    QVector<siResolutionData> kept;
    for (const siResolutionData &row : defaultTable()) {
        const int e = exponentOf(row.prefix);
        if (lmin <= e && e < lmax)
            kept.append(row);
    }
    if (kept.isEmpty()) {
        // No prefix exponent lies in the range (2 .. 5, or a maximum below 1e-9): the band
        // that holds the maximum serves alone.
        const siResolutionData *holder = bandIn(defaultTable(), max);
        kept.append(holder ? *holder : defaultTable().last());
    }
    kept.last().bound = max;
    m_table = kept;
    m_leadResolution = leadResolutionOf(max / m_siFactor);
}

void SiDoubleSpinBox::setValue(double value)
{
    // The selected digit moves by the prefix difference from the first band, as a step does.
    setSiPrefix(m_table.first().prefix);
    // The band is chosen from the value itself: in the first band's unit the spin box may
    // have bounded it (1e12 n is only 1000).
    const siResolutionData *row = bandIn(m_table, value);
    if (!row)
        row = &m_table.last();
    int cursor = m_cursorResolution + siPrefixDifference(row->prefix);
    setSiPrefix(row->prefix);
    m_leadResolution = leadResolutionOf(m_table.last().bound / m_siFactor);
    zoDoubleSpinBox::setValue(value);
    zoDoubleSpinBox::setCursorResolution(cursor);
}

void SiDoubleSpinBox::setSiPrefix(const QString &prefix)
{
    setSuffix(prefix);
    zoDoubleSpinBox::setSiPrefix(prefix);
}

int SiDoubleSpinBox::exponentOf(const QString &prefix) const
{
    return m_prefixExponents.value(prefix, 1);
}

int SiDoubleSpinBox::siPrefixDifference(const QString &prefix) const
{
    return exponentOf(prefix) - exponentOf(m_siPrefix);
}

void SiDoubleSpinBox::stepBy(int steps)
{
    int cursor = m_cursorResolution;
    const double to = value() + steps * digitWeight(cursor) * m_siFactor;
    const siResolutionData *row = bandIn(m_table, to);
    if (!row)
        return; // above the maximum
    if (row->prefix != m_siPrefix || steps == 0) {
        cursor += siPrefixDifference(row->prefix);
        setSiPrefix(row->prefix);
        m_leadResolution = leadResolutionOf(m_table.last().bound / m_siFactor);
    }
    // Only the step's own value change is reported, not the re-show in the new prefix.
    m_stepping = true;
    zoDoubleSpinBox::setValue(to);
    m_stepping = false;
    zoDoubleSpinBox::setCursorResolution(cursor);
}
