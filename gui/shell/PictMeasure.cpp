#include "gui/shell/PictMeasure.h"

#include "engine/AcquireTrigger.h"
#include "engine/Basic.h"
#include "engine/ELoad.h"
#include "engine/Status.h"
#include "engine/ioc/IoControl.h"
#include "gui/program/PictProgramEdit.h"
#include "gui/program/ViewProgram.h"
#include "gui/shell/AlarmText.h"
#include "gui/shell/MeasureKeyPages.h"
#include "gui/shell/Ui_PictMeasure.h"
#include "gui/shell/Ui_Vek3r.h"
#include "gui/shell/Vek3r.h"
#include "gui/shell/ViewAcquire.h"
#include "gui/shell/ViewData.h"
#include "gui/shell/ViewMore.h"
#include "gui/shell/ViewTrigger.h"
#include "gui/source/FuncSourLevel.h"
#include "gui/source/FuncSourLevelBasic.h"
#include "gui/source/FuncSourMemory.h"
#include "gui/source/FuncSourMode.h"
#include "gui/source/FuncSourRange.h"
#include "gui/source/ViewArbitrary.h"
#include "gui/source/ViewPulseWaveform.h"
#include "gui/source/ViewSet.h"
#include "gui/source/ViewSineWaveform.h"
#include "gui/source/ViewSourceMore.h"
#include "gui/toolkit/Chart.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/Meter.h"
#include "gui/toolkit/OperationStatus.h"
#include "gui/toolkit/StatusTiles.h"
#include "instrument/ModelInformation.h"
#include "network/NetworkManager.h"
#include "remote/INetworkInfo.h"
#include "remote/ZOSystErrCue.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QStackedWidget>
#include <QState>
#include <QStateMachine>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

// The tile text of a range: its full scale in the range's prefixed unit ("240A", "600mA"). A
// range the model lacks shows the entry of the smallest range.
QString rangeText(const QMap<int, BoundValueBase> &ranges, int range, const QString &unit)
{
    return ModelInformation::rangeText(ModelInformation::rangeValue(ranges, range), unit);
}

// Mutual-sync availability, shared by every use of EnSyncChange for the life of the program:
// the link is up, the sine view runs in sync, the pulse view runs in sync.
bool s_linkOn = true;
bool s_sineSync = false;
bool s_pulseSync = false;

} // namespace

PictMeasure::PictMeasure(Vek3r *parent, const PanelEngine &engine)
    : QWidget(parent)
    , ui(new Ui_PictMeasure)
    , m_mainWindow(parent)
    , m_engine(engine)
{
    ui->setupUi(this);
    createWidgets();
    m_sourceView = m_viewSet;
    createLayout();
    createStateMachines();
    createConnections();

    if (m_engine.model) {
        m_funcSourLevel->setViewShortEnable(m_engine.model->iocShort());
        m_funcSourLevel->setViewArbSlewRateEnable(m_engine.model->arbResponse().isEmpty());
    }
    Q_EMIT normalUiChanged();
    showInitialIndicators();
    m_restore.fill(false);

    // A started machine enters its initial state once events are next processed: the first
    // entry slots (CC, normal, load on) run after construction, and signals emitted before
    // that, the normalUiChanged above among them, move nothing.
    m_modeMachine->start();
    m_waveformMachine->start();
    m_loadMachine->start();
}

PictMeasure::~PictMeasure()
{
    // The monitor records queued for this screen are its own: no more are sent, and those on
    // their way are taken, and freed, before the screen goes.
    if (m_engine.monitor)
        disconnect(m_engine.monitor, nullptr, &m_recordInbox, nullptr);
    QCoreApplication::sendPostedEvents(&m_recordInbox, QEvent::MetaCall);
    // The machines have no parent: stop them before the states' slots lose their widgets.
    delete m_loadMachine;
    delete m_waveformMachine;
    delete m_modeMachine;
    delete ui;
}

