#include "gui/shell/Vek3r.h"

#include "engine/Basic.h"
#include "engine/ELoad.h"
#include "engine/PanelMemory.h"
#include "engine/Source.h"
#include "engine/Status.h"
#include "gui/program/PictProgramEdit.h"
#include "gui/program/PictProgramExport.h"
#include "gui/program/PictProgramSelect.h"
#include "gui/shell/PanelControl.h"
#include "gui/shell/PictSystError.h"
#include "gui/shell/Ui_Vek3r.h"
#include "gui/system/PictAdmin.h"
#include "gui/system/PictConfig.h"
#include "gui/system/PictFile.h"
#include "gui/system/PictInformation.h"
#include "gui/system/PictInterface.h"
#include "gui/system/PictUSBFile.h"
#include "gui/toolkit/Chart.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/GroupFunc.h"
#include "gui/toolkit/Meter.h"
#include "instrument/ModelInformation.h"
#include "resources/PanelResources.h"

#include <QAction>
#include <QHBoxLayout>
#include <QStackedWidget>

std::atomic<Vek3r *> Vek3r::s_pSelf { nullptr };

Vek3r::Vek3r(const PanelEngine &engine, QWidget *parent)
    : QWidget(parent)
    , m_engine(engine)
    , ui(new Ui_Vek3r)
{
    PanelResources::init();
    ui->setupUi(this);
    s_pSelf.store(this);
    createWidgets();
    createLayout();
    createConnections();
}

void Vek3r::createWidgets()
{
    // The home screen reaches the program editor on range changes, so the editor comes first.
    m_pictProgramEdit = new PictProgramEdit(this);
    m_pictMeasure = new PictMeasure(this, m_engine);
    m_pictProgramSelect = new PictProgramSelect(this);
    m_pictFile = new PictFile(this, m_engine.root);
    m_pictUSBFile = new PictUSBFile(this, m_engine.logger, m_engine.acquire);
    m_pictProgramExport = new PictProgramExport(this);
    m_pictConfig = new PictConfig(this);
    m_pictInterface = new PictInterface(this);
    m_pictInformation = new PictInformation(m_engine.model, this);
    // "*RST" on the error list resets as the remote *RST does; without an engine root it is
    // refused by the list itself.
    PictSystError::ResetSettings reset;
    if (vek::ELoad *root = m_engine.root) {
        reset = [root] {
            return short(vek::PanelMemory().rst(root->presets()));
        };
    }
    m_pictSystError = new PictSystError(this, reset);
    m_pictAdmin = new PictAdmin(this);

    const auto action = [this](std::initializer_list<QKeySequence> keys) {
        auto *a = new QAction(this);
        a->setShortcuts(QList<QKeySequence>(keys));
        return a;
    };
    m_actionMenu1 = action({ QKeySequence(Qt::Key_F11), QKeySequence(Qt::ALT + Qt::Key_S) });
    m_actionMenu2 = action({ QKeySequence(Qt::Key_F12), QKeySequence(Qt::ALT + Qt::Key_M) });
    m_actionMenu3 = action({ QKeySequence(Qt::Key_VolumeDown), QKeySequence(Qt::ALT + Qt::Key_P) });
    m_actionMenu4 = action({ QKeySequence(Qt::Key_VolumeUp), QKeySequence(Qt::ALT + Qt::Key_Y) });
    m_actionLoadToggle = action({ QKeySequence(Qt::Key_VolumeMute) });
    m_actionLoadOn = action({ QKeySequence(Qt::ALT + Qt::Key_O) });
    m_actionLoadOff = action({ QKeySequence(Qt::ALT + Qt::Key_F) });
}

void Vek3r::createLayout()
{
    m_pages = new QStackedWidget(this);
    for (QWidget *page : std::initializer_list<QWidget *> { m_pictProgramEdit,
             m_pictMeasure,
             m_pictProgramSelect,
             m_pictFile,
             m_pictUSBFile,
             m_pictProgramExport,
             m_pictConfig,
             m_pictInterface,
             m_pictInformation,
             m_pictSystError,
             m_pictAdmin })
        m_pages->addWidget(page);
    m_pages->setCurrentWidget(m_pictMeasure);
    ui->topLayout->addWidget(m_pages);
    addActions({ m_actionMenu1,
        m_actionMenu2,
        m_actionMenu3,
        m_actionMenu4,
        m_actionLoadToggle,
        m_actionLoadOn,
        m_actionLoadOff });
}

