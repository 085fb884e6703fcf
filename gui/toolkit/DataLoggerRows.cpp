#include "gui/toolkit/DataLoggerRows.h"

#include "engine/DataLogger.h"

#include <algorithm>

DataLoggerRows::DataLoggerRows(DataLogger *logger, QObject *parent)
    : QAbstractTableModel(parent)
{
    // Connected before the snapshot, so that no change falls between the two; changes the
    // snapshot already holds are recognised by their number.
    connect(logger, &DataLogger::rowsAppended, this, &DataLoggerRows::onRowsAppended);
    connect(logger, &DataLogger::rowsDropped, this, &DataLoggerRows::onRowsDropped);
    connect(logger, &DataLogger::rowsCleared, this, &DataLoggerRows::onRowsCleared);
    const QVector<ioc::TRACE_DATA> rows = logger->rowsSnapshot(&m_snapshotChange);
    m_rows.assign(rows.begin(), rows.end());
}

int DataLoggerRows::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int DataLoggerRows::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(DataLogger::ColumnCount);
}

QVariant DataLoggerRows::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= int(m_rows.size())
        || index.column() >= DataLogger::ColumnCount)
        return QVariant();
    return DataLogger::columnValue(m_rows[size_t(index.row())], index.column());
}

QVariant DataLoggerRows::headerData(int section, Qt::Orientation orientation, int role) const
{
    return DataLogger::header(section, orientation, role);
}

Qt::ItemFlags DataLoggerRows::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return QAbstractTableModel::flags(index);
    return QAbstractTableModel::flags(index) | Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

void DataLoggerRows::onRowsAppended(quint64 change, const QVector<ioc::TRACE_DATA> &records)
{
    if (change <= m_snapshotChange || records.isEmpty())
        return;
    const int first = int(m_rows.size());
    beginInsertRows(QModelIndex(), first, first + records.size() - 1);
    m_rows.insert(m_rows.end(), records.begin(), records.end());
    endInsertRows();
}

void DataLoggerRows::onRowsDropped(quint64 change, int rows)
{
    rows = std::min(rows, int(m_rows.size()));
    if (change <= m_snapshotChange || rows <= 0)
        return;
    beginRemoveRows(QModelIndex(), 0, rows - 1);
    m_rows.erase(m_rows.begin(), m_rows.begin() + rows);
    endRemoveRows();
}

void DataLoggerRows::onRowsCleared(quint64 change)
{
    if (change <= m_snapshotChange)
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}