void PictMeasure::createStateMachines()
{
    m_modeMachine = new QStateMachine;
    m_ccState = new QState(m_modeMachine);
    m_ccCvState = new QState(m_modeMachine);
    m_crState = new QState(m_modeMachine);
    m_crCvState = new QState(m_modeMachine);
    m_cvState = new QState(m_modeMachine);
    m_cpState = new QState(m_modeMachine);
    m_arbState = new QState(m_modeMachine);
    m_waveformMachine = new QStateMachine;
    m_normalState = new QState(m_waveformMachine);
    m_pulseState = new QState(m_waveformMachine);
    m_sineState = new QState(m_waveformMachine);
    m_shortState = new QState(m_waveformMachine);
    m_externalState = new QState(m_waveformMachine);
    m_loadMachine = new QStateMachine;
    m_loadOnState = new QState(m_loadMachine);
    m_loadOffState = new QState(m_loadMachine);

    using Entry = void (PictMeasure::*)();
    const std::pair<QState *, Entry> entries[] = {
        { m_ccState, &PictMeasure::onCcModeUiChange },
        { m_ccCvState, &PictMeasure::onCcCvModeUiChange },
        { m_crState, &PictMeasure::onCrModeUiChange },
        { m_crCvState, &PictMeasure::onCrCvModeUiChange },
        { m_cvState, &PictMeasure::onCvModeUiChange },
        { m_cpState, &PictMeasure::onCpModeUiChange },
        { m_arbState, &PictMeasure::onArbModeUiChange },
        { m_normalState, &PictMeasure::onNormalUiChange },
        { m_pulseState, &PictMeasure::onPulseUiChange },
        { m_sineState, &PictMeasure::onSineUiChange },
        { m_shortState, &PictMeasure::onShortUiChange },
        { m_externalState, &PictMeasure::onExternalUiChange },
        { m_loadOnState, &PictMeasure::onLoadOnUiChange },
        { m_loadOffState, &PictMeasure::onLoadOffUiChange },
    };
    for (const auto &entry : entries)
        connect(entry.first, &QAbstractState::entered, this, entry.second);

    // Every mode reaches every other in one report, so the tile always shows the engine's mode.
    using Signal = void (PictMeasure::*)();
    const std::pair<QState *, Signal> modes[] = {
        { m_ccState, &PictMeasure::ccModeUiChanged },
        { m_ccCvState, &PictMeasure::ccCvModeUiChanged },
        { m_crState, &PictMeasure::crModeUiChanged },
        { m_crCvState, &PictMeasure::crCvModeUiChanged },
        { m_cvState, &PictMeasure::cvModeUiChanged },
        { m_cpState, &PictMeasure::cpModeUiChanged },
        { m_arbState, &PictMeasure::arbModeUiChanged },
    };
    for (const auto &from : modes)
        for (const auto &to : modes)
            if (from.first != to.first)
                from.first->addTransition(this, to.second, to.first);

    m_normalState->addTransition(this, &PictMeasure::pulseUiChanged, m_pulseState);
    m_normalState->addTransition(this, &PictMeasure::sineUiChanged, m_sineState);
    m_normalState->addTransition(this, &PictMeasure::shortUiChanged, m_shortState);
    m_normalState->addTransition(this, &PictMeasure::externalUiChanged, m_externalState);
    m_pulseState->addTransition(this, &PictMeasure::normalUiChanged, m_normalState);
    m_pulseState->addTransition(this, &PictMeasure::sineUiChanged, m_sineState);
    m_sineState->addTransition(this, &PictMeasure::normalUiChanged, m_normalState);
    m_sineState->addTransition(this, &PictMeasure::pulseUiChanged, m_pulseState);
    m_shortState->addTransition(this, &PictMeasure::normalUiChanged, m_normalState);
    m_externalState->addTransition(this, &PictMeasure::normalUiChanged, m_normalState);

    m_loadOnState->addTransition(this, &PictMeasure::loadOffUiChanged, m_loadOffState);
    m_loadOffState->addTransition(this, &PictMeasure::loadOnUiChanged, m_loadOnState);

    m_modeMachine->setInitialState(m_ccState);
    m_waveformMachine->setInitialState(m_normalState);
    m_loadMachine->setInitialState(m_loadOnState);
}

void PictMeasure::createWidgets()
{
    m_funcSourMode = new FuncSourMode(m_engine.basic, this);
    m_funcSourRange = new FuncSourRange(m_engine.basic, m_engine.model, this);
    m_funcSourPulse = new FuncSourPulse(this);
    m_funcSourSine = new FuncSourSine(this);
    m_funcSourMemory = new FuncSourMemory(this);
    m_funcSourLevel = new FuncSourLevel(this);
    m_viewSet = new ViewSet(m_funcSourLevel->basicPage(),
        m_engine.basic,
        m_engine.model,
        m_engine.root ? m_engine.root->arbitrary() : nullptr,
        this);
    m_viewArbitrary = new ViewArbitrary(m_funcSourLevel->arbitraryPage(), this);
    m_viewPulse = new ViewPulseWaveform(m_funcSourPulse, this);
    m_viewSine = new ViewSineWaveform(m_funcSourSine, this);
    m_funcSourMore = new FuncSourMore(this);
    m_funcAcquire = new FuncAcquire(this);
    m_funcData = new FuncData(this);
    m_funcDisplay = new FuncDisplay(this);
    m_viewSourceMore = new ViewSourceMore(m_funcSourMore, this);
    m_viewAcquire = new ViewAcquire(m_funcAcquire, this);
    m_viewData = new ViewData(m_funcData, this);
    m_viewMore = new ViewMore(m_funcDisplay, this);
    m_funcProgExecute = new FuncProgExecute(this);
    m_funcProgTrigger = new FuncProgTrigger(this);
    m_viewProgram = new ViewProgram(m_funcProgExecute, this);
    m_viewTrigger = new ViewTrigger(m_funcProgTrigger, this);
    const MeasReadouts::Bounds bounds =
        m_engine.model ? MeasReadouts::fromModel(*m_engine.model) : MeasReadouts::Bounds();
    m_meter = new Meter(bounds, m_engine.acquire, this);
    m_chart = new Chart(m_funcDisplay, m_engine.logger, bounds, m_engine.acquire, this);
}

void PictMeasure::createLayout()
{
    m_displayStack = new QStackedWidget(this);
    m_displayStack->addWidget(m_meter);
    m_displayStack->addWidget(m_chart);
    m_displayStack->setCurrentWidget(m_meter);
    ui->SetLayout->addWidget(m_displayStack);

    m_viewStack = new QStackedWidget(this);
    for (QWidget *view : std::initializer_list<QWidget *> { m_viewSet,
             m_viewArbitrary,
             m_viewPulse,
             m_viewSine,
             m_viewSourceMore,
             m_viewProgram,
             m_viewMore,
             m_viewAcquire,
             m_viewData,
             m_viewTrigger })
        m_viewStack->addWidget(view);
    m_viewStack->setCurrentIndex(0);
    ui->SetLayout->addWidget(m_viewStack);

    m_keyStack = new QStackedWidget(this);
    for (QWidget *page : std::initializer_list<QWidget *> { m_funcSourMode,
             m_funcSourRange,
             m_funcSourPulse,
             m_funcSourSine,
             m_funcSourMore,
             m_funcSourLevel,
             m_funcAcquire,
             m_funcData,
             m_funcDisplay,
             m_funcSourMemory,
             m_funcProgExecute,
             m_funcProgTrigger })
        m_keyStack->addWidget(page);
    ui->horizontalLayout->addWidget(m_keyStack);
    m_keyStack->setCurrentWidget(m_funcSourLevel);
}

