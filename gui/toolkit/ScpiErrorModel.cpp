#include "gui/toolkit/ScpiErrorModel.h"

#include "remote/ZOSystErrCue.h"

#include <algorithm>

using zo4882::s_systErrCue;
using zo4882::SYST_ERR_INFO;
using zo4882::ZOSystErrCue;

namespace {

// The number of oldest rows to drop so that the rest of `held` begins `now`, or -1 when no
// such cut exists. The queue only drops from the front and appends at the back, so the
// smallest such cut is the change that happened (or one a view cannot tell from it).
int droppedFront(const QVector<SYST_ERR_INFO> &held, const QVector<SYST_ERR_INFO> &now)
{
    for (int cut = 0; cut < held.size(); ++cut) {
        const int kept = held.size() - cut;
        if (kept <= now.size() && std::equal(held.begin() + cut, held.end(), now.begin()))
            return cut;
    }
    return held.isEmpty() || now.isEmpty() ? held.size() : -1;
}

// Whether the entries past `from` hold the overflow mark: the queue then replaced its newest
// entry, which no insert can express.
bool overflowsFrom(const QVector<SYST_ERR_INFO> &now, int from)
{
    return std::any_of(now.begin() + std::min(from, now.size()), now.end(), [](const auto &e) {
        return e.code() == ZOSystErrCue::OverflowCode;
    });
}

} // namespace

ScpiErrorModel::ScpiErrorModel(QObject *parent)
    : QAbstractTableModel(parent)
    , m_rows(s_systErrCue.snapshot())
{ }

int ScpiErrorModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int ScpiErrorModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant ScpiErrorModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal && section == 0)
        return tr("Code");
    if (orientation == Qt::Horizontal && section == 1)
        return tr("Message");
    return section + 1;
}

QVariant ScpiErrorModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.parent().isValid() || index.row() >= m_rows.size())
        return QVariant();
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();
    const SYST_ERR_INFO &entry = m_rows.at(index.row());
    switch (index.column()) {
    case 0:
        return int(entry.code());
    case 1:
        return messageText(entry);
    default:
        return QVariant();
    }
}

Qt::ItemFlags ScpiErrorModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid())
        f |= Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    return f;
}

bool ScpiErrorModel::queue()
{
    follow();
    return !m_rows.isEmpty();
}

bool ScpiErrorModel::decue()
{
    follow();
    return !m_rows.isEmpty();
}

void ScpiErrorModel::clear()
{
    // The queue clears its status bits under its own mutex and tells its hook only when it
    // held entries; an empty queue is left alone.
    s_systErrCue.clear();
    follow();
}

QString ScpiErrorModel::messageText(const SYST_ERR_INFO &entry)
{
    QString text = entry.getFullErrorMessage();
    const int separator = text.indexOf(QLatin1Char(';'));
    if (separator > 0)
        text.insert(separator + 1, QLatin1Char(' '));
    return text;
}

void ScpiErrorModel::follow()
{
    const QVector<SYST_ERR_INFO> now = s_systErrCue.snapshot();
    const int cut = droppedFront(m_rows, now);
    if (cut < 0 || overflowsFrom(now, m_rows.size() - cut)) {
        beginResetModel();
        m_rows = now;
        endResetModel();
        return;
    }
    if (cut > 0) {
        beginRemoveRows(QModelIndex(), 0, cut - 1);
        m_rows.erase(m_rows.begin(), m_rows.begin() + cut);
        endRemoveRows();
    }
    if (now.size() > m_rows.size()) {
        beginInsertRows(QModelIndex(), m_rows.size(), now.size() - 1);
        m_rows = now;
        endInsertRows();
    }
}
