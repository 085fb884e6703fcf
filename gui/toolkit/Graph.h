#pragma once

#include "gui/toolkit/Axes.h"

#include <QMap>
#include <QPixmap>
#include <QRect>
#include <QSharedPointer>
#include <QVector>
#include <QWidget>

class Plot;
class Plots;
class QAbstractItemModel;

// A chart of an item model's columns against column 0, with one or more Y axes, automatic
// scaling at the base zoom level, a rubber-band zoom stack and scrolling by keys and wheel. The
// picture lives in an off-screen pixmap; rows appended at the end are painted onto it
// incrementally unless an axis range has to change. GUI thread only.
class Graph : public QWidget
{
    Q_OBJECT

public:
    enum ChartStyte { Lines };

    explicit Graph(QWidget *parent = nullptr);

    // Once, before any plot is bound. The model is not owned.
    void setModel(QAbstractItemModel *model);
    Plots *columnPlots() const { return m_columnPlots; }
    // Binds a plot to a Y axis; the axis joins the base level the first time it is bound.
    void setPlot(Plot *plot, QSharedPointer<Axis> axis);
    // Removes the axis' bindings; the axis stays in the zoom levels.
    void clearAxis(QSharedPointer<Axis> axis);
    QMultiMap<QSharedPointer<Axis>, Plot *> *plots() { return &m_plotBindings; }
    // The X axis of the shown zoom level.
    Axis *xAxis() const;
    // Makes axes the only zoom level.
    void setPlotSettings(const Axes &axes);

    int zoomLevel() const { return m_curZoom; }
    int zoomLevels() const { return m_zoomStack.size(); }
    const Axes &shownAxes() const { return m_zoomStack.at(m_curZoom); }
    QRect plotRect() const { return m_plotRect; }
    int visibleYAxes() const { return m_visibleYAxes; }
    const QPixmap &pixmap() const { return m_pixmap; }

    // Kept for callers of the chart interface; they have no effect.
    void setXAxis(QSharedPointer<Axis> axis);
    void clearPlot(const Plot *plot);
    void clearPlots();
    void setStyle(ChartStyte style);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public Q_SLOTS:
    void zoomIn();
    void zoomOut();
    void onRefresh();
    void onAutoScaleUpdate();
    void onDataUpdate();
    void onYAxesVisbleChange(bool visble);
    void onXAxesVisbleChange(bool visible);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void refreshPixmap();
    void drawGrid(QPainter *painter);
    void drawCurves(QPainter *painter);
    void updateRubberBandRegion();
    void connectXAxis(Axis *axis);

    // Y axis -> plot; among the plots of one axis the most recently bound comes first.
    QMultiMap<QSharedPointer<Axis>, Plot *> m_plotBindings;
    QVector<Axes> m_zoomStack; // [0] the base level, then one per rubber-band zoom
    int m_curZoom = 0;
    bool m_rubberBandShown = false;
    QRect m_rubberBandRect; // widget coordinates
    QPixmap m_pixmap;
    int m_visibleYAxes = 1;
    QRect m_plotRect; // inside the axes, written by every grid drawing
    Plots *m_columnPlots = nullptr;
};
