#include "gui/toolkit/Axis.h"

#include "gui/toolkit/Plot.h"

#include <cfloat>
#include <cmath>

Axis::Axis(QObject *parent)
    : QObject(parent)
{ }

void Axis::setMin(double value)
{
    if (value == m_min || m_autoScale)
        return;
    if (adjustAxis(value, m_max, ForceAdjust))
        emit minMaxChanged();
}

void Axis::setMax(double value)
{
    if (value == m_max || m_autoScale)
        return;
    if (adjustAxis(m_min, value, ForceAdjust))
        emit minMaxChanged();
}

void Axis::setAutoScale(bool on)
{
    if (on == m_autoScale)
        return;
    m_autoScale = on;
    emit autoScaleChanged(on);
}

void Axis::setVisble(bool on)
{
    if (on == m_visble)
        return;
    m_visble = on;
    emit visbleChanged(on);
}

void Axis::setLineColor(const QColor &colour)
{
    if (colour == m_lineColor)
        return;
    m_lineColor = colour;
    emit minMaxChanged();
}

bool Axis::adjustAxis(double minimum, double maximum, UpdateAdjust mode)
{
    if (mode == AutoAdjust && !m_autoScale)
        return false;
    const double span = (maximum - minimum) * 0.25;
    const double magnitude = std::pow(10.0, std::floor(std::log10(span)));
    // A zero, negative or empty span gives NaN or 0; so does an overflowing one (inf).
    if (!std::isfinite(magnitude) || magnitude == 0.0)
        return false;
    double step = magnitude;
    if (span > 5 * magnitude)
        step = 5 * magnitude;
    else if (span > 2 * magnitude)
        step = 2 * magnitude;
    const double high = std::ceil(maximum / step);
    const double low = std::floor(minimum / step);
    const double intervals = high - low;
    m_ticks = intervals <= 3 ? 4 : static_cast<int>(intervals);
    if (m_min == step * low && m_max == step * high)
        return false;
    m_max = step * high;
    m_min = step * low;
    return true;
}

bool Axis::autoScaleAdjustX(const QList<Plot *> &plots)
{
    double smallest = DBL_MAX;
    double largest = -DBL_MAX;
    for (const Plot *plot : plots) {
        smallest = std::min(smallest, plot->minX());
        largest = std::max(largest, plot->maxX());
    }
    return adjustAxis(smallest, largest, AutoAdjust);
}

bool Axis::autoScaleAdjustY(const QList<Plot *> &plots)
{
    double smallest = DBL_MAX;
    double largest = -DBL_MAX;
    for (const Plot *plot : plots) {
        smallest = std::min(smallest, plot->minY());
        largest = std::max(largest, plot->maxY());
    }
    return adjustAxis(smallest, largest, AutoAdjust);
}