void PictMeasure::createConnections()
{
    qRegisterMetaType<KeywordBridge_LowMedHigh::values>("SourceCurrentRange");
    qRegisterMetaType<KeywordBridge_LowHigh::values>("SourceVoltageRange");
    qRegisterMetaType<KeywordBridge_CcCrCvCpArb::values>("SourceMode");
    qRegisterMetaType<vek::AcquireTrigger::displayItems>("displayItems");
    qRegisterMetaType<vek::Status::StatusOperation>("StatusOperation");
    qRegisterMetaType<const ioc::TRACE_DATA *>();

    if (vek::Status *status = m_engine.status) {
        connect(status, &vek::Status::linkChanged, this, &PictMeasure::EnSyncChange);
        for (OperationStatus *tile :
            { m_meter->opertationStatusWidget(), m_chart->opertationStatusWidget() })
            connect(status,
                &vek::Status::operationStatusChanged,
                tile,
                &OperationStatus::onOperationStatusChange);
        connect(status, &vek::Status::stateProgIdle, this, &PictMeasure::onStateIdle);
        connect(status, &vek::Status::stateProgRunning, this, &PictMeasure::onStateActive);
        connect(status, &vek::Status::stateProgPause, this, &PictMeasure::onStateActive);
        connect(status, &vek::Status::stateProgWaiting, this, &PictMeasure::onStateActive);
        connect(
            status, &vek::Status::cutoffETimeOccurred, this, &PictMeasure::onCutoffETimeOccurred);
        connect(status,
            &vek::Status::cutoffVoltageOccurred,
            this,
            &PictMeasure::onCutoffVoltageOccurred);
        connect(status,
            &vek::Status::cutoffCapacityOccurred,
            this,
            &PictMeasure::onCutoffCapacityOccurred);
        connect(
            status, &vek::Status::cutoffEnergyOccurred, this, &PictMeasure::onCutoffEnergyOccurred);
    }
    // Through the inbox, whose queued calls carry nothing but records (see the destructor).
    if (m_engine.monitor)
        connect(m_engine.monitor,
            &ioc::IoControl::monitorUpdated,
            &m_recordInbox,
            [this](const ioc::TRACE_DATA *meas) {
                onMonitorUpdate(meas);
            });
    if (vek::Basic *basic = m_engine.basic) {
        connect(basic, &vek::Source::outputUiChanged, this, &PictMeasure::onOutputChange);
        connect(
            basic, &vek::Source::operationModeChanged, this, &PictMeasure::onOperationModeChange);
        connect(basic, &vek::Source::currRangeChanged, this, &PictMeasure::onCurrRangeChange);
        connect(basic, &vek::Source::voltRangeChanged, this, &PictMeasure::onVoltRangeChange);
        connect(basic, &vek::Source::remoteSensingChanged, this, &PictMeasure::onViewSensingChange);
        connect(
            basic, &vek::Basic::waveformStateUiChanged, this, &PictMeasure::onWaveformStateChange);
        connect(basic, &vek::Basic::outputShortUiChanged, this, &PictMeasure::onOutputShortChange);
        connect(basic, &vek::Source::externalChanged, this, &PictMeasure::onExternalChange);
        connect(
            basic, &vek::Source::voltageExternalChanged, this, &PictMeasure::onCvExternalChange);
        connect(basic, &vek::Basic::msyncStateUiChanged, this, &PictMeasure::onMSyncStateChange);
        for (auto signal : { &vek::Basic::cutOffETimeStateUiChanged,
                 &vek::Basic::cutOffVoltageStateUiChanged,
                 &vek::Basic::cutOffCapacityStateUiChanged,
                 &vek::Basic::cutOffEnergyStateUiChanged })
            connect(basic, signal, this, &PictMeasure::onCutoffEnableChange);
        connect(basic, &vek::Basic::cutoffUiCleared, this, &PictMeasure::onCutoffClear);
        connect(basic,
            &vek::Basic::outputExternalUiChanged,
            this,
            &PictMeasure::onOutputExternalUiChange);
    }

    if (vek::AcquireTrigger *acquire = m_engine.acquire) {
        connect(acquire, &vek::AcquireTrigger::measInitiated, this, &PictMeasure::onMeasInitiate);
        connect(acquire, &vek::AcquireTrigger::measImmediated, this, &PictMeasure::onMeasTrigger);
        connect(acquire, &vek::AcquireTrigger::measTriggered, this, &PictMeasure::onMeasTrigger);
        connect(acquire, &vek::AcquireTrigger::measUiAborted, this, &PictMeasure::onMeasAbort);
        connect(acquire, &vek::AcquireTrigger::measUiComplete, this, &PictMeasure::onMeasComplete);
    }
    connect(m_viewSine, &ViewSineWaveform::SyncChanged, this, &PictMeasure::EnSyncChange);
    connect(m_viewPulse, &ViewPulseWaveform::SyncChanged, this, &PictMeasure::EnSyncChange);

    if (m_engine.network)
        connect(m_engine.network,
            &NetworkManager::networkInfoUpdated,
            this,
            &PictMeasure::onViewLanChange);

    connect(m_funcSourLevel, &FuncSourLevel::tableClicked, this, &PictMeasure::onTableClicked);
    connect(m_funcSourLevel, &FuncSourLevel::slewRateClicked, this, [this] {
        onLevelKeyClicked("slewRate");
    });
    connect(m_funcSourLevel, &FuncSourLevel::oppClicked, this, [this] {
        onLevelKeyClicked("opp");
    });
    connect(m_funcSourLevel, &FuncSourLevel::uvpClicked, this, [this] {
        onLevelKeyClicked("uvp");
    });
    connect(m_funcDisplay->m_tableButton, &FuncButton::clicked, m_chart, &Chart::onTableChange);
    connect(m_funcDisplay->m_chartButton, &FuncButton::clicked, m_chart, &Chart::onChartChange);

    // The navigation table: the menu key, the soft-key page and view it shows, and whether the
    // view becomes the remembered source view.
    const Ui_Vek3r *bar = m_mainWindow->form();
    enum Remember { Keep, Remembered, BecomesView };
    const struct
    {
        FuncButton *key;
        QWidget *page;
        QWidget *view; // null: the level view
        Remember remember;
    } navigation[] = {
        { bar->SourceMode, m_funcSourMode, m_viewSet, BecomesView },
        { bar->SourceRange, m_funcSourRange, nullptr, Remembered },
        { bar->SourceMore, m_funcSourMore, m_viewSourceMore, Keep },
        { bar->SourcePulse, m_funcSourPulse, m_viewPulse, BecomesView },
        { bar->SourceSine, m_funcSourSine, m_viewSine, BecomesView },
        { bar->SourceLevel, m_funcSourLevel, nullptr, BecomesView },
        { bar->SourceABC, m_funcSourMemory, nullptr, BecomesView },
        { bar->subsystAcquire, m_funcAcquire, m_viewAcquire, Keep },
        { bar->subsystData, m_funcData, m_viewData, Keep },
        { bar->subsystDisplay, m_funcDisplay, m_viewMore, Keep },
        { bar->progExecute, m_funcProgExecute, m_viewProgram, Keep },
        { bar->ProgTriger, m_funcProgTrigger, m_viewTrigger, Keep },
    };
    for (const auto &row : navigation) {
        QWidget *page = row.page;
        QWidget *view = row.view;
        const Remember remember = row.remember;
        // No receiver context: a key's click runs its row directly, in the GUI thread.
        connect(row.key, &FuncButton::clicked, [this, page, view, remember] {
            switch (remember) {
            case Keep:
                showPageAndView(page, view);
                break;
            case Remembered:
                showPageAndView(page, m_sourceView);
                break;
            case BecomesView:
                // The level keys' view is the basic settings view as far as memory goes.
                m_sourceView = view ? view : m_viewSet;
                showPageAndView(page, view ? view : levelView());
                break;
            }
        });
    }
}

