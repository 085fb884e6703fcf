#pragma once

#include <QColor>
#include <QObject>
#include <QPointF>
#include <QVector>

#include <cfloat>

class QAbstractItemModel;
class QModelIndex;

// One model column drawn as a curve against column 0, with the extremes of its points. A plot
// without points has empty extremes (minimums at DBL_MAX, maximums at -DBL_MAX).
class Plot : public QObject
{
    Q_OBJECT

public:
    // model is not owned and is read for both columns.
    Plot(int column, QAbstractItemModel *model, QObject *parent = nullptr);

    int column() const { return m_column; }
    QAbstractItemModel *model() const { return m_model; }

    bool visble() const { return m_visble; }
    void setVisble(bool on);
    QColor lineColor() const { return m_lineColor; }
    void setLineColor(const QColor &colour);
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double width);

    double minX() const { return m_minX; }
    double minY() const { return m_minY; }
    double maxX() const { return m_maxX; }
    double maxY() const { return m_maxY; }

    // Row the next incremental drawing starts from (the last drawn row, so segments join).
    int drawnRow() const { return m_drawnRow; }
    void setDrawnRow(int row) { m_drawnRow = row; }
    bool recalcNeeded() const { return m_recalcNeeded; }

    // Empties the extremes and restarts drawing at row 0; no signal.
    void clear();
    // Widens the extremes by one model point; true when one changed. Unreadable values count 0.
    bool calculateMinMaxData(const QModelIndex &yIndex, const QModelIndex &xIndex);
    // Marks the plot for recalculation when the point lies on or beyond an extreme.
    void checkMinMaxDeleteData(const QModelIndex &yIndex, const QModelIndex &xIndex);
    // Rescans every model row when marked or forced; true when it rescanned.
    bool recalculateMinMaxAllData(bool force);
    bool appendData(const QPointF &point);
    // Widen, then emit autoScaleUpdated() when an extreme changed, else dataUpdated().
    void append(const QPointF &point);
    void append(const QVector<QPointF> &points);

    // Display data of a cell as a double; invalid or non-numeric cells count as 0.
    static double cellValue(const QModelIndex &index);

Q_SIGNALS:
    void refreshed();
    void autoScaleUpdated();
    void dataUpdated();

private:
    const int m_column;
    QAbstractItemModel *m_model;
    bool m_visble = true;
    QColor m_lineColor = Qt::red;
    double m_lineWidth = 1.0;
    double m_minX = DBL_MAX;
    double m_minY = DBL_MAX;
    double m_maxX = -DBL_MAX;
    double m_maxY = -DBL_MAX;
    int m_drawnRow = 0;
    bool m_recalcNeeded = false;
};
