// Appending rows one by one to a table that a graph follows (new segments painted onto the
// graph's picture, full redraws only when an axis range moves), beside appending the same rows
// to a table nothing follows. Prints the ratio; a long acquisition stays smooth at 20x or less.
//   bench_Graph [rows]

#include "gui/toolkit/Graph.h"
#include "gui/toolkit/Plot.h"
#include "gui/toolkit/Plots.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStandardItemModel>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

QStandardItemModel *loggerTable(QObject *parent)
{
    auto *model = new QStandardItemModel(0, 3, parent);
    model->setHorizontalHeaderLabels({ "ETime[s]", "Current[A]", "Voltage[V]" });
    return model;
}

// Seconds to append rows like the record logger does: time rising, values wandering.
double appendRows(QStandardItemModel *model, int rows)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rows; ++i) {
        const double t = i * 0.1;
        model->appendRow({ new QStandardItem(QString::number(t)),
            new QStandardItem(QString::number(1.0 + 0.5 * std::sin(t))),
            new QStandardItem(QString::number(12.0 - 0.0001 * i)) });
    }
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 65536;
    if (rows <= 0) {
        std::fprintf(stderr, "bench_Graph: rows must be positive\n");
        return 2;
    }

    QObject owner;
    const double bare = appendRows(loggerTable(&owner), rows);

    Graph graph;
    graph.resize(320, 200);
    QStandardItemModel *model = loggerTable(&owner);
    graph.setModel(model);
    for (int column : { 1, 2 }) {
        QSharedPointer<Axis> axis(new Axis(&graph));
        graph.setPlot(graph.columnPlots()->plot(column), axis);
    }
    const double followed = appendRows(model, rows);

    std::printf("rows appended:            %d\n", rows);
    std::printf("table alone:              %.3f s\n", bare);
    std::printf("table followed by graph:  %.3f s\n", followed);
    std::printf("ratio graph/alone:        %.2f (target <= 20)\n", followed / bare);
    return 0;
}
