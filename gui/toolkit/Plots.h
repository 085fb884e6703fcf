#pragma once

#include <QMap>
#include <QModelIndex>
#include <QObject>
#include <QPointer>
#include <QVector>

class Plot;
class QAbstractItemModel;

// The graph's plots, one per model column with a non-empty header, following the model's rows.
// Rows appended one at a time at the end ask for incremental drawing (dataUpdated) or, when they
// widen an extreme, for rescaling (autoScaleUpdated); anything else asks for a full redraw.
class Plots : public QObject
{
    Q_OBJECT

public:
    explicit Plots(QObject *parent = nullptr);

    // Plots columns 1, 2, ... up to the first empty header text. The model is not owned and must
    // signal in this thread; rows already in it are not scanned until a reset or change.
    void setModel(QAbstractItemModel *model);
    // Null when the column has no plot.
    Plot *plot(int column) const { return m_plots.value(column); }
    const QMap<int, Plot *> &columnMap() const { return m_plots; }
    void append(const QModelIndex &topLeft, const QModelIndex &bottomRight);

Q_SIGNALS:
    void refreshed();
    void autoScaleUpdated();
    void dataUpdated();

public Q_SLOTS:
    void onDataChange(
        const QModelIndex &topLeft, const QModelIndex &bottomRight, const QVector<int> &roles);
    void onRowsInsert(const QModelIndex &parent, int first, int last);
    void onRowsAboutToBeRemove(const QModelIndex &parent, int first, int last);
    void onRowsRemove(const QModelIndex &parent, int first, int last);
    void onResetModel();

private:
    QPointer<QAbstractItemModel> m_model;
    QMap<int, Plot *> m_plots; // children of this container
};