void PictMeasure::showInitialIndicators()
{
    onViewScpiErrorChange();
    onViewRemoteChange(false);
    ui->infoKeyLock->hide();
    onViewSensingChange(false);
    onViewMeasureChange(false);
    ui->infoProg->hide();
    // The chart page starts on its table.
    Q_EMIT m_funcDisplay->m_tableButton->clicked(false);
    for (QLabel *icon : { ui->cutoffEnable,
             ui->cutoffTime,
             ui->cutoffVolt,
             ui->cutoffCap,
             ui->cutoffEner,
             ui->infoExtLoad })
        icon->hide();
}

void PictMeasure::showIndicator(Restore flag, QWidget *indicator, bool on)
{
    m_restore[flag] = on;
    indicator->setVisible(on && !m_restore[AlarmMode]);
}

void PictMeasure::showPageAndView(QWidget *page, QWidget *view)
{
    m_keyStack->setCurrentWidget(page);
    m_viewStack->setCurrentWidget(view);
}

QWidget *PictMeasure::levelView() const
{
    if (m_funcSourLevel->isBasicPage())
        return m_viewSet;
    return m_viewArbitrary;
}

QWidget *PictMeasure::rememberedSourcePage() const
{
    if (m_sourceView == m_viewPulse)
        return m_funcSourPulse;
    if (m_sourceView == m_viewSine)
        return m_funcSourSine;
    return m_funcSourLevel;
}

void PictMeasure::onTableClicked(bool checked)
{
    if (!checked || vek::Source::m_functionMode != KeywordBridge_CcCrCvCpArb::ARB)
        return;
    m_funcSourLevel->selectArbitraryPage();
    m_viewStack->setCurrentWidget(m_viewArbitrary);
}

void PictMeasure::onLevelKeyClicked(const char *basicKey)
{
    m_funcSourLevel->selectBasicPage();
    if (auto *key = m_funcSourLevel->basicPage()->findChild<FuncButton *>(QLatin1String(basicKey)))
        key->click();
    m_viewStack->setCurrentWidget(m_viewSet);
}

void PictMeasure::viewSubFuncKey(bool show, MenuMode menu, MenuMode current)
{
    m_keyStack->setVisible(true);
    m_keyStack->setMaximumWidth(show ? 64 : 5);
    m_viewStack->setMaximumHeight(show ? 70 : 85);

    switch (menu) {
    case Source:
    case Program:
        m_displayStack->setCurrentWidget(m_meter);
        m_meter->setMinimumHeight(0);
        m_viewStack->setVisible(true);
        break;
    case Measure:
        m_displayStack->setCurrentWidget(m_chart);
        m_chart->setMinimumHeight(show ? 0 : 200);
        m_viewStack->setVisible(show);
        break;
    case System:
        break;
    }

    if (!show) {
        if (current == System)
            current = m_storedMenu;
        if (current == Source) {
            showPageAndView(rememberedSourcePage(), m_sourceView);
            m_storedMenu = Source;
            return;
        }
        if (current == Program) {
            showPageAndView(m_funcProgExecute, m_viewProgram);
            m_storedMenu = Program;
            return;
        }
    }
    if (current != System)
        m_storedMenu = current;
}