void Vek3r::createConnections()
{
    connect(this, &Vek3r::scpiErrorQueued, this, &Vek3r::onScpiErrorQueue);
    connect(this, &Vek3r::scpiErrorDecued, this, &Vek3r::onScpiErrorQueue);
    connect(this, &Vek3r::scpiErrorQueued, m_pictSystError, &PictSystError::onScpiErrorQueue);
    connect(this, &Vek3r::scpiErrorDecued, m_pictSystError, &PictSystError::onScpiErrorDecue);
    connect(m_pictSystError, &PictSystError::scpiErrorDecued, this, &Vek3r::scpiErrorDecued);

    if (m_engine.status)
        connect(m_engine.status, &vek::Status::loadChanged, this, &PanelControl::lightLoadLED);

    connect(m_actionMenu1, &QAction::triggered, this, &Vek3r::onMenuKey1);
    connect(m_actionMenu2, &QAction::triggered, this, [this] {
        onMenuKey(ui->FuncModeMeasure);
    });
    connect(m_actionMenu3, &QAction::triggered, this, [this] {
        onMenuKey(ui->FuncModeProgram);
    });
    connect(m_actionMenu4, &QAction::triggered, this, &Vek3r::onMenuKey4);
    connect(m_actionLoadToggle, &QAction::triggered, this, [this] {
        switchLoad(!vek::Source::m_stateLoad.load());
    });
    connect(m_actionLoadOn, &QAction::triggered, this, [this] {
        switchLoad(true);
    });
    connect(m_actionLoadOff, &QAction::triggered, this, [this] {
        switchLoad(false);
    });

    for (QObject *key : std::initializer_list<QObject *> { ui->subsystAcquire,
             ui->subsystData,
             ui->subsystDisplay,
             ui->progExecute,
             ui->ProgTriger })
        connectPage(key, m_pictMeasure);
    connectPage(ui->subsystMemory, m_pictUSBFile);
    connectPage(ui->progSelect, m_pictProgramSelect);
    connectPage(ui->progEdit, m_pictProgramEdit);
    connectPage(ui->progMemory, m_pictProgramExport);
    connectPage(ui->systConfig, m_pictConfig);
    connectPage(ui->systInterface, m_pictInterface);
    connectPage(ui->systFile, m_pictFile);
    connectPage(ui->systError, m_pictSystError);
    connectPage(ui->systAdmin, m_pictAdmin);
    connectPage(ui->systInfomation, m_pictInformation);
}

void Vek3r::connectPage(QObject *key, QWidget *page)
{
    connect(static_cast<FuncButton *>(key), &QAbstractButton::clicked, this, [this, page] {
        m_pages->setCurrentWidget(page);
    });
}

Vek3r::~Vek3r()
{
    Vek3r *self = this;
    s_pSelf.compare_exchange_strong(self, nullptr);
    delete ui;
}

void Vek3r::notifyScpiErrorQueued()
{
    if (Vek3r *window = s_pSelf.load())
        Q_EMIT window->scpiErrorQueued();
}

void Vek3r::notifyScpiErrorDecued()
{
    if (Vek3r *window = s_pSelf.load())
        Q_EMIT window->scpiErrorDecued();
}

void Vek3r::onScpiErrorQueue()
{
    m_pictMeasure->onViewScpiErrorChange();
}

void Vek3r::setWaveformUiEnable(bool enable)
{
    ui->SourceWaveform->setEnabled(enable);
}

void Vek3r::setSineWaveformUiEnable(bool on)
{
    ui->SourceSine->setEnabled(on && m_engine.model && m_engine.model->hasSine());
}

void Vek3r::setRangeUiEnable(bool enable)
{
    ui->SourceRange->setEnabled(enable);
}

void Vek3r::setUiInitateProgram(bool running)
{
    m_actionMenu1->setEnabled(!running);
    if (!running || ui->FuncMode->currentWidget() != ui->FuncModeSource)
        return;
    ui->FuncMode->setCurrentWidget(ui->FuncModeProgram);
    Q_EMIT ui->progExecute->clicked(false);
    m_pages->setCurrentWidget(m_pictMeasure); // the run panel is on the home screen
    const bool barVisible = ui->FuncMode->isVisible();
    m_pictMeasure->viewSubFuncKey(barVisible, PictMeasure::Program, PictMeasure::Program);
    m_pictMeasure->meter()->viewMeasLargeFont(!barVisible);
}

int Vek3r::menuIndex(QWidget *group) const
{
    if (group == ui->FuncModeMeasure)
        return PictMeasure::Measure;
    if (group == ui->FuncModeProgram)
        return PictMeasure::Program;
    if (group == ui->FuncModeSystem)
        return PictMeasure::System;
    return PictMeasure::Source;
}

void Vek3r::viewFuncKey(bool show, GroupFunc *group)
{
    m_pictMeasure->viewSubFuncKey(show,
        PictMeasure::MenuMode(menuIndex(group)),
        PictMeasure::MenuMode(menuIndex(ui->FuncMode->currentWidget())));
    ui->FuncMode->setVisible(show);
}

bool Vek3r::clickMenuKey(GroupFunc *group, bool checked)
{
    const bool open = group && (ui->FuncMode->isHidden() || ui->FuncMode->currentWidget() != group);
    viewFuncKey(open, open ? group : nullptr);
    m_pictMeasure->meter()->viewMeasLargeFont(!open);
    m_pictMeasure->chart()->viewMeasLargeFont(!open);
    if (!open)
        return false;
    ui->FuncMode->setCurrentWidget(group);
    if (QPushButton *key = group->checkPushButton())
        Q_EMIT key->clicked(checked);
    return true;
}

void Vek3r::onMenuKey1()
{
    clickMenuKey(ui->FuncModeSource, false);
    m_pages->setCurrentWidget(m_pictMeasure);
    // The key lock is not built: the panel is never locked.
    m_pictMeasure->clearKeyLockMode();
}

void Vek3r::onMenuKey(GroupFunc *group)
{
    if (!clickMenuKey(group, false))
        m_pages->setCurrentWidget(m_pictMeasure);
}

void Vek3r::onMenuKey4()
{
    onMenuKey(ui->FuncModeSystem);
}

void Vek3r::switchLoad(bool on)
{
    // A refusal (a program runs) leaves the load as it is; the panel shows the state it gets.
    if (m_engine.basic)
        m_engine.basic->setOutput(on);
}
