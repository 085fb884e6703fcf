#include "gui/toolkit/FreqDoubleSpinBox.h"

#include <cmath>

const QVector<rangeResolutionData> &FreqDoubleSpinBox::defaultTable()
{
    static const QVector<rangeResolutionData> table = {
        { 10, 1, 0 },
        { 100, 0, 0 },
        { 1000, -1, 0 },
        { 10000, -2, 0 },
        { 20000, -4, 20000 },
        { 30000, -4, 50000 },
        { 40000, -4, 20000 },
        { 60000, -4, 100000 },
        { 100000, -4, 50000 },
    };
    return table;
}

FreqDoubleSpinBox::FreqDoubleSpinBox(QWidget *parent)
    : zoDoubleSpinBox(parent)
    , m_table(defaultTable())
{ }

void FreqDoubleSpinBox::setTable(const QVector<rangeResolutionData> &table, int leadOffset)
{
    if (!table.isEmpty())
        m_table = table;
    m_leadOffset = leadOffset;
}

void FreqDoubleSpinBox::setCursorResolution(int index)
{
    if (const rangeResolutionData *row = bandIn(m_table, value()))
        index = qMin(index, row->resolution);
    zoDoubleSpinBox::setCursorResolution(index);
}

void FreqDoubleSpinBox::stepBy(int steps)
{
    const double from = value();
    int cursor = m_cursorResolution;
    double to = from + steps * digitWeight(cursor);
    int resolution = decimals();

    if (const rangeResolutionData *row = bandIn(m_table, to)) {
        if (steps > 0 && row->resolution < cursor) {
            // Crossing into a coarser band re-steps from the old value with its digit.
            to = from + steps * digitWeight(row->resolution);
            cursor = row->resolution;
        } else if (steps != 0) {
            cursor = row->resolution;
        }
        if (row->replace != 0.0)
            to = row->replace;
        resolution = row->resolution;
    }

    if (resolution != decimals()) {
        // Cut to a whole multiple of the band's digit, toward zero; a multiple stays as it is.
        const double unit = digitWeight(resolution);
        to = std::trunc(snapToInteger(to / unit)) * unit;
    }

    m_stepping = true;
    showNumber(to);
    m_stepping = false;
    zoDoubleSpinBox::setCursorResolution(cursor);
}
