#include "gui/toolkit/Axes.h"

namespace {

void scrollAxis(Axis *axis, int by)
{
    if (!axis || by == 0 || axis->ticks() <= 0)
        return;
    const double step = (axis->max() - axis->min()) / axis->ticks();
    axis->setMin(axis->min() + by * step);
    // The maximum is read after setMin realigned the range.
    axis->setMax(axis->max() + by * step);
}

} // namespace

Axes::Axes(int yCount, QObject *parent)
    : xAxis(new Axis(parent))
{
    for (int i = 0; i < yCount; ++i)
        yAxes.append(QSharedPointer<Axis>(new Axis(parent)));
}

void Axes::scroll(int dx, int dy)
{
    scrollAxis(xAxis.data(), dx);
    for (const QSharedPointer<Axis> &axis : qAsConst(yAxes))
        scrollAxis(axis.data(), dy);
}
