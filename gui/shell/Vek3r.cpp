#include "gui/shell/Vek3r.h"

#include "gui/program/PictProgramEdit.h"
#include "gui/program/PictProgramExport.h"
#include "gui/program/PictProgramSelect.h"
#include "gui/shell/Ui_Vek3r.h"
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
    , m_pages(new QStackedWidget(this))
    , m_actionMenu1(new QAction(this))
{
    PanelResources::init();
    ui->setupUi(this);
    s_pSelf.store(this);

    // The home screen reaches the program editor on range changes, so it is made first.
    m_pictProgramEdit = new PictProgramEdit(this);
    m_pictProgramSelect = new PictProgramSelect(this);
    m_pictProgramExport = new PictProgramExport(this);
    m_pictMeasure = new PictMeasure(this, engine);
    m_pages->addWidget(m_pictMeasure);
    m_pages->addWidget(m_pictProgramSelect);
    m_pages->addWidget(m_pictProgramEdit);
    m_pages->addWidget(m_pictProgramExport);
    m_pages->setCurrentWidget(m_pictMeasure);
    ui->topLayout->addWidget(m_pages);

    connect(this, &Vek3r::scpiErrorQueued, this, &Vek3r::onScpiErrorQueue);
    connect(this, &Vek3r::scpiErrorDecued, this, &Vek3r::onScpiErrorQueue);
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
