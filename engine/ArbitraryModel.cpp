#include "engine/ArbitraryModel.h"

#include "engine/Source.h"
#include "engine/ioc/IoControl.h"
#include "instrument/ModelInformation.h"

#include <QMetaObject>
#include <QThread>

#include <cmath>
#include <cstdlib>

namespace vek {

namespace {

constexpr SCPIERR_T IndexOutOfRange = 121;
constexpr SCPIERR_T VoltageOutOfRange = 122;
constexpr SCPIERR_T CurrentOutOfRange = 123;
constexpr SCPIERR_T DataConflict = 124;
constexpr SCPIERR_T TooFewPoints = 125;
constexpr SCPIERR_T TooManyPoints = 126;

// The controller table is sent in blocks of 32 entries; a smaller table has none.
constexpr quint32 MinTableEntries = 32;

// Points and bounds use the High ranges whatever is selected.
constexpr int HighVoltageKey = 1;
constexpr int LowVoltageKey = 0;
constexpr int HighCurrentKey = 2;
constexpr int LowCurrentKey = 0;

} // namespace

ArbitraryModel::ArbitraryModel(ioc::IoControl *writer, ModelInformation *info, QObject *parent)
    : QAbstractTableModel(parent)
    , m_writer(writer)
    , m_modelInformation(info)
{
    qRegisterMetaType<ARBITRARY_DATA>("ARBITRARY_DATA");
    clear();
}

double ArbitraryModel::fullScaleVoltage() const
{
    return ModelInformation::rangeValue(m_modelInformation->voltageMap(), HighVoltageKey).m_max;
}

SCPIERR_T ArbitraryModel::inModelThread(const std::function<SCPIERR_T()> &fn)
{
    if (QThread::currentThread() == thread())
        return fn();
    SCPIERR_T result = Error::ExecutionError;
    QMetaObject::invokeMethod(
        this,
        [&] {
            result = fn();
        },
        Qt::BlockingQueuedConnection);
    return result;
}

QList<ARBITRARY_DATA> ArbitraryModel::getData() const
{
    QMutexLocker lock(&m_mutex);
    return m_points;
}

int ArbitraryModel::getCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_points.size();
}

QVector<quint32> ArbitraryModel::iocTable() const
{
    QMutexLocker lock(&m_mutex);
    return m_iocTable;
}

SCPIERR_T ArbitraryModel::checkCount(int n) const
{
    return (n >= MinPoints && n <= MaxPoints) ? Error::None : Error::DataOutOfRange;
}

SCPIERR_T ArbitraryModel::setCount(int n, const QModelIndex &at)
{
    if (checkCount(n) != Error::None)
        return Error::DataOutOfRange;
    const int atRow = at.isValid() ? at.row() : -1;
    return inModelThread([this, n, atRow] {
        const int count = getCount();
        const int row = atRow >= 0 ? atRow : qMax(0, count - 1);
        if (n > count)
            insertRows(row, n - count);
        else if (n < count)
            removeRows(row, count - n);
        {
            QMutexLocker lock(&m_mutex);
            m_modified = true;
        }
        emit countUiChanged(n);
        return Error::None;
    });
}

SCPIERR_T ArbitraryModel::getTablePoint(int n, ARBITRARY_DATA *out) const
{
    QMutexLocker lock(&m_mutex);
    if (n < 1 || n > m_points.size())
        return Error::DataOutOfRange;
    *out = m_points.at(n - 1);
    return Error::None;
}

SCPIERR_T ArbitraryModel::checkTablePoint(int n, const ARBITRARY_DATA &p) const
{
    QMutexLocker lock(&m_mutex);
    return checkPointLocked(n, p);
}

SCPIERR_T ArbitraryModel::checkLimits(const ARBITRARY_DATA &p) const
{
    const double vfs = fullScaleVoltage();
    const double vmin =
        ModelInformation::rangeValue(m_modelInformation->voltageMap(), LowVoltageKey).m_min;
    const double itop =
        ModelInformation::rangeValue(m_modelInformation->currentMap(), HighCurrentKey).m_max;
    const double imin =
        ModelInformation::rangeValue(m_modelInformation->currentMap(), LowCurrentKey).m_min;
    // Negated comparisons so that NaN is refused as well.
    if (!(p.voltage <= vfs && p.voltage >= vmin))
        return VoltageOutOfRange;
    if (!(p.current <= itop && p.current >= imin))
        return CurrentOutOfRange;
    return Error::None;
}

SCPIERR_T ArbitraryModel::checkPointLocked(int n, const ARBITRARY_DATA &p) const
{
    const int count = m_points.size();
    if (n < 1 || n > count)
        return IndexOutOfRange;
    const SCPIERR_T limits = checkLimits(p);
    if (limits != Error::None)
        return limits;
    if (n == 1)
        return DataConflict;
    if (n == count && p.voltage != fullScaleVoltage())
        return DataConflict;
    if (m_points.at(n - 2).voltage > p.voltage)
        return DataConflict;
    if (n < count && m_points.at(n).voltage < p.voltage)
        return DataConflict;
    return Error::None;
}

