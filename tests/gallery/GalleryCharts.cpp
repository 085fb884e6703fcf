// Charts: a graph of two curves on two Y axes, at the base level and zoomed in by a rubber band.

#include "gui/toolkit/Graph.h"
#include "gui/toolkit/Plot.h"
#include "gui/toolkit/Plots.h"
#include "tests/gallery/Gallery.h"

#include <QApplication>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <QTest>

#include <cmath>

namespace {

// A discharge-like record: current steps down while the voltage sags. The model and the axes are
// children of the graph so that the gallery's backdrop owns everything.
Graph *twoCurves()
{
    auto *graph = new Graph;
    auto *model = new QStandardItemModel(0, 3, graph);
    model->setHorizontalHeaderLabels({ "ETime[s]", "Current[A]", "Voltage[V]" });
    graph->setModel(model);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(6);
    graph->setFont(font);

    const struct
    {
        int column;
        QColor colour;
    } curves[] = { { 1, QColor(255, 255, 0) }, { 2, QColor(0, 255, 255) } };
    for (const auto &curve : curves) {
        Plot *plot = graph->columnPlots()->plot(curve.column);
        plot->setLineColor(curve.colour);
        plot->setLineWidth(1.5);
        QSharedPointer<Axis> axis(new Axis(graph));
        axis->setLineColor(curve.colour);
        graph->setPlot(plot, axis);
    }
    for (int i = 0; i <= 120; ++i) {
        const double t = i * 0.5;
        const double current = t < 20 ? 2.0 : (t < 40 ? 1.2 : 0.6);
        const double voltage = 12.6 - 0.04 * t - 0.3 * std::sin(t / 3.0);
        model->appendRow({ new QStandardItem(QString::number(t)),
            new QStandardItem(QString::number(current)),
            new QStandardItem(QString::number(voltage)) });
    }
    return graph;
}

} // namespace

void galleryCharts(Gallery &gallery)
{
    const QSize screen(320, 180);
    gallery.shoot(QStringLiteral("charts-two-curves"), twoCurves(), screen);
    Graph *zoomed = twoCurves();
    gallery.shoot(QStringLiteral("charts-zoomed"), zoomed, screen, [zoomed] {
        const QRect area = zoomed->plotRect();
        const QPoint from = area.topLeft() + QPoint(area.width() / 4, area.height() / 5);
        const QPoint to = area.topLeft() + QPoint(area.width() * 3 / 5, area.height() * 4 / 5);
        QTest::mousePress(zoomed, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(zoomed, &move);
        QTest::mouseRelease(zoomed, Qt::LeftButton, {}, to);
    });
}
