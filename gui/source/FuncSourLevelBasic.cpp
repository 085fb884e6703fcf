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

// The keys' set-up in one mode. A panel key of 0 leaves the key's own; the slew-rate key keeps
// F2 and the UVP key F4 throughout.
struct FuncSourLevelBasic::ModeKeys
{
    const char *valueText;
    bool slewRateShown;
    int oppPanelKey;
    bool oppEnabled;
    bool ocpShown;
    bool uvpEnabled;
};

void FuncSourLevelBasic::setUpKeys(const ModeKeys &keys, bool slewRateEnabled)
{
    ui->value->setText(tr(keys.valueText));
    ui->value->setShortcut(QKeySequence(Qt::Key_F1));
    ui->value->setEnabled(true);
    ui->slewRate->setVisible(keys.slewRateShown);
    if (keys.slewRateShown)
        ui->slewRate->setEnabled(slewRateEnabled);
    if (keys.oppPanelKey)
        ui->opp->setShortcut(QKeySequence(keys.oppPanelKey));
    ui->opp->setEnabled(keys.oppEnabled);
    if (keys.ocpShown)
        ui->ocp->setShortcut(QKeySequence(Qt::Key_F3));
    ui->ocp->setVisible(keys.ocpShown);
    ui->uvp->setEnabled(keys.uvpEnabled);
}

void FuncSourLevelBasic::onCcModeUiChange()
{
    setUpKeys({ QT_TR_NOOP("Current"), true, Qt::Key_F3, true, false, true }, true);
}

void FuncSourLevelBasic::onCrModeUiChange()
{
    setUpKeys({ QT_TR_NOOP("Conduc\n-tance"), false, Qt::Key_F2, true, true, true }, true);
}

void FuncSourLevelBasic::onCvModeUiChange()
{
    setUpKeys({ QT_TR_NOOP("Voltage"), false, Qt::Key_F2, true, true, false }, true);
}

void FuncSourLevelBasic::onCpModeUiChange()
{
    setUpKeys({ QT_TR_NOOP("Power"), false, 0, false, true, true }, true);
}

void FuncSourLevelBasic::onArbModeUiChange()
{
    setUpKeys({ QT_TR_NOOP("Table"), true, Qt::Key_F3, true, false, true }, m_arbSlewRateEnable);
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
    ui->action->setText(
        tr("Action\n%1").arg(action == KeywordBridge_LimitTrip::LIM ? tr("Limit") : tr("Trip")));
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