void ArbitraryModel::storePoint(int n, const ARBITRARY_DATA &p)
{
    {
        QMutexLocker lock(&m_mutex);
        m_points[n - 1] = p;
        m_modified = true;
    }
    emit dataChanged(index(n - 1, 0), index(n - 1, 1), {});
}

SCPIERR_T ArbitraryModel::setTablePoint(int n, const ARBITRARY_DATA &p)
{
    return inModelThread([this, n, p] {
        const SCPIERR_T err = checkTablePoint(n, p);
        if (err == Error::None)
            storePoint(n, p);
        return err;
    });
}

SCPIERR_T ArbitraryModel::setTablePointVoltage(int n, double v)
{
    return inModelThread([this, n, v] {
        ARBITRARY_DATA p;
        if (getTablePoint(n, &p) != Error::None)
            return IndexOutOfRange;
        p.voltage = v;
        return setTablePoint(n, p);
    });
}

SCPIERR_T ArbitraryModel::setTablePointCurrent(int n, double i)
{
    return inModelThread([this, n, i] {
        ARBITRARY_DATA p;
        if (getTablePoint(n, &p) != Error::None)
            return IndexOutOfRange;
        p.current = i;
        return setTablePoint(n, p);
    });
}

SCPIERR_T ArbitraryModel::setTable(QList<ARBITRARY_DATA> &points)
{
    return inModelThread([this, &points] {
        if (points.size() < MinPoints)
            return TooFewPoints;
        if (points.size() > MaxPoints)
            return TooManyPoints;
        double previous = 0.0;
        for (const ARBITRARY_DATA &p : points) {
            if (p.voltage < previous)
                return DataConflict;
            const SCPIERR_T limits = checkLimits(p);
            if (limits != Error::None)
                return limits;
            previous = p.voltage;
        }
        points.first() = ARBITRARY_DATA();
        points.last().voltage = fullScaleVoltage();

        beginResetModel();
        {
            QMutexLocker lock(&m_mutex);
            m_points = points;
            m_modified = true;
        }
        endResetModel();
        emit countUiChanged(points.size());
        return Error::None;
    });
}

SCPIERR_T ArbitraryModel::clear()
{
    return inModelThread([this] {
        beginResetModel();
        {
            QMutexLocker lock(&m_mutex);
            m_points = { ARBITRARY_DATA { 0.0, 0.0 },
                ARBITRARY_DATA { 1.0, 0.0 },
                ARBITRARY_DATA { fullScaleVoltage(), 0.0 } };
            m_modified = true;
        }
        endResetModel();
        emit countUiChanged(MinPoints);
        return Error::None;
    });
}

SCPIERR_T ArbitraryModel::transmit(updateTiming timing)
{
    return inModelThread([this, timing] {
        const quint32 n = m_modelInformation->arbPoints();
        QVector<quint32> table;
        {
            QMutexLocker lock(&m_mutex);
            if (!m_modified && timing == UpdateIfChanged)
                return Error::None;
            if (n < MinTableEntries)
                return Error::SystemError;
            m_modified = false;
        }
        QVector<ARBITRARY_IOC_DATA> points;
        adjustPointTable(&points);
        table.fill(Unreached, int(n));
        for (int k = 1; k < points.size(); ++k)
            lineBresenham(&table, points.at(k - 1), points.at(k));
        {
            QMutexLocker lock(&m_mutex);
            m_iocTable = table;
        }
        m_writer->transferArbitary(table);
        return Error::None;
    });
}

void ArbitraryModel::adjustPointTable(QVector<ARBITRARY_IOC_DATA> *out) const
{
    out->clear();
    const QList<ARBITRARY_DATA> points = getData();
    const quint32 n = m_modelInformation->arbPoints();
    if (points.size() < 2 || n < 2)
        return;
    const BoundValue &current = ModelInformation::rangeValue(
        m_modelInformation->currentMap(), int(Source::getCurrentRange()));
    const double ilim = current.m_max;
    const double vr = ModelInformation::rangeValue(
        m_modelInformation->voltageMap(), int(Source::m_voltRange.load()))
                          .m_max;
    const double step = vr / double(n - 1);
    const double scale = std::pow(10.0, current.m_power) * current.m_factor;

    auto append = [&](double volts, double amps) {
        ARBITRARY_IOC_DATA d;
        d.index = quint32(searchVoltageIndex(step, volts));
        const double x = amps * scale;
        d.code = x >= 0.0 ? quint32(x + 0.5) : 0;
        out->append(d);
    };
    append(0.0, 0.0);
    for (int k = 1; k < points.size(); ++k) {
        const ARBITRARY_DATA &p0 = points.at(k - 1);
        const ARBITRARY_DATA &p1 = points.at(k);
        const double s =
            p0.voltage != p1.voltage ? (p1.current - p0.current) / (p1.voltage - p0.voltage) : 0.0;
        const double b = ((p0.current + p1.current) - s * (p0.voltage + p1.voltage)) / 2.0;
        auto crossing = [&](const ARBITRARY_DATA &p) {
            append(s != 0.0 ? (ilim - b) / s : p.voltage, ilim);
        };
        auto plain = [&](const ARBITRARY_DATA &p) {
            append(p.voltage, (p.voltage > vr && s != 0.0) ? b + s * vr : p.current);
        };
        const bool above0 = p0.current > ilim;
        const bool above1 = p1.current > ilim;
        if (!above0 && !above1) {
            plain(p1);
        } else if (!above0) {
            crossing(p1);
        } else if (!above1) {
            crossing(p0);
            plain(p1);
        }
    }
}

