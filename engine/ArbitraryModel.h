#pragma once

#include "engine/EngineTypes.h"

#include <QAbstractTableModel>
#include <QList>
#include <QMetaType>
#include <QMutex>
#include <QVector>

#include <functional>

class ModelInformation;

namespace ioc {
class IoControl;
}

namespace vek {

// One point of the arbitrary I-V curve.
struct ARBITRARY_DATA
{
    double voltage = 0.0; // V
    double current = 0.0; // A
};

// One curve point as the controller's table sees it: voltage-step index and current register
// value (only the upper 16 bits reach the table).
struct ARBITRARY_IOC_DATA
{
    quint32 index = 0;
    quint32 code = 0;
};

// The arbitrary mode's I-V curve (3 to 100 points, first point pinned at (0 V, 0 A), last at the
// High voltage range's full scale V_fs) and the controller table built from it: N entries (the
// model's arbitrary point count), integer lines between the points cut flat at the present
// current range's maximum; entries no line reaches stay 0xFFFFFFFF.
//
// The model lives in the GUI thread. Every change, the transfer and clear() called from another
// thread (the parser's) run in the model's thread by a blocking queued call and return its real
// result, so that two changes in one message see each other. Readers take a copy under m_mutex.
// Points and bounds are checked against the High ranges; only the transfer uses the present ones.
class ArbitraryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int MinPoints = 3;
    static constexpr int MaxPoints = 100;
    static constexpr quint32 Unreached = 0xFFFFFFFF;

    // writer and info must outlive the model.
    ArbitraryModel(ioc::IoControl *writer, ModelInformation *info, QObject *parent = nullptr);

    QList<ARBITRARY_DATA> getData() const;
    int getCount() const;
    // 0 for 3..100, else -222.
    SCPIERR_T checkCount(int n) const;
    // -222 outside 3..100; else grows or shrinks at at's row (the last row for an invalid
    // index): new rows copy the working row's point, removed rows re-pin first and last.
    SCPIERR_T setCount(int n, const QModelIndex &at = QModelIndex());
    // Point n (1-based) into *out; -222 when n is not 1..count.
    SCPIERR_T getTablePoint(int n, ARBITRARY_DATA *out) const;
    // 121 index, 122 voltage, 123 current, 124 order or pinned point; changes nothing.
    SCPIERR_T checkTablePoint(int n, const ARBITRARY_DATA &p) const;
    // The check and the change as one step.
    SCPIERR_T setTablePoint(int n, const ARBITRARY_DATA &p);
    SCPIERR_T setTablePointVoltage(int n, double v);
    SCPIERR_T setTablePointCurrent(int n, double i);
    // Replaces the curve: 125/126 for too few/many points, else the first failing point's
    // 124/122/123 and nothing changes. Pins first and last point in points too. Sends nothing.
    SCPIERR_T setTable(QList<ARBITRARY_DATA> &points);
    // Builds and hands the controller table to the writer when the curve changed since the
    // last transfer or timing is not UpdateIfChanged. -310 (nothing sent) when the model's
    // arbitrary point count is below 32.
    SCPIERR_T transmit(updateTiming timing);
    // Back to (0 V, 0 A), (1 V, 0 A), (V_fs, 0 A). Sends nothing.
    SCPIERR_T clear();

    // The transfer points of the present ranges, and the table last built.
    void adjustPointTable(QVector<ARBITRARY_IOC_DATA> *out) const;
    QVector<quint32> iocTable() const;
    // Voltage-step index of v for steps of width step, within 0 .. N-1.
    int searchVoltageIndex(double step, double v) const;

    // QAbstractTableModel: two columns, voltage and current, shown with the High ranges'
    // decimals; the first row and the last row's voltage are not editable.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // An edit of a cell; a refused value leaves the cell and is reported by errorOfEdit.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    bool insertRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;

Q_SIGNALS:
    // After every count change, clear() and setTable(); the table screen follows it.
    void countUiChanged(int count);
    // A panel edit that was refused; the screen shows the error's message.
    void errorOfEdit(int error);

private:
    // Runs fn in the model's thread and returns its result (directly when already there).
    SCPIERR_T inModelThread(const std::function<SCPIERR_T()> &fn);
    SCPIERR_T checkPointLocked(int n, const ARBITRARY_DATA &p) const;
    // A point against the model's voltage and current limits (NaN refused).
    SCPIERR_T checkLimits(const ARBITRARY_DATA &p) const;
    void storePoint(int n, const ARBITRARY_DATA &p);
    void pinEndsLocked();
    void lineBresenham(
        QVector<quint32> *table, ARBITRARY_IOC_DATA from, ARBITRARY_IOC_DATA to) const;
    double fullScaleVoltage() const;

    ioc::IoControl *const m_writer;
    ModelInformation *const m_modelInformation;

    // Guards m_points, m_iocTable and m_modified; written only in the model's thread.
    mutable QMutex m_mutex;
    QVector<quint32> m_iocTable;
    QList<ARBITRARY_DATA> m_points;
    bool m_modified = true;
};

} // namespace vek

Q_DECLARE_METATYPE(vek::ARBITRARY_DATA)
