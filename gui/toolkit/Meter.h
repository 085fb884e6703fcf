#pragma once

#include "engine/AcquireTrigger.h"
#include "engine/ioc/IocProtocol.h"
#include "gui/toolkit/MeasReadouts.h"

#include <QWidget>

class OperationStatus;
class Ui_Meter;

// The large read-out of the measurement screen: current and voltage in big digits over level
// bars, and beside them the operation-mode tile, power, capacity, energy and elapsed time. The
// screen passes it every monitor record (which it keeps only for the call); the current and
// voltage formats follow the records' measurement ranges. GUI thread only.
class Meter : public QWidget
{
    Q_OBJECT

public:
    // acquire (may be null) tells which of elapsed time, capacity and energy to show; until it
    // does, they are hidden.
    Meter(const MeasReadouts::Bounds &bounds,
        vek::AcquireTrigger *acquire,
        QWidget *parent = nullptr);
    ~Meter() override;

    // Read-out fonts: current and voltage 28 points (large) or 20, their units 9 or 7.
    void viewMeasLargeFont(bool large);
    OperationStatus *opertationStatusWidget() const;
    // The form, for the screens' tests and pictures.
    const Ui_Meter *form() const { return ui; }

public Q_SLOTS:
    void onMonitorUpdate(const ioc::TRACE_DATA *meas);
    void onDisplayItemsChange(vek::AcquireTrigger::displayItems items);

private:
    void createConnections(vek::AcquireTrigger *acquire);
    void applyCurrentRange(int range);
    void applyVoltageRange(int range);

    Ui_Meter *ui;
    const MeasReadouts::Bounds m_bounds;
    double m_currPrefixFactor = 1.0; // amperes of one prefix unit of the current range shown
    double m_voltPrefixFactor = 1.0;
    double m_currBarScale = 1.0; // bar counts per ampere
    double m_voltBarScale = 1.0; // bar counts per volt
    int m_currRange = 0; // the ranges last applied
    int m_voltRange = 0;
};

// The meter's form.
class Ui_Meter
{
public:
    void setupUi(QWidget *Meter);

    class zoMeasDoubleBox *MeasCurr;
    class QLabel *CurrUnit;
    class QProgressBar *LevelBarCurr;
    class zoMeasDoubleBox *MeasVolt;
    class QLabel *VoltUnit;
    class QProgressBar *LevelBarVolt;
    OperationStatus *operationState;
    class zoMeasDoubleBox *MeasPower;
    class QLabel *WaitUnit;
    QWidget *Capacity;
    class QHBoxLayout *CapacitylLayout_2;
    class zoMeasDoubleBox *MeasCapacity;
    class QLabel *CapacityUnit;
    QWidget *Energy;
    class QHBoxLayout *EnergyLayout_2;
    class zoMeasDoubleBox *MeasEnergy;
    class QLabel *EnergyUnit;
    class QLabel *ETime;
    class QFrame *line;
};
