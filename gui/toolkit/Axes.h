#pragma once

#include "gui/toolkit/Axis.h"

#include <QSharedPointer>
#include <QVector>

// One zoom level of a graph: an X axis and its Y axes. Copies share the axes.
struct Axes
{
    Axes() = default;
    // A new X axis and yCount new Y axes, all with default settings and the given QObject parent.
    Axes(int yCount, QObject *parent);

    // Moves the X range by dx and every Y range by dy intervals, each realigned to its steps;
    // axes with automatic scaling on stay where they are.
    void scroll(int dx, int dy);

    QSharedPointer<Axis> xAxis;
    QVector<QSharedPointer<Axis>> yAxes;
};
