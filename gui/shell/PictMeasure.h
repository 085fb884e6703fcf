#pragma once

#include "engine/Source.h"
#include "engine/Status.h"

#include <QWidget>

#include <array>

class Chart;
class DataLogger;
class FuncAcquire;
class FuncData;
class FuncDisplay;
class FuncProgExecute;
class FuncProgTrigger;
class FuncSourLevel;
class FuncSourMemory;
class FuncSourMode;
class FuncSourMore;
class FuncSourPulse;
class FuncSourRange;
class FuncSourSine;
class Meter;
class ModelInformation;
class NetworkManager;
class QStackedWidget;
class QState;
class QStateMachine;
class Ui_PictMeasure;
class ViewAcquire;
class ViewArbitrary;
class ViewData;
class ViewMore;
class ViewProgram;
class ViewPulseWaveform;
class ViewSet;
class ViewSineWaveform;
class ViewSourceMore;
class ViewTrigger;
class Vek3r;

namespace vek {
class AcquireTrigger;
class ELoad;
class Basic;
class Status;
} // namespace vek

namespace ioc {
class IoControl;
struct TRACE_DATA;
} // namespace ioc

namespace zostd {
class INetworkInfo;
}

// The engine objects the panel's screens follow, handed down by whoever builds the panel (the
// engine root once it exists). None is owned; acquire may be null.
struct PanelEngine
{
    vek::Basic *basic = nullptr; // basic settings, in the engine's thread
    vek::Status *status = nullptr; // status object, in its own thread
    const ModelInformation *model = nullptr;
    DataLogger *logger = nullptr; // the record logger the chart page reads
    vek::AcquireTrigger *acquire = nullptr;
    NetworkManager *network = nullptr; // the LAN manager, in its own thread; may be null
    ioc::IoControl *monitor = nullptr; // the monitor link, in its own thread; may be null
    vek::ELoad *root = nullptr; // the engine root (setups and presets); may be null
};

// The home screen: the status row and indicator icons, the meter or chart page above one
// settings view, and one soft-key page at the right. It holds no instrument state: it follows
// the engine's signals and the main window's calls, and switches pages and views as the menu
// keys ask. GUI thread only; the engine's signals arrive queued.
class PictMeasure : public QWidget
{
    Q_OBJECT

public:
    enum MenuMode { Source = 0, Measure = 1, Program = 2, System = 3 };

    // parent: the main window, whose form holds the menu keys the screen listens to.
    PictMeasure(Vek3r *parent, const PanelEngine &engine);
    ~PictMeasure() override;

    // The main window opens, closes or changes the soft-key bar: menu is the menu asked for,
    // current the one the bar showed.
    void viewSubFuncKey(bool show, MenuMode menu, MenuMode current);
    // The preset page in and out of its key-lock form (panel locked at level 1).
    void setKeyLockMode();
    void clearKeyLockMode();

    Meter *meter() const { return m_meter; }
    Chart *chart() const { return m_chart; }
    const Ui_PictMeasure *form() const { return ui; }
    QStackedWidget *viewStack() const { return m_viewStack; }
    QStackedWidget *keyStack() const { return m_keyStack; }
    QStackedWidget *displayStack() const { return m_displayStack; }
    FuncSourLevel *levelPage() const { return m_funcSourLevel; }
    FuncSourRange *rangePage() const { return m_funcSourRange; }
    FuncSourMemory *memoryPage() const { return m_funcSourMemory; }
    FuncDisplay *displayPage() const { return m_funcDisplay; }
    ViewSet *viewSet() const { return m_viewSet; }
    ViewPulseWaveform *pulseView() const { return m_viewPulse; }
    ViewSineWaveform *sineView() const { return m_viewSine; }

