#pragma once

#include "engine/ioc/IocProtocol.h"

#include <QAbstractTableModel>

#include <deque>

class DataLogger;

// The engine's record logger as a table model of the GUI thread, for the chart and the table.
// The logger lives in the engine's thread and changes its rows there; this model keeps a copy of
// the announced rows and follows the logger's change signals, which arrive queued and in order,
// so every view sees each change announced in its own thread. Columns, titles and values are
// the logger's. GUI thread only; a destroyed logger leaves the rows as they were.
class DataLoggerRows : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit DataLoggerRows(DataLogger *logger, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    void onRowsAppended(quint64 change, const QVector<ioc::TRACE_DATA> &records);
    void onRowsDropped(quint64 change, int rows);
    void onRowsCleared(quint64 change);

    std::deque<ioc::TRACE_DATA> m_rows; // oldest first
    // Changes up to this number are in the snapshot taken at construction.
    quint64 m_snapshotChange = 0;
};
