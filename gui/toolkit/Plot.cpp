#include "gui/toolkit/Plot.h"

#include <QAbstractItemModel>

Plot::Plot(int column, QAbstractItemModel *model, QObject *parent)
    : QObject(parent)
    , m_column(column)
    , m_model(model)
{ }

void Plot::setVisble(bool on)
{
    if (on == m_visble)
        return;
    m_visble = on;
    emit refreshed();
}

void Plot::setLineColor(const QColor &colour)
{
    if (colour == m_lineColor)
        return;
    m_lineColor = colour;
    emit refreshed();
}

void Plot::setLineWidth(double width)
{
    if (width == m_lineWidth)
        return;
    m_lineWidth = width;
    emit refreshed();
}

void Plot::clear()
{
    m_minX = m_minY = DBL_MAX;
    m_maxX = m_maxY = -DBL_MAX;
    m_drawnRow = 0;
}

double Plot::cellValue(const QModelIndex &index)
{
    if (!index.isValid())
        return 0.0;
    bool ok = false;
    const double value = index.data(Qt::DisplayRole).toDouble(&ok);
    return ok ? value : 0.0;
}

bool Plot::calculateMinMaxData(const QModelIndex &yIndex, const QModelIndex &xIndex)
{
    return appendData(QPointF(cellValue(xIndex), cellValue(yIndex)));
}

void Plot::checkMinMaxDeleteData(const QModelIndex &yIndex, const QModelIndex &xIndex)
{
    const double x = cellValue(xIndex);
    const double y = cellValue(yIndex);
    if (x <= m_minX || x >= m_maxX || y <= m_minY || y >= m_maxY)
        m_recalcNeeded = true;
}

bool Plot::recalculateMinMaxAllData(bool force)
{
    if (!m_recalcNeeded && !force)
        return false;
    clear();
    if (m_model) {
        const int rows = m_model->rowCount();
        for (int row = 0; row < rows; ++row)
            calculateMinMaxData(m_model->index(row, m_column), m_model->index(row, 0));
    }
    m_recalcNeeded = false;
    return true;
}

bool Plot::appendData(const QPointF &point)
{
    bool changed = false;
    if (point.x() > m_maxX) {
        m_maxX = point.x();
        changed = true;
    }
    if (point.x() < m_minX) {
        m_minX = point.x();
        changed = true;
    }
    if (point.y() > m_maxY) {
        m_maxY = point.y();
        changed = true;
    }
    if (point.y() < m_minY) {
        m_minY = point.y();
        changed = true;
    }
    return changed;
}

void Plot::append(const QPointF &point)
{
    if (appendData(point))
        emit autoScaleUpdated();
    else
        emit dataUpdated();
}

void Plot::append(const QVector<QPointF> &points)
{
    bool changed = false;
    for (const QPointF &point : points)
        changed |= appendData(point);
    if (changed)
        emit autoScaleUpdated();
    else
        emit dataUpdated();
}