void PictMeasure::setKeyLockMode()
{
    m_keyStack->setCurrentWidget(m_funcSourMemory);
    m_funcSourMemory->setKeyLockMode();
}

void PictMeasure::clearKeyLockMode()
{
    m_funcSourMemory->clearKeyLockMode();
}

void PictMeasure::onViewLanChange(const zostd::INetworkInfo *ni, unsigned)
{
    const int indicator = ni ? ni->getLanIndicator() : 0;
    ui->infoLan->setStyleSheet(indicator == -1 ? styleLanFault
            : indicator == 1                   ? styleLan
                                               : styleLanStndby);
}

void PictMeasure::onViewScpiErrorChange()
{
    // count() reads the queue under its own lock: errors are queued and read in other threads.
    const int n = zo4882::s_systErrCue.count();
    ui->infoError->setText(QString::number(n));
    showIndicator(ErrorCount, ui->infoError, n > 0);
}

void PictMeasure::onViewRemoteChange(bool show)
{
    ui->infoRemote->setVisible(show);
    if (show)
        ui->infoKeyLock->hide();
}

void PictMeasure::onViewKeyLockChange(bool show, int level)
{
    if (show && level >= 1 && level <= 3) {
        ui->infoKeyLock->setPixmap(
            QPixmap(QStringLiteral(":/status/image/keyLock%1.png").arg(level)));
        ui->infoKeyLock->show();
    } else {
        ui->infoKeyLock->hide();
    }
}

void PictMeasure::onViewSensingChange(bool on)
{
    showIndicator(Sensing, ui->infoSensing, on);
}

void PictMeasure::onViewMeasureChange(bool on)
{
    showIndicator(Measuring, ui->infoMeas, on);
}

void PictMeasure::onStateIdle()
{
    ui->infoProg->hide();
    m_mainWindow->setUiInitateProgram(false);
    m_restore[ProgramActive] = false;
}

void PictMeasure::onStateActive()
{
    m_mainWindow->setUiInitateProgram(true);
    showIndicator(ProgramActive, ui->infoProg, true);
}

void PictMeasure::onCutoffEnableChange()
{
    const vek::Basic *basic = m_engine.basic;
    const bool enabled = basic
        && (basic->getOutputCutOffElapsedTimeState() || basic->getOutputCutOffVoltageState()
            || basic->getOutputCutOffCapacityState() || basic->getOutputCutOffEnergyState());
    showIndicator(CutoffEnabled, ui->cutoffEnable, enabled);
}

void PictMeasure::onCutoffClear()
{
    showIndicator(CutoffTime, ui->cutoffTime, false);
    showIndicator(CutoffVolt, ui->cutoffVolt, false);
    showIndicator(CutoffCap, ui->cutoffCap, false);
    showIndicator(CutoffEner, ui->cutoffEner, false);
}

void PictMeasure::onCutoffETimeOccurred(unsigned cutoff)
{
    showIndicator(CutoffTime, ui->cutoffTime, cutoff != 0);
}

void PictMeasure::onCutoffVoltageOccurred(unsigned cutoff)
{
    showIndicator(CutoffVolt, ui->cutoffVolt, cutoff != 0);
}

void PictMeasure::onCutoffCapacityOccurred(unsigned cutoff)
{
    showIndicator(CutoffCap, ui->cutoffCap, cutoff != 0);
}

void PictMeasure::onCutoffEnergyOccurred(unsigned cutoff)
{
    showIndicator(CutoffEner, ui->cutoffEner, cutoff != 0);
}

void PictMeasure::onOutputExternalUiChange(bool status, bool logicPositive)
{
    const char *image = !status
        ? (logicPositive ? ":/status/image/extLoad.png" : ":/status/image/extLoadNeg.png")
        : ":/status/image/extLoadNegOn.png";
    ui->infoExtLoad->setPixmap(QPixmap(QLatin1String(image)));
    showIndicator(ExtLoad, ui->infoExtLoad, !(status && logicPositive));
}

void PictMeasure::onCurrRangeChange(
    vek::SourceCurrentRange range, vek::SourceCurrentRange panelRange)
{
    m_viewSet->viewCurrRange(range);
    m_viewPulse->viewCurrRange(range);
    m_viewSine->viewCurrRange(range);
    m_funcSourRange->viewCurrRange(panelRange);
    if (PictProgramEdit *editor = m_mainWindow->pictProgramEdit()) {
        editor->viewCurrRange();
        editor->viewLaststepRange();
    }

    QString text =
        rangeText(m_engine.model ? m_engine.model->currRangeMap() : QMap<int, BoundValueBase>(),
            range,
            tr("A"));
    if (range != panelRange)
        text += QLatin1Char('*');
    ui->infoCRange->setText(text);
    if (vek::Source::m_functionMode != KeywordBridge_CcCrCvCpArb::CR) {
        ui->infoCRange->setStyleSheet(CC_HStatus);
        return;
    }
    switch (range) {
    case KeywordBridge_LowMedHigh::LOW:
        ui->infoCRange->setStyleSheet(CC_LStatus);
        break;
    case KeywordBridge_LowMedHigh::MED:
        ui->infoCRange->setStyleSheet(CC_MStatus);
        break;
    case KeywordBridge_LowMedHigh::HIGH:
        ui->infoCRange->setStyleSheet(CC_HStatus);
        break;
    }
}

