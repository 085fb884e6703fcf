#include "engine/DataLogger.h"

#include "remote/StatusRegisters.h"

#include <QLocale>
#include <QSaveFile>
#include <QTextStream>
#include <QThread>
#include <QVarLengthArray>
#include <QWaitCondition>

#include <algorithm>
#include <iterator>

namespace {

// STATus:OPERation condition: records are waiting in the logger.
constexpr short OperDataAvailable = 2048;

// One call from another thread: started, done and abandoned are guarded by Calls::mutex.
struct Call
{
    bool started = false;
    bool done = false;
    bool abandoned = false; // the caller gave up before the work started: it never runs
};

// Format code -> the record's value.
constexpr double ioc::TRACE_DATA::*FormatMembers[] = { &ioc::TRACE_DATA::current,
    &ioc::TRACE_DATA::voltage,
    &ioc::TRACE_DATA::power,
    &ioc::TRACE_DATA::elapsedTime,
    &ioc::TRACE_DATA::capacity,
    &ioc::TRACE_DATA::energy };

bool isFormatCode(int code)
{
    return code >= 0 && code < int(std::size(FormatMembers));
}

} // namespace

// Table column -> value; the CSV file has the same order.
double DataLogger::columnValue(const ioc::TRACE_DATA &r, int column)
{
    switch (column) {
    case ETime:
        return r.elapsedTime;
    case Current:
        return r.current;
    case Voltage:
        return r.voltage;
    case Power:
        return r.power;
    case Capacity:
        return r.capacity;
    default:
        return r.energy;
    }
}

struct DataLogger::Calls
{
    QMutex mutex; // guards closed and every Call of this logger
    QWaitCondition changed; // woken when a call is done and by closeCalls()
    bool closed = false;
};

DataLogger::DataLogger(QObject *parent)
    : QAbstractTableModel(parent)
    , m_calls(std::make_shared<Calls>())
{
    qRegisterMetaType<QVector<ioc::TRACE_DATA>>("QVector<ioc::TRACE_DATA>");
    clear();
    m_format = { 0, 1, 2 };
}

DataLogger::~DataLogger()
{
    closeCalls();
}

// --- Table model ---

int DataLogger::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    QMutexLocker lock(&m_mutex);
    return m_announced;
}

int DataLogger::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(ColumnCount);
}

QVariant DataLogger::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() < 0 || index.column() >= ColumnCount)
        return QVariant();
    // The size hint is left to the views: a view takes only a size for it.
    if (role != Qt::DisplayRole)
        return QVariant();
    QMutexLocker lock(&m_mutex);
    if (index.row() < 0 || index.row() >= m_announced)
        return QVariant();
    return columnValue(m_records[size_t(index.row())], index.column());
}

bool DataLogger::setData(const QModelIndex &, const QVariant &, int)
{
    return false;
}

QVariant DataLogger::headerData(int section, Qt::Orientation orientation, int role) const
{
    return header(section, orientation, role);
}

QVariant DataLogger::header(int section, Qt::Orientation orientation, int role)
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1;
    switch (section) {
    case ETime:
        return tr("ETime[s]");
    case Current:
        return tr("Current[A]");
    case Voltage:
        return tr("Voltage[V]");
    case Power:
        return tr("Power[W]");
    case Capacity:
        return tr("Capacity[Ah]");
    case Energy:
        return tr("Energy[Wh]");
    default:
        return QVariant();
    }
}

Qt::ItemFlags DataLogger::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return QAbstractTableModel::flags(index);
    return QAbstractTableModel::flags(index) | Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

// --- Buffer ---

vek::SCPIERR_T DataLogger::setBufSize(int n)
{
    if (n < MinBufSize || n > MaxBufSize)
        return vek::Error::DataOutOfRange;
    if ((n & (n - 1)) != 0)
        return IllegalBufferSize;
    // No record moves: the next appends drop the oldest until the buffer fits.
    QMutexLocker lock(&m_mutex);
    m_bufSize = n;
    return vek::Error::None;
}

int DataLogger::getBufSize() const
{
    QMutexLocker lock(&m_mutex);
    return m_bufSize;
}

void DataLogger::clear()
{
    runInOwnThread([this] {
        clearRecords();
    });
}

bool DataLogger::isEmpty() const
{
    QMutexLocker lock(&m_mutex);
    return m_records.size() == m_claimed;
}

int DataLogger::getNumOfData() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_records.size() - m_claimed);
}

vek::SCPIERR_T DataLogger::setFormat(const DlFormatItems &format)
{
    if (format.isEmpty())
        return vek::Error::IllegalParameter;
    QMutexLocker lock(&m_mutex);
    m_format = format;
    return vek::Error::None;
}

