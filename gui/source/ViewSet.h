#pragma once

#include "commands/keywords/KeywordsSource.h"

#include <QSharedPointer>
#include <QWidget>

class Axis;
class FuncSourLevelBasic;
class ModelInformation;
class Ui_ViewSet;
class zoDoubleSpinBox;
namespace vek {
class ArbitraryModel;
class Basic;
}

// The level and protection view of the measurement screen: the level of the function mode
// (current, conductance with its resistance, voltage, power, or the I-V plot in ARB), the slew
// rate and the OPP, OCP and UVP levels with their limit/trip actions. Every commit or step of an
// entry goes to the engine at once; the entries show only what the engine reports back. The
// basic level keys move the focus between the entries, their action key toggles the short or a
// protection action. GUI thread only; the engine's signals arrive queued.
class ViewSet : public QWidget
{
    Q_OBJECT

public:
    // The engine root's basic settings, model and arbitrary table.
    explicit ViewSet(FuncSourLevelBasic *keys, QWidget *parent = nullptr);
    // basic, model and arbitrary not owned; any may be null (then the entries send nothing).
    ViewSet(FuncSourLevelBasic *keys, vek::Basic *basic, const ModelInformation *model,
        vek::ArbitraryModel *arbitrary, QWidget *parent = nullptr);
    ~ViewSet() override;

    Ui_ViewSet *form() const { return ui; }

    // Entry limits for the engine's effective current range and for the voltage range.
    void viewCurrRange(KeywordBridge_LowMedHigh::values range);
    void viewVoltRange(KeywordBridge_LowHigh::values range);

public Q_SLOTS:
    void onCcModeUiChange();
    void onCcCvModeUiChange();
    void onCrModeUiChange();
    void onCrCvModeUiChange();
    void onCvModeUiChange();
    void onCpModeUiChange();
    void onArbModeUiChange();
    void onNormalUiChange();
    void onShortUiChange();
    void onPulseUiChange();
    void onSineUiChange();
    void onExternalUiChange();
    void onCvExternalUiChange(bool enable);

    void onCurrentChange(double amps);
    void onCondactanceChange(double siemens);
    void onPowerChange(double watts);
    void onVoltageChange(double volts);
    void onSlewRateChange(double ampsPerUs);
    void onPowerProtectChange(double watts);
    void onCurrentProtectChange(double amps);
    void onVoltageProtectChange(double volts);
    void onPowerProtectStateChange(bool trip);
    void onCurrentProtectStateChange(bool trip);
    void onVoltageProtectStateChange(bool trip);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum Row { CurrentRow, ConductanceRow, PowerRow, PlotRow, ResistanceRow, VoltRow, SlewRow };

    void connectEntries();
    void connectUvp();
    void connectEngine();
    void connectKeys();
    void setRowVisible(Row row, bool visible);
    void showRows(std::initializer_list<Row> rows, zoDoubleSpinBox *focus);
    void showResistance(double siemens);
    // Read-only at the minimum with a special text, or editable with value and no text.
    static void freeze(zoDoubleSpinBox *entry, const QString &text);
    static void thaw(zoDoubleSpinBox *entry, double value, const QString &text = QString());
    void viewPowerProtectAction(bool trip);
    void viewCurrentProtectAction(bool trip);
    void viewVoltageProtectAction(bool trip);
    void onActionClicked();
    bool levelHasFocus() const;

    Ui_ViewSet *ui;
    FuncSourLevelBasic *m_keys;
    vek::Basic *m_basic;
    const ModelInformation *m_model;
    bool m_short = false;
    bool m_oppTrip = false;
    bool m_ocpTrip = false;
    bool m_uvpTrip = false;
    QSharedPointer<Axis> m_plotAxis;
};