void PictMeasure::onVoltRangeChange(vek::SourceVoltageRange range)
{
    m_viewSet->viewVoltRange(range);
    m_funcSourRange->viewVoltRange(range);
    if (PictProgramEdit *editor = m_mainWindow->pictProgramEdit())
        editor->viewVoltRange(range);

    ui->infoVRange->setText(
        rangeText(m_engine.model ? m_engine.model->voltRangeMap() : QMap<int, BoundValueBase>(),
            range,
            tr("V")));
    switch (range) {
    case KeywordBridge_LowHigh::LOW:
        ui->infoVRange->setStyleSheet(CV_LStatus);
        break;
    case KeywordBridge_LowHigh::HIGH:
        ui->infoVRange->setStyleSheet(CV_HStatus);
        break;
    }
}

void PictMeasure::onOperationModeChange(vek::SourceMode mode, bool cvOption)
{
    switch (mode) {
    case KeywordBridge_CcCrCvCpArb::CC:
        cvOption ? Q_EMIT ccCvModeUiChanged() : Q_EMIT ccModeUiChanged();
        break;
    case KeywordBridge_CcCrCvCpArb::CR:
        cvOption ? Q_EMIT crCvModeUiChanged() : Q_EMIT crModeUiChanged();
        break;
    case KeywordBridge_CcCrCvCpArb::CV:
        Q_EMIT cvModeUiChanged();
        break;
    case KeywordBridge_CcCrCvCpArb::CP:
        Q_EMIT cpModeUiChanged();
        break;
    case KeywordBridge_CcCrCvCpArb::ARB:
        Q_EMIT arbModeUiChanged();
        break;
    default:
        break;
    }
}

void PictMeasure::onWaveformStateChange(int state)
{
    if (state == 2)
        Q_EMIT sineUiChanged();
    else if (state == 1)
        Q_EMIT pulseUiChanged();
    else
        Q_EMIT normalUiChanged();
}

void PictMeasure::onOutputShortChange(bool on)
{
    on ? Q_EMIT shortUiChanged() : Q_EMIT normalUiChanged();
}

void PictMeasure::onExternalChange(bool enable)
{
    enable ? Q_EMIT externalUiChanged() : Q_EMIT normalUiChanged();
}

void PictMeasure::onOutputChange(bool on)
{
    on ? Q_EMIT loadOnUiChanged() : Q_EMIT loadOffUiChanged();
}

void PictMeasure::onAlarmUiChange()
{
    Q_EMIT loadOffUiChanged();
}

void PictMeasure::onCvExternalChange(bool enable)
{
    m_viewSet->onCvExternalUiChange(enable);
}

void PictMeasure::onMonitorUpdate(const ioc::TRACE_DATA *meas)
{
    m_meter->onMonitorUpdate(meas);
    m_chart->onMonitorUpdate(meas);
    delete meas;
}

bool PictMeasure::rangeKeysAvailable() const
{
    return m_funcSourRange->m_currRangeEnable || m_funcSourRange->m_voltRangeEnable;
}

void PictMeasure::styleCrRange()
{
    switch (vek::Source::getCurrentRange()) {
    case KeywordBridge_LowMedHigh::LOW:
        ui->infoCRange->setStyleSheet(CC_LStatus);
        break;
    case KeywordBridge_LowMedHigh::MED:
        ui->infoCRange->setStyleSheet(CC_MStatus);
        break;
    case KeywordBridge_LowMedHigh::HIGH:
        ui->infoCRange->setStyleSheet(CC_HStatus);
        break;
    }
}

void PictMeasure::rerunWaveformEntry(bool sineAsNormal)
{
    if (m_pulseState->active())
        onPulseUiChange();
    else if (m_sineState->active() && !sineAsNormal)
        onSineUiChange();
    else if (m_shortState->active())
        onShortUiChange();
    else if (m_externalState->active())
        onExternalUiChange();
    else
        onNormalUiChange();
}

void PictMeasure::enterCcMode(const QString &text)
{
    ui->InfoMode->setText(text);
    ui->InfoMode->setStyleSheet(CC_HStatus);
    ui->infoCRange->setStyleSheet(CC_HStatus);
    m_viewStack->setCurrentWidget(m_sourceView);
    m_viewSet->onCcModeUiChange();
    m_viewProgram->onCcModeUiChange();
    m_viewPulse->onCcModeUiChange();
    if (PictProgramEdit *editor = m_mainWindow->pictProgramEdit())
        editor->onCcModeUiChange();
    m_funcSourMode->onCcModeUiChange();
    m_funcSourLevel->basicPage()->onCcModeUiChange();
    m_funcSourLevel->selectBasicPage();
    m_funcSourRange->viewFuncMode(KeywordBridge_CcCrCvCpArb::CC);
    rerunWaveformEntry(false);
    m_mainWindow->setRangeUiEnable(rangeKeysAvailable());
    m_mainWindow->setSineWaveformUiEnable(true);
}

void PictMeasure::enterCrMode(const QString &text)
{
    ui->InfoMode->setText(text);
    ui->InfoMode->setStyleSheet(CR_Status);
    styleCrRange();
    // CR has no sine: its place is taken by the pulse view.
    if (m_sourceView == m_viewSine)
        m_sourceView = m_viewPulse;
    m_viewStack->setCurrentWidget(m_sourceView);
    m_viewSet->onCrModeUiChange();
    m_viewProgram->onNotCcModeUiChange();
    m_viewPulse->onCrModeUiChange();
    if (PictProgramEdit *editor = m_mainWindow->pictProgramEdit())
        editor->onCrModeUiChange();
    m_funcSourMode->onCrModeUiChange();
    m_funcSourLevel->basicPage()->onCrModeUiChange();
    m_funcSourLevel->selectBasicPage();
    m_funcSourRange->viewFuncMode(KeywordBridge_CcCrCvCpArb::CR);
    rerunWaveformEntry(true);
    m_mainWindow->setRangeUiEnable(rangeKeysAvailable());
    m_mainWindow->setSineWaveformUiEnable(false);
}