    // Whether the alarm text is shown: the indicators stay hidden meanwhile.
    bool isAlarmMode() const { return m_restore[AlarmMode]; }
    // The function-mode, waveform and load machines (they have no parent widget).
    QList<QStateMachine *> stateMachines() const
    {
        return { m_modeMachine, m_waveformMachine, m_loadMachine };
    }
    // The main window shows a protection alarm: the sentence naming the protections goes into
    // the message box, and the soft keys and indicators are hidden until clearAlarmMode().
    void viewAlarmMode(vek::Status::StatusProtections protections);
    void clearAlarmMode();

Q_SIGNALS:
    void ccModeUiChanged();
    void crModeUiChanged();
    void ccCvModeUiChanged();
    void crCvModeUiChanged();
    void cvModeUiChanged();
    void cpModeUiChanged();
    void arbModeUiChanged();
    void pulseUiChanged();
    void sineUiChanged();
    void shortUiChanged();
    void externalUiChanged();
    void normalUiChanged();
    void loadOnUiChanged();
    void loadOffUiChanged();

public Q_SLOTS:
    void onViewLanChange(const zostd::INetworkInfo *ni, unsigned lctx);
    void onViewScpiErrorChange();
    void onViewRemoteChange(bool show);
    void onViewKeyLockChange(bool show, int level);
    void onViewSensingChange(bool on);
    void onViewMeasureChange(bool on);
    void onStateIdle();
    void onStateActive();
    void onCutoffEnableChange();
    void onCutoffClear();
    void onCutoffETimeOccurred(unsigned cutoff);
    void onCutoffVoltageOccurred(unsigned cutoff);
    void onCutoffCapacityOccurred(unsigned cutoff);
    void onCutoffEnergyOccurred(unsigned cutoff);
    void onOutputExternalUiChange(bool status, bool logicPositive);
    void onCurrRangeChange(vek::SourceCurrentRange range, vek::SourceCurrentRange panelRange);
    void onVoltRangeChange(vek::SourceVoltageRange range);

    // Engine reports turned into the signals that drive the three state machines.
    void onOperationModeChange(vek::SourceMode mode, bool cvOption);
    void onWaveformStateChange(int state); // 1 pulse, 2 sine, else normal
    void onOutputShortChange(bool on);
    void onExternalChange(bool enable);
    void onOutputChange(bool on);
    // The main window shows a protection alarm: the load counts as off.
    void onAlarmUiChange();
    void onCvExternalChange(bool enable);
    // Takes the record: the meter, then the chart read it, then it is freed.
    void onMonitorUpdate(const ioc::TRACE_DATA *meas);
    // The mutual-sync link (status object, direct calls) or a waveform view's sync setting.
    void EnSyncChange(bool Val);
    void onMSyncStateChange(bool on);
    void onMeasInitiate();
    void onMeasTrigger();
    void onMeasAbort();
    void onMeasComplete();
    void onCutoffFactorChange() { }
    void onCcAddExternalUiChange() { }

    // Entry slots of the machines' states.
    void onCcModeUiChange();
    void onCcCvModeUiChange();
    void onCrModeUiChange();
    void onCrCvModeUiChange();
    void onCvModeUiChange();
    void onCpModeUiChange();
    void onArbModeUiChange();
    void onNormalUiChange();
    void onPulseUiChange();
    void onSineUiChange();
    void onShortUiChange();
    void onExternalUiChange();
    void onLoadOnUiChange();
    void onLoadOffUiChange();

private:
    // The restore flags: whether each indicator is to be shown once no alarm hides it.
    enum Restore {
        AlarmMode,
        CutoffEnabled,
        CutoffTime,
        CutoffVolt,
        CutoffCap,
        CutoffEner,
        Measuring,
        ProgramActive,
        Sensing,
        ExtLoad,
        Sine,
        Pulse,
        ErrorCount,
        RestoreCount
    };

    void createWidgets();
    void createLayout();
    void createConnections();
    void showInitialIndicators();
    void createStateMachines();