int ArbitraryModel::searchVoltageIndex(double step, double v) const
{
    const int n = int(m_modelInformation->arbPoints());
    int i = n / 2;
    for (int d = i / 2; d > 0; d /= 2) {
        if ((i - 0.5) * step > v)
            i -= d;
        else
            i += d;
    }
    if (v < (i - 0.5) * step)
        --i;
    return qBound(0, i, qMax(0, n - 1));
}

void ArbitraryModel::lineBresenham(
    QVector<quint32> *table, ARBITRARY_IOC_DATA from, ARBITRARY_IOC_DATA to) const
{
    const int last = table->size() - 1;
    const int x0 = int(from.index), x1 = int(to.index);
    const int y0 = int(from.code >> 16), y1 = int(to.code >> 16);
    if (x0 > last || x1 > last)
        return;
    const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx - dy;
    int x = x0, y = y0;
    while (x != x1 || y != y1) {
        (*table)[x] = quint32(y) << 16;
        const int e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x += sx;
        }
        if (e2 < dx) {
            err += dx;
            y += sy;
        }
    }
    (*table)[x1] = quint32(y1) << 16;
}

int ArbitraryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : getCount();
}

int ArbitraryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant ArbitraryModel::data(const QModelIndex &index, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    ARBITRARY_DATA p;
    if (!index.isValid() || getTablePoint(index.row() + 1, &p) != Error::None)
        return {};
    if (index.column() == 0) {
        const int decimals =
            ModelInformation::rangeValue(m_modelInformation->voltageMap(), HighVoltageKey)
                .m_decimals;
        return QString("%1").arg(p.voltage, 0, 'f', qMax(0, decimals));
    }
    if (index.column() == 1) {
        const int decimals =
            ModelInformation::rangeValue(m_modelInformation->currentMap(), HighCurrentKey)
                .m_decimals;
        return QString("%1").arg(p.current, 0, 'f', qMax(0, decimals));
    }
    return {};
}

QVariant ArbitraryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section == 0)
        return tr("Voltage");
    if (section == 1)
        return tr("Current");
    return {};
}

Qt::ItemFlags ArbitraryModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return QAbstractTableModel::flags(index);
    const int last = getCount() - 1;
    if (index.row() == 0 || (index.row() == last && index.column() == 0))
        return Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    return Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

bool ArbitraryModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= getCount() || index.column() < 0
        || index.column() > 1)
        return false;
    bool ok = false;
    const double v = value.toDouble(&ok);
    SCPIERR_T err = Error::DataOutOfRange;
    if (ok) {
        err = index.column() == 0 ? setTablePointVoltage(index.row() + 1, v)
                                  : setTablePointCurrent(index.row() + 1, v);
    }
    if (err != Error::None)
        emit errorOfEdit(err);
    transmit(UpdateIfChanged);
    return true;
}

bool ArbitraryModel::insertRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || count < 1 || row < 0 || row >= getCount())
        return false;
    beginInsertRows(parent, row, row + count - 1);
    {
        QMutexLocker lock(&m_mutex);
        const ARBITRARY_DATA copy = m_points.at(row);
        for (int k = 0; k < count; ++k)
            m_points.insert(row, copy);
    }
    endInsertRows();
    return true;
}

void ArbitraryModel::pinEndsLocked()
{
    if (m_points.isEmpty())
        return;
    m_points.first() = ARBITRARY_DATA();
    m_points.last().voltage = fullScaleVoltage();
}

bool ArbitraryModel::removeRows(int row, int count, const QModelIndex &parent)
{
    const int total = getCount();
    if (parent.isValid() || count < 1 || count > total || row < 0 || row > total)
        return false;
    if (row + count - 1 > total - 1)
        row = total - count;
    beginRemoveRows(parent, row, row + count - 1);
    {
        QMutexLocker lock(&m_mutex);
        for (int k = 0; k < count; ++k) {
            m_points.removeAt(row);
            pinEndsLocked();
        }
    }
    endRemoveRows();
    // The pinned neighbours may have changed.
    if (total - count > 0)
        emit dataChanged(index(0, 0), index(total - count - 1, 1), {});
    return true;
}

} // namespace vek