DlFormatItems DataLogger::getFormat() const
{
    QMutexLocker lock(&m_mutex);
    return m_format;
}

void DataLogger::append(const ioc::TRACE_DATA &record)
{
    runInOwnThread([this, record] {
        appendRecord(record, false);
    });
}

void DataLogger::appendWithRow(const ioc::TRACE_DATA &record, int)
{
    runInOwnThread([this, record] {
        appendRecord(record, true);
    });
}

void DataLogger::appendRow(int n)
{
    runInOwnThread([this, n] {
        announce(n);
    });
}

std::optional<ioc::TRACE_DATA> DataLogger::last() const
{
    QMutexLocker lock(&m_mutex);
    if (m_records.size() == m_claimed)
        return std::nullopt;
    return m_records.back();
}

QVector<double> DataLogger::getLastWithFormat() const
{
    QVector<double> values;
    QMutexLocker lock(&m_mutex);
    if (m_records.size() > m_claimed)
        appendFormatted(values, m_records.back(), m_format);
    return values;
}

QVector<QVector<double>> DataLogger::dequeFirstWithFormat(unsigned n)
{
    QVector<double> values;
    int items = 0;
    runInOwnThread([this, n, &values, &items] {
        size_t count = 0;
        values = claim(n, &items, &count);
        dropClaimed(count);
    });
    QVector<QVector<double>> records;
    if (items > 0) {
        records.reserve(values.size() / items);
        for (int i = 0; i < values.size(); i += items)
            records << values.mid(i, items);
    }
    return records;
}

QVector<double> DataLogger::dequeFirstValues(unsigned n)
{
    int items = 0;
    size_t count = 0;
    QVector<double> values = claim(n, &items, &count);
    if (count == 0)
        return values;
    if (QThread::currentThread() == thread()) {
        dropClaimed(count);
    } else {
        // Discarded unrun if the logger goes first; the claimed records go with it.
        QMetaObject::invokeMethod(
            this,
            [this, count] {
                dropClaimed(count);
            },
            Qt::QueuedConnection);
    }
    return values;
}

bool DataLogger::save(const QString &path) const
{
    std::deque<ioc::TRACE_DATA> records;
    {
        QMutexLocker lock(&m_mutex);
        records.assign(m_records.begin() + std::ptrdiff_t(m_claimed), m_records.end());
    }
    // The file appears under its name only once it is complete; a failed write (a full or
    // removed medium) removes the temporary file and leaves an existing file as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QTextStream out(&file);
    out.setLocale(QLocale::c());
    out.setRealNumberNotation(QTextStream::FixedNotation);
    out.setRealNumberPrecision(6);
    out << "ETime[s], Current[A], Voltage[V], Power[W], Capacity[Ah], Energy[Wh]\n";
    for (const ioc::TRACE_DATA &r : records) {
        for (int c = 0; c < ColumnCount; ++c)
            out << (c ? ", " : "") << columnValue(r, c);
        out << '\n';
    }
    out.flush();
    // Without a commit the temporary file is removed.
    return out.status() == QTextStream::Ok && file.commit();
}

QVector<ioc::TRACE_DATA> DataLogger::rowsSnapshot(quint64 *change) const
{
    QMutexLocker lock(&m_mutex);
    *change = m_change;
    return QVector<ioc::TRACE_DATA>(m_records.begin(), m_records.begin() + m_announced);
}

void DataLogger::closeCalls()
{
    QMutexLocker lock(&m_calls->mutex);
    m_calls->closed = true;
    m_calls->changed.wakeAll();
}

void DataLogger::appendFormatted(
    QVector<double> &values, const ioc::TRACE_DATA &record, const DlFormatItems &format)
{
    for (int code : format) {
        if (isFormatCode(code))
            values << record.*FormatMembers[code];
    }
}

// --- In the logger's thread ---

bool DataLogger::runInOwnThread(const std::function<void()> &work)
{
    if (QThread::currentThread() == thread()) {
        work();
        return true;
    }
    const std::shared_ptr<Calls> calls = m_calls;
    const auto call = std::make_shared<Call>();
    {
        QMutexLocker lock(&calls->mutex);
        if (calls->closed)
            return false;
    }
    QMetaObject::invokeMethod(
        this,
        [calls, call, work] {
            {
                QMutexLocker lock(&calls->mutex);
                if (call->abandoned)
                    return;
                call->started = true;
            }
            work();
            QMutexLocker lock(&calls->mutex);
            call->done = true;
            calls->changed.wakeAll();
        },
        Qt::QueuedConnection);
    // Once started, the work is waited for even after closeCalls(): it may write to the
    // caller's result, and it ends without waiting for anything.
    QMutexLocker lock(&calls->mutex);
    while (!call->done && !(calls->closed && !call->started))
        calls->changed.wait(&calls->mutex);
    if (!call->done)
        call->abandoned = true;
    return call->done;
}

