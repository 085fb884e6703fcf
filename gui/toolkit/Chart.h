#pragma once

#include "engine/AcquireTrigger.h"
#include "engine/ioc/IocProtocol.h"
#include "gui/toolkit/MeasReadouts.h"

#include <QSharedPointer>
#include <QWidget>

class Axis;
class DataLogger;
class DataLoggerRows;
class FuncDisplay;
class OperationStatus;
class QAbstractItemModel;
class Ui_Chart;

// The measurement screen's second display: a compact read-out row over a trend chart (current
// red, voltage green, against elapsed time) or a table of the logged records; the table shows
// first. Both views read the engine's record logger through a copy kept in the GUI thread
// (DataLoggerRows), so the logger may live in the engine's thread. The screen passes each
// monitor record to onMonitorUpdate, which keeps it only for the call. GUI thread only.
class Chart : public QWidget
{
    Q_OBJECT

public:
    // display: the display key page whose "Table" and "Chart" keys the screen routes here (not
    // owned). acquire (may be null) tells which read-outs and columns to show; until it does,
    // all are shown.
    Chart(FuncDisplay *display,
        DataLogger *logger,
        const MeasReadouts::Bounds &bounds,
        vek::AcquireTrigger *acquire,
        QWidget *parent = nullptr);
    ~Chart() override;

    // Read-out font: 8 points when large, 7 otherwise.
    void viewMeasLargeFont(bool large);
    OperationStatus *opertationStatusWidget() const;
    // Shows or hides the current, voltage and time axes together.
    void setChartAxisVisible(bool visible);
    // The records as the chart and the table see them.
    QAbstractItemModel *recordModel() const;
    FuncDisplay *displayPage() const { return m_display; }
    const Ui_Chart *form() const { return ui; }

    bool eventFilter(QObject *watched, QEvent *event) override;

public Q_SLOTS:
    void onMonitorUpdate(const ioc::TRACE_DATA *meas);
    void onTableChange();
    void onChartChange();
    void onDisplayItemsChange(vek::AcquireTrigger::displayItems items);

private:
    void setUpChart();
    void setUpTable();
    void createConnections(vek::AcquireTrigger *acquire);

    Ui_Chart *ui;
    FuncDisplay *m_display;
    DataLoggerRows *m_rows; // child of the page
    const MeasReadouts::Bounds m_bounds;
    QSharedPointer<Axis> m_currAxis;
    QSharedPointer<Axis> m_voltAxis;
    int m_currRange = 0; // the ranges last applied to the read-outs
    int m_voltRange = 0;
};

// The chart page's form.
class Ui_Chart
{
public:
    void setupUi(QWidget *Chart);

    class zoMeasDoubleBox *MeasCurr;
    class QLabel *CurrUnit;
    class zoMeasDoubleBox *MeasVolt;
    class QLabel *VoltUnit;
    class zoMeasDoubleBox *MeasPower;
    class QLabel *WaitUnit;
    OperationStatus *operationState;
    class QHBoxLayout *horizontalLayout_2;
    class zoMeasDoubleBox *MeasCapacity;
    class QLabel *CapacityUnit;
    class zoMeasDoubleBox *MeasEnergy;
    class QLabel *EnergyUnit;
    class QLabel *ETime;
    class QFrame *upLine;
    class QFrame *downLine;
    class QStackedWidget *stackedWidget;
    QWidget *chart;
    class Graph *plot;
    QWidget *table;
    class QTableView *tableView;
};
