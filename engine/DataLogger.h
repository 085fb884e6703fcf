#pragma once

#include "engine/EngineTypes.h"
#include "engine/ioc/IocProtocol.h"

#include <QAbstractTableModel>
#include <QMutex>
#include <QVector>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

// Column codes of the formatted read-outs, in the keyword order of
// KeywordBridge_CurrVoltPowEtimCapEner: 0 current, 1 voltage, 2 power, 3 elapsed time,
// 4 capacity, 5 energy.
using DlFormatItems = QVector<int>;

// The measurement records of the acquisitions: a bounded first-in first-out buffer, read out by
// the remote commands as vectors of chosen columns, shown to the panel as a six-column table
// and written to a CSV file.
//
// Threads. The logger has a thread of its own: the thread it lives in, whose event loop must
// run. Every change of the records (append, clear, buffer size, dequeue) happens there, so that
// the views attached to the model (in that same thread) see each change announced before and
// after it; a call from another thread is carried there and waits for its result (but for
// dequeFirstValues, which claims its records at once and leaves only their removal from the
// rows to that thread, so that the remote drain crosses no thread). The readers
// (getNumOfData, last, getLastWithFormat, getFormat, save) may be called from any thread and
// work on copies taken under the mutex.
// A caller in another thread must hold no lock that the logger's thread may wait for: the
// engine mutex in particular is released before a change of the records is asked for.
//
// Rows. Records appended without an announcement (append) are held but not yet shown; the
// model's rows are the records announced so far, the oldest first. appendWithRow and appendRow
// announce the held ones, so a batch costs one announcement.
class DataLogger : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { ETime = 0, Current, Voltage, Power, Capacity, Energy, ColumnCount };

    static constexpr int MinBufSize = 1024;
    static constexpr int MaxBufSize = 65536;
    // Error of a buffer size that is not a power of two.
    static constexpr vek::SCPIERR_T IllegalBufferSize = 201;

    explicit DataLogger(QObject *parent = nullptr);
    ~DataLogger() override;

    // --- Table model (views in the logger's thread) ---
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    // Display role: the column's value as a double; every other role: nothing.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Changes nothing.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    // Horizontal: the column titles; vertical: rows numbered from 1.
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // --- Buffer ---
    // 1024 .. 65536 (else -222) and a power of two (else 201). Held records beyond the new size
    // stay until appends push them out.
    vek::SCPIERR_T setBufSize(int n);
    int getBufSize() const;
    void clear();
    bool isEmpty() const;
    int getNumOfData() const;
    // An empty list: -224; the codes are kept as given.
    vek::SCPIERR_T setFormat(const DlFormatItems &format);
    DlFormatItems getFormat() const;

    // Appends a record without announcing it. A full buffer drops its oldest record first.
    void append(const ioc::TRACE_DATA &record);
    // Appends a record and announces it together with every record held unannounced before it
    // (pending of them, as the caller counted; the logger's own count stands where records were
    // dequeued or dropped meanwhile).
    void appendWithRow(const ioc::TRACE_DATA &record, int pending);
    // Announces up to n of the records held unannounced, the oldest first.
    void appendRow(int n);

    // Copies of the newest record; empty when there is none.
    std::optional<ioc::TRACE_DATA> last() const;
    QVector<double> getLastWithFormat() const;
    // Removes up to n of the oldest records and returns their formatted values; then sets
    // condition 2048 of STATus:OPERation when records remain and clears it when none do.
    QVector<QVector<double>> dequeFirstWithFormat(unsigned n);
    // The same values in one vector, record after record, for readers that join them anyway.
    // It does not wait for the logger's thread: the records are claimed at once (no reader
    // sees them again) and leave the rows once that thread gets to them.
    QVector<double> dequeFirstValues(unsigned n);

    // The model's rows as copies, oldest first, with the number of the last change they
    // include: a mirror in another thread takes them once and then follows the change signals
    // whose number is higher.
    QVector<ioc::TRACE_DATA> rowsSnapshot(quint64 *change) const;
    // headerData's answers; they need no logger, so views in any thread may ask.
    static QVariant header(int section, Qt::Orientation orientation, int role);
    // A record's value in a table column (ETime .. Energy).
    static double columnValue(const ioc::TRACE_DATA &record, int column);

    // Writes the CSV file: to a temporary name beside path, then renamed over it. False when
    // the file cannot be written completely (nothing is left behind then).
    bool save(const QString &path) const;

    // Ends every call from another thread that waits for the logger's thread, and makes later
    // ones return at once without effect; calls in the logger's thread still work. The owner
    // calls it before it stops a thread that calls in (the parser) while its own thread waits.
    void closeCalls();

Q_SIGNALS:
    // Each change of the rows, emitted in the logger's thread after the model announced it,
    // numbered in order (see rowsSnapshot). Views in another thread follow the logger through
    // these (queued, so in order) rather than through the model's own signals.
    // Rows appended at the end: copies of the newly announced records, oldest first.
    void rowsAppended(quint64 change, const QVector<ioc::TRACE_DATA> &records);
    // The `rows` oldest rows removed.
    void rowsDropped(quint64 change, int rows);
    // Every row removed.
    void rowsCleared(quint64 change);

private:
    struct Calls;

    // Appends the formatted values of one record to values (codes outside 0 .. 5 give nothing).
    static void appendFormatted(
        QVector<double> &values, const ioc::TRACE_DATA &record, const DlFormatItems &format);

    // Runs work in the logger's thread and waits for it; false when calls are closed.
    bool runInOwnThread(const std::function<void()> &work);
    // The operations themselves; they run in the logger's thread.
    void appendRecord(const ioc::TRACE_DATA &record, bool announce);
    void announce(int n);
    void clearRecords();
    // Claims up to n of the oldest unclaimed records (*count of them) and returns their
    // values, record after record, *items values each; any thread.
    QVector<double> claim(unsigned n, int *items, size_t *count);
    // Drops up to n of the claimed records (fewer where the buffer has dropped them already).
    void dropClaimed(size_t n);
    void dropOldest(int n);

    // Guards m_records, m_announced, m_claimed, m_change, m_bufSize and m_format. Never held while the model
    // announces a change.
    mutable QMutex m_mutex;
    int m_bufSize = MaxBufSize;
    // The records, oldest first; a deque, so that dropping the oldest of a full buffer costs
    // no move of the others.
    std::deque<ioc::TRACE_DATA> m_records;
    int m_announced = 0; // the first m_announced records are the model's rows
    // The first m_claimed records are read out and only wait to leave the rows: the readers,
    // the counts and the file no longer see them.
    size_t m_claimed = 0;
    quint64 m_change = 0; // number of the last change of the rows
    DlFormatItems m_format;

    // The calls from other threads; shared with them, so that a caller woken by closeCalls()
    // never touches a logger that is being destroyed.
    const std::shared_ptr<Calls> m_calls;
};