void DataLogger::appendRecord(const ioc::TRACE_DATA &record, bool announceAll)
{
    bool full = false;
    {
        QMutexLocker lock(&m_mutex);
        full = !m_records.empty() && int(m_records.size()) >= m_bufSize;
    }
    if (full)
        dropOldest(1);

    int first = 0;
    int last = 0;
    {
        QMutexLocker lock(&m_mutex);
        if (!announceAll) {
            m_records.push_back(record);
            return;
        }
        first = m_announced;
        last = int(m_records.size()); // the held records and this one
    }
    beginInsertRows(QModelIndex(), first, last);
    QVector<ioc::TRACE_DATA> added;
    quint64 change = 0;
    {
        QMutexLocker lock(&m_mutex);
        m_records.push_back(record);
        added.reserve(last - first + 1);
        for (int i = first; i <= last; ++i)
            added << m_records[size_t(i)];
        m_announced = int(m_records.size());
        change = ++m_change;
    }
    endInsertRows();
    emit rowsAppended(change, added);
}

void DataLogger::announce(int n)
{
    int first = 0;
    int count = 0;
    {
        QMutexLocker lock(&m_mutex);
        first = m_announced;
        count = std::min(n, int(m_records.size()) - m_announced);
    }
    if (count <= 0)
        return;
    beginInsertRows(QModelIndex(), first, first + count - 1);
    QVector<ioc::TRACE_DATA> added;
    quint64 change = 0;
    {
        QMutexLocker lock(&m_mutex);
        added.reserve(count);
        for (int i = first; i < first + count; ++i)
            added << m_records[size_t(i)];
        m_announced += count;
        change = ++m_change;
    }
    endInsertRows();
    emit rowsAppended(change, added);
}

void DataLogger::clearRecords()
{
    beginResetModel();
    quint64 change = 0;
    {
        QMutexLocker lock(&m_mutex);
        m_records.clear();
        m_announced = 0;
        m_claimed = 0;
        change = ++m_change;
    }
    endResetModel();
    emit rowsCleared(change);
}

QVector<double> DataLogger::claim(unsigned n, int *items, size_t *count)
{
    QVector<double> values;
    bool remain = false;
    {
        QMutexLocker lock(&m_mutex);
        const auto first = m_records.begin() + std::ptrdiff_t(m_claimed);
        *count = std::min<size_t>(n, m_records.size() - m_claimed);
        QVarLengthArray<double ioc::TRACE_DATA::*, 8> members;
        for (int code : qAsConst(m_format)) {
            if (isFormatCode(code))
                members << FormatMembers[code];
        }
        *items = members.size();
        values.resize(int(*count) * members.size());
        double *out = values.data();
        const auto end = first + std::ptrdiff_t(*count);
        for (auto record = first; record != end; ++record) {
            for (double ioc::TRACE_DATA::*member : members)
                *out++ = (*record).*member;
        }
        m_claimed += *count;
        remain = m_records.size() > m_claimed;
    }
    zo4882::s_statOper.setCondition(OperDataAvailable, remain ? 1 : 0);
    return values;
}

void DataLogger::dropClaimed(size_t n)
{
    int k = 0;
    {
        QMutexLocker lock(&m_mutex);
        k = int(std::min(n, m_claimed));
    }
    dropOldest(k);
}

// The announced ones among the n oldest records leave the model as rows 0 .. k-1.
void DataLogger::dropOldest(int n)
{
    int rows = 0;
    {
        QMutexLocker lock(&m_mutex);
        n = std::min(n, int(m_records.size()));
        rows = std::min(n, m_announced);
    }
    if (n <= 0)
        return;
    if (rows > 0)
        beginRemoveRows(QModelIndex(), 0, rows - 1);
    quint64 change = 0;
    {
        QMutexLocker lock(&m_mutex);
        m_records.erase(m_records.begin(), m_records.begin() + n);
        m_announced -= rows;
        m_claimed -= std::min(size_t(n), m_claimed);
        if (rows > 0)
            change = ++m_change;
    }
    if (rows > 0) {
        endRemoveRows();
        emit rowsDropped(change, rows);
    }
}
