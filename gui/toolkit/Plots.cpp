#include "gui/toolkit/Plots.h"

#include "gui/toolkit/Plot.h"

#include <QAbstractItemModel>

Plots::Plots(QObject *parent)
    : QObject(parent)
{ }

void Plots::setModel(QAbstractItemModel *model)
{
    // Plots of an earlier model stay alive (bindings may still name them) but are forgotten.
    m_plots.clear();
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    if (!model)
        return;
    // Bounded by the column count: a model whose header data never runs empty (the base
    // class numbers every section) must not make this loop forever.
    const int columns = model->columnCount();
    for (int column = 1; column < columns; ++column) {
        if (model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString().isEmpty())
            break;
        m_plots.insert(column, new Plot(column, model, this));
    }
    connect(model, &QAbstractItemModel::modelReset, this, &Plots::onResetModel);
    connect(model, &QAbstractItemModel::rowsInserted, this, &Plots::onRowsInsert);
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, &Plots::onRowsAboutToBeRemove);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &Plots::onRowsRemove);
    connect(model, &QAbstractItemModel::dataChanged, this, &Plots::onDataChange);
}

void Plots::append(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    if (!m_model)
        return;
    bool changed = false;
    for (int column = topLeft.column(); column <= bottomRight.column(); ++column) {
        Plot *p = column == 0 ? nullptr : plot(column);
        if (!p)
            continue;
        for (int row = topLeft.row(); row <= bottomRight.row(); ++row)
            changed |= p->calculateMinMaxData(m_model->index(row, column), m_model->index(row, 0));
    }
    if (Plot *last = plot(bottomRight.column())) {
        if (changed)
            emit last->autoScaleUpdated();
        else
            emit last->dataUpdated();
    }
}

void Plots::onDataChange(
    const QModelIndex &topLeft, const QModelIndex &bottomRight, const QVector<int> &roles)
{
    Q_UNUSED(roles)
    // One rescan per column covers every changed row of it.
    for (int column = topLeft.column(); column <= bottomRight.column(); ++column) {
        if (Plot *p = column == 0 ? nullptr : plot(column))
            p->recalculateMinMaxAllData(true);
    }
    emit autoScaleUpdated();
    emit refreshed();
}

void Plots::onRowsInsert(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid() || !m_model)
        return;
    bool appended = true;
    bool changed = false;
    for (Plot *p : qAsConst(m_plots)) {
        if (m_model->rowCount() != first + 1)
            appended = false;
        for (int row = first; row <= last; ++row)
            changed |=
                p->calculateMinMaxData(m_model->index(row, p->column()), m_model->index(row, 0));
    }
    if (!appended) {
        if (changed)
            emit autoScaleUpdated();
        emit refreshed();
    } else if (changed) {
        emit autoScaleUpdated();
    } else {
        emit dataUpdated();
    }
}

void Plots::onRowsAboutToBeRemove(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid() || !m_model)
        return;
    for (Plot *p : qAsConst(m_plots)) {
        for (int row = first; row <= last; ++row)
            p->checkMinMaxDeleteData(m_model->index(row, p->column()), m_model->index(row, 0));
    }
}

void Plots::onRowsRemove(const QModelIndex &parent, int first, int last)
{
    Q_UNUSED(first)
    Q_UNUSED(last)
    if (parent.isValid())
        return;
    bool changed = false;
    for (Plot *p : qAsConst(m_plots))
        changed |= p->recalculateMinMaxAllData(false);
    if (changed)
        emit autoScaleUpdated();
    emit refreshed();
}

void Plots::onResetModel()
{
    for (Plot *p : qAsConst(m_plots))
        p->clear();
    emit autoScaleUpdated();
    emit refreshed();
}