    // Steps shared by the mode entries: CC and CC+CV, CR and CR+CV, CV and CP.
    void enterCcMode(const QString &text);
    void enterCrMode(const QString &text);
    void enterCvCpMode(const QString &text, const QString &style, bool cp);
    // The current-range tile's colour in CR: by the present range.
    void styleCrRange();
    // Runs the entry slot of the active waveform state.
    void rerunWaveformEntry(bool sineAsNormal);
    // Range keys offered for the present mode.
    bool rangeKeysAvailable() const;
    void setAcquireKeys(bool edit, bool initiate, bool abort, bool msync, bool trigger);
    // The indicators an alarm hides, in the order they come back, with their restore flags.
    std::array<std::pair<Restore, QWidget *>, 12> alarmIndicators() const;

    // Writes the indicator's flag and shows it when on and no alarm is shown; hides it when off.
    void showIndicator(Restore flag, QWidget *indicator, bool on);
    // One row of the navigation table: shows page and view.
    void showPageAndView(QWidget *page, QWidget *view);
    // The view of the level keys: the basic settings, or the arbitrary table.
    QWidget *levelView() const;
    // The soft-key page that belongs to the remembered source view.
    QWidget *rememberedSourcePage() const;
    void onTableClicked(bool checked);
    void onLevelKeyClicked(const char *basicKey);

    Ui_PictMeasure *ui;
    Vek3r *m_mainWindow;
    QStackedWidget *m_displayStack = nullptr;
    Meter *m_meter = nullptr;
    Chart *m_chart = nullptr;
    QStackedWidget *m_viewStack = nullptr;
    ViewSet *m_viewSet = nullptr;
    ViewArbitrary *m_viewArbitrary = nullptr;
    ViewPulseWaveform *m_viewPulse = nullptr;
    ViewSineWaveform *m_viewSine = nullptr;
    ViewSourceMore *m_viewSourceMore = nullptr;
    ViewProgram *m_viewProgram = nullptr;
    ViewMore *m_viewMore = nullptr;
    ViewAcquire *m_viewAcquire = nullptr;
    ViewData *m_viewData = nullptr;
    ViewTrigger *m_viewTrigger = nullptr;
    QWidget *m_sourceView = nullptr; // remembered source view
    MenuMode m_storedMenu = Source; // the last menu other than System
    QStackedWidget *m_keyStack = nullptr;
    FuncSourMode *m_funcSourMode = nullptr;
    FuncSourRange *m_funcSourRange = nullptr;
    FuncSourPulse *m_funcSourPulse = nullptr;
    FuncSourSine *m_funcSourSine = nullptr;
    FuncSourMore *m_funcSourMore = nullptr;
    FuncSourLevel *m_funcSourLevel = nullptr;
    FuncAcquire *m_funcAcquire = nullptr;
    FuncData *m_funcData = nullptr;
    FuncDisplay *m_funcDisplay = nullptr;
    FuncSourMemory *m_funcSourMemory = nullptr;
    FuncProgExecute *m_funcProgExecute = nullptr;
    FuncProgTrigger *m_funcProgTrigger = nullptr;
    const PanelEngine m_engine;
    std::array<bool, RestoreCount> m_restore {};

    // Receives the monitor link's records: the destructor hands over those still queued, so
    // that none is lost unfreed, without running any other queued call on a half-gone window.
    QObject m_recordInbox;

    QStateMachine *m_modeMachine;
    QState *m_ccState;
    QState *m_ccCvState;
    QState *m_crState;
    QState *m_crCvState;
    QState *m_cvState;
    QState *m_cpState;
    QState *m_arbState;
    QStateMachine *m_waveformMachine;
    QState *m_normalState;
    QState *m_pulseState;
    QState *m_sineState;
    QState *m_shortState;
    QState *m_externalState;
    QStateMachine *m_loadMachine;
    QState *m_loadOnState;
    QState *m_loadOffState;
};
