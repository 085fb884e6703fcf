#include "gui/shell/PictMeasure.h"

#include "engine/Basic.h"
#include "engine/Status.h"
#include "gui/program/PictProgramEdit.h"
#include "gui/program/ViewProgram.h"
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

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

// The tile text of a range: its full scale in the range's prefixed unit ("240A", "600mA"). A
// range the model lacks shows the entry of the smallest range.
QString rangeText(const QMap<int, BoundValueBase> &ranges, int range, const QString &unit)
{
    return ModelInformation::rangeText(ModelInformation::rangeValue(ranges, range), unit);
}

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
    createConnections();

    if (m_engine.model) {
        m_funcSourLevel->setViewShortEnable(m_engine.model->iocShort());
        m_funcSourLevel->setViewArbSlewRateEnable(m_engine.model->arbResponse().isEmpty());
    }
    Q_EMIT normalUiChanged();
    showInitialIndicators();
    m_restore.fill(false);
}

PictMeasure::~PictMeasure()
{
    delete ui;
}

void PictMeasure::createWidgets()
{
    m_funcSourMode = new FuncSourMode(m_engine.basic, this);
    m_funcSourRange = new FuncSourRange(m_engine.basic, m_engine.model, this);
    m_funcSourPulse = new FuncSourPulse(this);
    m_funcSourSine = new FuncSourSine(this);
    m_funcSourMemory = new FuncSourMemory(this);
    m_funcSourLevel = new FuncSourLevel(this);
    m_viewSet = new ViewSet(
        m_funcSourLevel->basicPage(), m_engine.basic, m_engine.model, nullptr, this);
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
    if (vek::Status *status = m_engine.status) {
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
    if (vek::Basic *basic = m_engine.basic) {
        connect(basic, &vek::Source::currRangeChanged, this, &PictMeasure::onCurrRangeChange);
        connect(basic, &vek::Source::voltRangeChanged, this, &PictMeasure::onVoltRangeChange);
        connect(basic, &vek::Source::remoteSensingChanged, this, &PictMeasure::onViewSensingChange);
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