void PictMeasure::enterCvCpMode(const QString &text, const QString &style, bool cp)
{
    ui->InfoMode->setText(text);
    ui->InfoMode->setStyleSheet(style);
    ui->infoCRange->setStyleSheet(CC_HStatus);
    showIndicator(Pulse, ui->infoPulse, false);
    showIndicator(Sine, ui->infoSine, false);
    m_sourceView = m_viewSet;
    m_viewStack->setCurrentWidget(m_viewSet);
    PictProgramEdit *editor = m_mainWindow->pictProgramEdit();
    if (cp) {
        m_viewSet->onCpModeUiChange();
        m_viewProgram->onNotCcModeUiChange();
        if (editor)
            editor->onCpModeUiChange();
        m_funcSourMode->onCpModeUiChange();
        m_funcSourLevel->basicPage()->onCpModeUiChange();
    } else {
        m_viewSet->onCvModeUiChange();
        m_viewProgram->onNotCcModeUiChange();
        if (editor)
            editor->onCvModeUiChange();
        m_funcSourMode->onCvModeUiChange();
        m_funcSourLevel->basicPage()->onCvModeUiChange();
    }
    m_funcSourLevel->selectBasicPage();
    m_funcSourRange->viewFuncMode(KeywordBridge_CcCrCvCpArb::CC);
    if (!cp)
        m_viewSet->onCvExternalUiChange(vek::Source::m_voltExternal);
    else if (m_externalState->active())
        onExternalUiChange();
    else
        onNormalUiChange();
    m_mainWindow->setWaveformUiEnable(false);
    m_mainWindow->setRangeUiEnable(rangeKeysAvailable());
}

void PictMeasure::onCcModeUiChange()
{
    enterCcMode(tr("CC"));
}

void PictMeasure::onCcCvModeUiChange()
{
    enterCcMode(tr("CC+CV"));
}

void PictMeasure::onCrModeUiChange()
{
    enterCrMode(tr("CR"));
}

void PictMeasure::onCrCvModeUiChange()
{
    enterCrMode(tr("CR+CV"));
}

void PictMeasure::onCvModeUiChange()
{
    enterCvCpMode(tr("CV"), CV_HStatus, false);
}

void PictMeasure::onCpModeUiChange()
{
    enterCvCpMode(tr("CP"), CP_Status, true);
}

void PictMeasure::onArbModeUiChange()
{
    ui->InfoMode->setText(tr("ARB"));
    ui->InfoMode->setStyleSheet(ARB_Status);
    ui->infoCRange->setStyleSheet(CC_HStatus);
    showIndicator(Pulse, ui->infoPulse, false);
    showIndicator(Sine, ui->infoSine, false);
    m_sourceView = m_viewSet;
    m_viewStack->setCurrentWidget(m_viewSet);
    m_viewSet->onArbModeUiChange();
    m_funcSourMode->onArbModeUiChange();
    m_funcSourLevel->basicPage()->onArbModeUiChange();
    m_funcSourRange->viewFuncMode(KeywordBridge_CcCrCvCpArb::CC);
    m_mainWindow->setWaveformUiEnable(false);
    m_mainWindow->setRangeUiEnable(rangeKeysAvailable());
}

void PictMeasure::onNormalUiChange()
{
    showIndicator(Pulse, ui->infoPulse, false);
    showIndicator(Sine, ui->infoSine, false);
    m_viewSet->onNormalUiChange();
    const vek::SourceMode mode = vek::Source::m_functionMode;
    m_mainWindow->setWaveformUiEnable(
        mode == KeywordBridge_CcCrCvCpArb::CC || mode == KeywordBridge_CcCrCvCpArb::CR);
    if (m_loadOffState->active()) {
        m_funcSourMode->onLoadOffUiChange();
        m_funcSourRange->onLoadOffUiChange();
    }
}

void PictMeasure::onPulseUiChange()
{
    showIndicator(Sine, ui->infoSine, false);
    showIndicator(Pulse, ui->infoPulse, true);
    m_viewSet->onPulseUiChange();
    m_mainWindow->setWaveformUiEnable(true);
    if (m_loadOffState->active()) {
        m_funcSourMode->onLoadOffPulseShortUiChange();
        m_funcSourRange->onLoadOffUiChange();
    }
}

void PictMeasure::onSineUiChange()
{
    showIndicator(Pulse, ui->infoPulse, false);
    showIndicator(Sine, ui->infoSine, true);
    m_viewSet->onSineUiChange();
    m_mainWindow->setWaveformUiEnable(true);
    if (m_loadOffState->active()) {
        m_funcSourMode->onLoadOffSineUiChange();
        m_funcSourRange->onLoadOffUiChange();
    }
}

void PictMeasure::onShortUiChange()
{
    showIndicator(Pulse, ui->infoPulse, false);
    showIndicator(Sine, ui->infoSine, false);
    m_viewSet->onShortUiChange();
    m_mainWindow->setWaveformUiEnable(false);
    if (m_loadOffState->active()) {
        m_funcSourMode->onLoadOffPulseShortUiChange();
        m_funcSourRange->onLoadOffUiChange();
    }
}

void PictMeasure::onExternalUiChange()
{
    m_viewSet->onExternalUiChange();
    m_mainWindow->setWaveformUiEnable(false);
}

