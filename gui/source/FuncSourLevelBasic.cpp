#include "gui/source/FuncSourLevelBasic.h"

#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/GroupFunc.h"

namespace {

void setKeyStyle(FuncButton *key, FuncButton::Color colour2)
{
    key->setStyle(FuncButton::Blue, FuncButton::Row, colour2);
}

} // namespace

FuncSourLevelBasic::FuncSourLevelBasic(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui_FuncSourLevelBasic2)
{
    ui->setupUi(this);
    // The second colour matches the border of the entry the key selects in the level view.
    setKeyStyle(ui->value, FuncButton::Pink);
    setKeyStyle(ui->slewRate, FuncButton::Blue);
    setKeyStyle(ui->opp, FuncButton::Green);
    setKeyStyle(ui->ocp, FuncButton::Orange);
    setKeyStyle(ui->uvp, FuncButton::Yellow);
    setKeyStyle(ui->action, FuncButton::Purple);

    connect(ui->value, &FuncButton::clicked, this, &FuncSourLevelBasic::valueClicked);
    connect(ui->slewRate, &FuncButton::clicked, this, &FuncSourLevelBasic::slewRateClicked);
    connect(ui->opp, &FuncButton::clicked, this, &FuncSourLevelBasic::oppClicked);
    connect(ui->ocp, &FuncButton::clicked, this, &FuncSourLevelBasic::ocpClicked);
    connect(ui->uvp, &FuncButton::clicked, this, &FuncSourLevelBasic::uvpClicked);
    connect(ui->action, &FuncButton::clicked, this, &FuncSourLevelBasic::actionClicked);
}

FuncSourLevelBasic::~FuncSourLevelBasic()
{
    delete ui;
}

void FuncSourLevelBasic::onCcModeUiChange()
{
    ui->value->setText(tr("Current"));
    ui->value->setShortcut(QKeySequence(Qt::Key_F1));
    ui->value->setEnabled(true);
    ui->slewRate->setVisible(true);
    ui->slewRate->setEnabled(true);
    ui->opp->setShortcut(QKeySequence(Qt::Key_F3));
    ui->opp->setEnabled(true);
    ui->ocp->setVisible(false);
    ui->uvp->setEnabled(true);
}

void FuncSourLevelBasic::onCrModeUiChange()
{
    ui->value->setText(tr("Conduc\n-tance"));
    ui->value->setShortcut(QKeySequence(Qt::Key_F1));
    ui->value->setEnabled(true);
    ui->slewRate->setVisible(false);
    ui->opp->setShortcut(QKeySequence(Qt::Key_F2));
    ui->opp->setEnabled(true);
    ui->ocp->setShortcut(QKeySequence(Qt::Key_F3));
    ui->ocp->setVisible(true);
    ui->uvp->setEnabled(true);
}

void FuncSourLevelBasic::onCvModeUiChange()
{
    ui->value->setText(tr("Voltage"));
    ui->value->setShortcut(QKeySequence(Qt::Key_F1));
    ui->value->setEnabled(true);
    ui->slewRate->setVisible(false);
    ui->opp->setShortcut(QKeySequence(Qt::Key_F2));
    ui->opp->setEnabled(true);
    ui->ocp->setShortcut(QKeySequence(Qt::Key_F3));
    ui->ocp->setVisible(true);
    ui->uvp->setEnabled(false);
}

void FuncSourLevelBasic::onCpModeUiChange()
{
    ui->value->setText(tr("Power"));
    ui->value->setShortcut(QKeySequence(Qt::Key_F1));
    ui->value->setEnabled(true);
    ui->slewRate->setVisible(false);
    ui->opp->setEnabled(false);
    ui->ocp->setShortcut(QKeySequence(Qt::Key_F3));
    ui->ocp->setVisible(true);
    ui->uvp->setEnabled(true);
}

void FuncSourLevelBasic::onArbModeUiChange()
{
    ui->value->setText(tr("Table"));
    ui->value->setShortcut(QKeySequence(Qt::Key_F1));
    ui->value->setEnabled(true);
    ui->slewRate->setVisible(true);
    ui->slewRate->setEnabled(m_arbSlewRateEnable);
    ui->opp->setShortcut(QKeySequence(Qt::Key_F3));
    ui->opp->setEnabled(true);
    ui->ocp->setVisible(false);
    ui->uvp->setEnabled(true);
}

void FuncSourLevelBasic::viewShortMode(bool on) const
{
    ui->action->setEnabled(m_shortEnable);
    ui->action->setChecked(on);
    ui->action->setText(tr("Short\n%1").arg(on ? tr("On") : tr("Off")));
    ui->action->setShortcut(QKeySequence(Qt::Key_F5));
}

void FuncSourLevelBasic::viewProtectAction(KeywordBridge_LimitTrip::values action) const
{
    ui->action->setEnabled(true);
    ui->action->setChecked(false);
    ui->action->setText(tr("Action\n%1").arg(
        action == KeywordBridge_LimitTrip::LIM ? tr("Limit") : tr("Trip")));
    ui->action->setShortcut(QKeySequence(Qt::Key_F5));
}

void FuncSourLevelBasic::viewSlewRate(bool enable) const
{
    ui->slewRate->setEnabled(enable);
}

void FuncSourLevelBasic::selectItemClick() const
{
    if (QPushButton *checked = ui->basic->checkPushButton())
        checked->click();
}