void PictMeasure::onLoadOnUiChange()
{
    m_funcSourMode->onLoadOnUiChange();
    m_funcSourRange->onLoadOnUiChange();
}

void PictMeasure::onLoadOffUiChange()
{
    if (m_normalState->active() || m_externalState->active())
        m_funcSourMode->onLoadOffUiChange();
    else if (m_pulseState->active() || m_shortState->active())
        m_funcSourMode->onLoadOffPulseShortUiChange();
    else if (m_sineState->active())
        m_funcSourMode->onLoadOffSineUiChange();
    else
        return; // the waveform machine is not running yet
    m_funcSourRange->onLoadOffUiChange();
}

void PictMeasure::EnSyncChange(bool Val)
{
    QObject *from = sender();
    if (from && from == m_viewSine)
        s_sineSync = Val;
    else if (from && from == m_viewPulse)
        s_pulseSync = Val;
    else
        s_linkOn = Val;

    const bool allowed = s_linkOn && !s_sineSync && !s_pulseSync;
    if (allowed) {
        m_funcSourMore->m_syncEnableButton->setEnabled(true);
    } else {
        m_funcSourMore->m_syncEnableButton->setEnabled(false);
        m_funcSourMore->m_loadOnButton->setEnabled(false);
        m_funcSourMore->m_loadOffButton->setEnabled(false);
        if (m_engine.basic)
            m_engine.basic->setMSyncState(false);
    }

    const vek::AcquireTrigger *acquire = m_engine.acquire;
    m_funcAcquire->m_msyncButton->setEnabled(acquire
        && acquire->triggerSources().testFlag(ioc::IoControl::tasMSync) && acquire->isInitiated()
        && allowed);
}

void PictMeasure::onMSyncStateChange(bool on)
{
    m_funcSourMore->m_syncEnableButton->setChecked(on);
    m_funcSourMore->m_loadOnButton->setEnabled(on);
    m_funcSourMore->m_loadOffButton->setEnabled(on);
}

void PictMeasure::setAcquireKeys(bool edit, bool initiate, bool abort, bool msync, bool trigger)
{
    m_funcAcquire->m_editButton->setEnabled(edit);
    m_funcAcquire->m_initiateButton->setEnabled(initiate);
    m_funcAcquire->m_abortButton->setEnabled(abort);
    m_funcAcquire->m_msyncButton->setEnabled(msync);
    m_funcAcquire->m_triggerButton->setEnabled(trigger);
}

void PictMeasure::onMeasInitiate()
{
    const auto sources = m_engine.acquire ? m_engine.acquire->triggerSources()
                                          : vek::AcquireTrigger::TrigAcquireSources();
    const bool link = m_engine.status && m_engine.status->linkOn();
    setAcquireKeys(false,
        false,
        true,
        sources.testFlag(ioc::IoControl::tasMSync) && link,
        sources.testFlag(ioc::IoControl::tasBus));
    m_viewAcquire->setValueLock(true);
    onViewMeasureChange(false);
}

void PictMeasure::onMeasTrigger()
{
    setAcquireKeys(false, false, true, false, false);
    m_viewAcquire->setValueLock(true);
    onViewMeasureChange(true);
}

void PictMeasure::onMeasAbort()
{
    setAcquireKeys(true, true, false, false, false);
    m_viewAcquire->setValueLock(false);
    onViewMeasureChange(false);
}

void PictMeasure::onMeasComplete()
{
    onMeasAbort();
}

std::array<std::pair<PictMeasure::Restore, QWidget *>, 12> PictMeasure::alarmIndicators() const
{
    return { { { CutoffEnabled, ui->cutoffEnable },
        { CutoffTime, ui->cutoffTime },
        { CutoffVolt, ui->cutoffVolt },
        { CutoffCap, ui->cutoffCap },
        { CutoffEner, ui->cutoffEner },
        { Measuring, ui->infoMeas },
        { ProgramActive, ui->infoProg },
        { Sensing, ui->infoSensing },
        { ExtLoad, ui->infoExtLoad },
        { Sine, ui->infoSine },
        { Pulse, ui->infoPulse },
        { ErrorCount, ui->infoError } } };
}

void PictMeasure::viewAlarmMode(vek::Status::StatusProtections protections)
{
    m_keyStack->hide();
    m_viewStack->setMaximumHeight(66);
    m_meter->viewMeasLargeFont(false);
    ui->infoKeyLock->hide();
    m_restore[AlarmMode] = true;

    for (const auto &indicator : alarmIndicators()) {
        // Not isVisible(): the icons count as shown while the main window itself is hidden.
        if (!indicator.second->isHidden()) {
            m_restore[indicator.first] = true;
            indicator.second->hide();
        }
    }

    ui->Message->setHtml(alarmSentence(protections, AlarmScreen::Panel));
    ui->Message->setMinimumHeight(50);
}

void PictMeasure::clearAlarmMode()
{
    ui->Message->setHtml(QString());
    ui->Message->setMinimumHeight(20);
    m_restore[AlarmMode] = false;

    for (const auto &indicator : alarmIndicators()) {
        // The error count is shown with the number of now, below.
        if (indicator.first != ErrorCount && m_restore[indicator.first]) {
            indicator.second->show();
            m_restore[indicator.first] = false;
        }
    }
    if (m_restore[ErrorCount]) {
        // The count of now: errors may have been read or queued during the alarm.
        const int n = zo4882::s_systErrCue.count();
        ui->infoError->setText(QString::number(n));
        ui->infoError->setVisible(n > 0);
        m_restore[ErrorCount] = false;
    }
}
