#include "gui/source/ViewSet.h"

#include "engine/ArbitraryModel.h"
#include "engine/Basic.h"
#include "engine/ELoad.h"
#include "gui/source/FuncSourLevelBasic.h"
#include "gui/source/ViewSetForm.h"
#include "gui/toolkit/Axis.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/Graph.h"
#include "gui/toolkit/Plot.h"
#include "gui/toolkit/Plots.h"
#include "gui/toolkit/zoDoubleSpinBox.h"
#include "gui/toolkit/zoMeasDoubleBox.h"
#include "instrument/ModelInformation.h"

#include <functional>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>

#include <algorithm>
#include <limits>

namespace {

using Mode = KeywordBridge_CcCrCvCpArb;
using LimitTrip = KeywordBridge_LimitTrip;

// OPP is bound to the widest power table entry and OCP to the widest current one, whatever
// the active range, one decimal coarser than the table.
constexpr int OppKey = 5;
constexpr int OcpKey = 2;
constexpr int ProtectOffset = -1;

constexpr double Epsilon = std::numeric_limits<double>::epsilon();

double resistanceOf(double siemens)
{
    return siemens > Epsilon ? 1.0 / siemens : 0.0;
}

LimitTrip::values actionOf(bool trip)
{
    return trip ? LimitTrip::TRIP : LimitTrip::LIM;
}

vek::SourceMode mode()
{
    return vek::Source::m_functionMode;
}

} // namespace

ViewSet::ViewSet(FuncSourLevelBasic *keys, QWidget *parent)
    : ViewSet(keys,
          vek::ELoad::s_pSelf ? vek::ELoad::s_pSelf->basic() : nullptr,
          vek::ELoad::s_pSelf ? vek::ELoad::s_pSelf->info() : nullptr,
          vek::ELoad::s_pSelf ? vek::ELoad::s_pSelf->arbitrary() : nullptr,
          parent)
{ }

ViewSet::ViewSet(FuncSourLevelBasic *keys, vek::Basic *basic, const ModelInformation *model,
    vek::ArbitraryModel *arbitrary, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui_ViewSet)
    , m_keys(keys)
    , m_basic(basic)
    , m_model(model)
{
    ui->setupUi(this);
    connectEntries();
    connectEngine();
    connectKeys();
    viewPowerProtectAction(false);
    viewCurrentProtectAction(false);
    viewVoltageProtectAction(false);
    if (m_keys)
        m_keys->ui->action->setEnabled(false);

    m_plotAxis = QSharedPointer<Axis>(new Axis(this));
    if (arbitrary) {
        ui->absPlot->setModel(arbitrary);
        if (Plot *curve = ui->absPlot->columnPlots()->plot(1)) {
            curve->setLineColor(QColor(Qt::red));
            curve->setLineWidth(2);
            m_plotAxis->setLineColor(QColor(Qt::darkRed));
            ui->absPlot->setPlot(curve, m_plotAxis);
        }
    }
    if (Axis *x = ui->absPlot->xAxis()) {
        x->setAutoScale(false);
        x->setMin(0.0);
        if (m_model)
            x->setMax(ModelInformation::rangeValue(m_model->voltRangeMap(), 1).m_max);
    }

    for (zoDoubleSpinBox *entry : { ui->setCurrent, ui->setConductance, ui->setPower, ui->setVolt,
             ui->setSlewRate, ui->setOpp, ui->setOcp, ui->setUvp })
        entry->installEventFilter(this);

    ui->setResistance->setSi(QStringLiteral("\u03a9"));
    ui->setResistance->setDecimals(3, QString());
    ui->setResistance->setAutoRange(true);
    ui->setResistance->m_minimum = 0.0;
    ui->setResistance->setSpecialMinValueText(tr("Open"));
}

ViewSet::~ViewSet()
{
    // The entries' value signals reach this view's setters: an entry emitting while the base
    // class deletes it must find nothing connected.
    for (zoDoubleSpinBox *entry : findChildren<zoDoubleSpinBox *>())
        entry->disconnect();
    delete ui;
}

void ViewSet::connectEntries()
{
    // A level entry showing "Short" or "External" is read-only at its minimum: never sent.
    vek::Basic *const basic = m_basic;
    if (!basic)
        return connectUvp();
    const auto send = [basic](auto set) {
        return std::function<void(double)>([basic, set](double v) {
            (basic->*set)(v, vek::UpdateIfChanged);
        });
    };
    const struct
    {
        zoDoubleSpinBox *entry;
        std::function<void(double)> set;
        bool level; // a level entry, which may show a special text
    } entries[] = {
        { ui->setCurrent, send(&vek::Basic::setRealCurrentLevel), true },
        { ui->setConductance, send(&vek::Basic::setRealConductanceLevel), true },
        { ui->setPower, send(&vek::Basic::setRealPowerLevel), true },
        { ui->setVolt, send(&vek::Basic::setRealVoltageLevel), true },
        { ui->setSlewRate, send(&vek::Basic::setRealCurrentSlewRateLevel), false },
        { ui->setOpp, send(&vek::Basic::setRealPowerProtectionLevel), false },
        { ui->setOcp, send(&vek::Basic::setRealCurrentProtectionLevel), false },
    };
    for (const auto &e : entries) {
        zoDoubleSpinBox *const entry = e.entry;
        const std::function<void(double)> set = e.set;
        const bool level = e.level;
        connect(entry, &zoDoubleSpinBox::valuePrefixChanged, this, [entry, set, level](double v) {
            if (!level || entry->specialValueText().isEmpty())
                set(v);
        });
    }
    connectUvp();
}

void ViewSet::connectUvp()
{
    // The bottom position, one step below the table's minimum, is "OFF".
    connect(ui->setUvp, &zoDoubleSpinBox::valuePrefixChanged, this, [this](double v) {
        if (!m_basic)
            return;
        const zoDoubleSpinBox *uvp = ui->setUvp;
        if (v < (uvp->minimum() + uvp->singleStep() / 2) * uvp->siFactor()) {
            m_basic->setVoltageProtectionState(false);
            return;
        }
        m_basic->setVoltageProtectionState(true);
        m_basic->setRealVoltageProtectionLevel(v, vek::UpdateIfChanged);
    });

    connect(ui->setResistance, &zoMeasDoubleBox::siPrefixChanged, ui->resistanceUnit,
        &QLabel::setText);
}

void ViewSet::connectEngine()
{
    if (!m_basic)
        return;
    vek::Basic *b = m_basic;
    connect(b, &vek::Basic::currentUiChanged, this, &ViewSet::onCurrentChange);
    connect(b, &vek::Basic::conductanceUiChanged, this, &ViewSet::onCondactanceChange);
    connect(b, &vek::Basic::powerUiChanged, this, &ViewSet::onPowerChange);
    connect(b, &vek::Basic::voltageUiChanged, this, &ViewSet::onVoltageChange);
    connect(b, &vek::Basic::slewRateUiChanged, this, &ViewSet::onSlewRateChange);
    connect(b, &vek::Basic::powerProtectUiChanged, this, &ViewSet::onPowerProtectChange);
    connect(b, &vek::Basic::currentProtectUiChanged, this, &ViewSet::onCurrentProtectChange);
    connect(b, &vek::Basic::voltageProtectUiChanged, this, &ViewSet::onVoltageProtectChange);
    connect(b, &vek::Basic::powerProtectStateUiChanged, this,
        &ViewSet::onPowerProtectStateChange);
    connect(b, &vek::Basic::currentProtectStateUiChanged, this,
        &ViewSet::onCurrentProtectStateChange);
    connect(b, &vek::Basic::voltageProtectStateUiChanged, this,
        &ViewSet::onVoltageProtectStateChange);
}

void ViewSet::connectKeys()
{
    if (!m_keys)
        return;
    const auto focusTo = [](zoDoubleSpinBox *entry) {
        return [entry] { entry->setFocus(Qt::OtherFocusReason); };
    };
    connect(m_keys, &FuncSourLevelBasic::valueClicked, this, [this] {
        for (zoDoubleSpinBox *entry :
            { ui->setCurrent, ui->setConductance, ui->setPower, ui->setVolt }) {
            if (entry->isVisible()) {
                entry->setFocus(Qt::OtherFocusReason);
                return;
            }
        }
    });
    connect(m_keys, &FuncSourLevelBasic::voltageClicked, this, focusTo(ui->setVolt));
    connect(m_keys, &FuncSourLevelBasic::slewRateClicked, this, focusTo(ui->setSlewRate));
    connect(m_keys, &FuncSourLevelBasic::oppClicked, this, focusTo(ui->setOpp));
    connect(m_keys, &FuncSourLevelBasic::ocpClicked, this, focusTo(ui->setOcp));
    connect(m_keys, &FuncSourLevelBasic::uvpClicked, this, focusTo(ui->setUvp));
    connect(m_keys, &FuncSourLevelBasic::actionClicked, this, [this] { onActionClicked(); });
}

// --- Engine reports ---

void ViewSet::onCurrentChange(double amps)
{
    if (!ui->setCurrent->isReadOnly())
        ui->setCurrent->setValue(amps);
}

void ViewSet::onCondactanceChange(double siemens)
{
    if (ui->setConductance->isReadOnly())
        return;
    ui->setConductance->setValue(siemens);
    showResistance(siemens);
}

void ViewSet::onPowerChange(double watts)
{
    if (!ui->setPower->isReadOnly())
        ui->setPower->setValue(watts);
}

void ViewSet::onVoltageChange(double volts)
{
    if (!ui->setVolt->isReadOnly())
        ui->setVolt->setValue(volts);
}

void ViewSet::onSlewRateChange(double ampsPerUs)
{
    ui->setSlewRate->setValue(ampsPerUs);
}

void ViewSet::onPowerProtectChange(double watts)
{
    ui->setOpp->setValue(watts);
}

void ViewSet::onCurrentProtectChange(double amps)
{
    ui->setOcp->setValue(amps);
}

void ViewSet::onVoltageProtectChange(double volts)
{
    // UVP off comes as the lowest double, which the entry bounds to its "OFF" position.
    ui->setUvp->setValue(volts);
}

void ViewSet::onPowerProtectStateChange(bool trip)
{
    viewPowerProtectAction(trip);
}

void ViewSet::onCurrentProtectStateChange(bool trip)
{
    viewCurrentProtectAction(trip);
}

void ViewSet::onVoltageProtectStateChange(bool trip)
{
    viewVoltageProtectAction(trip);
}

void ViewSet::viewPowerProtectAction(bool trip)
{
    m_oppTrip = trip;
    ui->oppLabel->setText(trip ? tr("OPPT") : tr("OPPL"));
    if (m_keys && ui->setOpp->hasFocus())
        m_keys->viewProtectAction(actionOf(trip));
}

void ViewSet::viewCurrentProtectAction(bool trip)
{
    m_ocpTrip = trip;
    ui->ocpLabel->setText(trip ? tr("OCPT") : tr("OCPL"));
    if (m_keys && ui->setOcp->hasFocus())
        m_keys->viewProtectAction(actionOf(trip));
}

void ViewSet::viewVoltageProtectAction(bool trip)
{
    m_uvpTrip = trip;
    ui->uvpLabel->setText(trip ? tr("UVPT") : tr("UVPL"));
    if (m_keys && ui->setUvp->hasFocus())
        m_keys->viewProtectAction(actionOf(trip));
}

void ViewSet::onActionClicked()
{
    if (!m_basic)
        return;
    if (ui->setCurrent->hasFocus() || ui->setConductance->hasFocus())
        m_basic->setOutputShort(!vek::Source::m_outputShort, vek::UpdateIfChanged);
    else if (ui->setOpp->hasFocus())
        m_basic->setPowerProtectionTripState(!m_oppTrip);
    else if (ui->setOcp->hasFocus())
        m_basic->setCurrentProtectionTripState(!m_ocpTrip);
    else if (ui->setUvp->hasFocus())
        m_basic->setVoltageProtectionTripState(!m_uvpTrip, vek::UpdateIfChanged);
}

// --- Ranges ---

void ViewSet::viewCurrRange(KeywordBridge_LowMedHigh::values range)
{
    if (!m_model)
        return;
    const int key = int(range);
    const auto bindOpp = [this] {
        ModelInformation::rangeValue(m_model->oppMap(), OppKey)
            .setBoundValueWidget(ui->setOpp, ProtectOffset);
    };
    const auto bindOcp = [this] {
        ModelInformation::rangeValue(m_model->ocpMap(), OcpKey)
            .setBoundValueWidget(ui->setOcp, ProtectOffset);
    };
    switch (mode()) {
    case Mode::CC:
        ModelInformation::rangeValue(m_model->currentMap(), key)
            .setBoundValueWidget(ui->setCurrent, 0);
        ModelInformation::rangeValue(m_model->slewRateMap(), key)
            .setBoundValueWidget(ui->setSlewRate, 0);
        bindOpp();
        break;
    case Mode::CR:
        ModelInformation::rangeValue(m_model->conductanceMap(), key)
            .setBoundValueWidget(ui->setConductance, 0);
        showResistance(ui->setConductance->value());
        bindOpp();
        bindOcp();
        break;
    case Mode::CV:
        bindOpp();
        bindOcp();
        break;
    case Mode::CP:
        ModelInformation::rangeValue(m_model->powerMap(), vek::Source::getPowerRange())
            .setBoundValueWidget(ui->setPower, 0);
        bindOcp();
        break;
    case Mode::ARB:
        ModelInformation::rangeValue(m_model->slewRateMap(), key)
            .setBoundValueWidget(ui->setSlewRate, 0);
        bindOpp();
        break;
    }
}

void ViewSet::viewVoltRange(KeywordBridge_LowHigh::values range)
{
    if (!m_model)
        return;
    if (mode() == Mode::CP) {
        ModelInformation::rangeValue(m_model->powerMap(), vek::Source::getPowerRange())
            .setBoundValueWidget(ui->setPower, 0);
    } else {
        ModelInformation::rangeValue(m_model->oppMap(), OppKey)
            .setBoundValueWidget(ui->setOpp, ProtectOffset);
    }
    if (vek::Source::m_functionModeCvOption || mode() == Mode::CV) {
        ModelInformation::rangeValue(m_model->voltageMap(), int(range))
            .setBoundValueWidget(ui->setVolt, 0);
    }
    ModelInformation::rangeValue(m_model->uvpMap(), int(range))
        .setBoundValueWidget(ui->setUvp, 0);
    // One step below the table's minimum: "OFF", the UVP function switched off.
    const double step = ui->setUvp->singleStep() * ui->setUvp->siFactor();
    ui->setUvp->setMinimum(ui->setUvp->minimum() * ui->setUvp->siFactor() - step);
}

// --- Modes ---

void ViewSet::setRowVisible(Row row, bool visible)
{
    const int columns = ui->viewSourceLayout->columnCount();
    for (int column = 0; column < columns; ++column) {
        if (QLayoutItem *item = ui->viewSourceLayout->itemAtPosition(int(row), column)) {
            if (QWidget *widget = item->widget())
                widget->setVisible(visible);
        }
    }
}

void ViewSet::showRows(std::initializer_list<Row> rows, zoDoubleSpinBox *focus)
{
    viewCurrRange(vek::Source::getCurrentRange());
    viewVoltRange(vek::Source::m_voltRange);
    for (Row row : { CurrentRow, ConductanceRow, PowerRow, PlotRow, ResistanceRow, VoltRow,
             SlewRow })
        setRowVisible(row, std::find(rows.begin(), rows.end(), row) != rows.end());
    if (isVisible() && focus)
        focus->setFocus(Qt::OtherFocusReason);
}

void ViewSet::onCcModeUiChange()
{
    showRows({ CurrentRow, SlewRow }, ui->setCurrent);
    ui->oppLabel->show(), ui->setOpp->show(), ui->oppUnit->show();
    ui->ocpLabel->hide(), ui->setOcp->hide(), ui->ocpUnit->hide();
    ui->uvpLabel->show(), ui->setUvp->show(), ui->uvpUnit->show();
}

void ViewSet::onCcCvModeUiChange()
{
    onCcModeUiChange();
    ui->setVolt->setFocus(Qt::OtherFocusReason);
}

void ViewSet::onCrModeUiChange()
{
    showRows({ ConductanceRow, ResistanceRow }, ui->setConductance);
    ui->oppLabel->show(), ui->setOpp->show(), ui->oppUnit->show();
    ui->ocpLabel->show(), ui->setOcp->show(), ui->ocpUnit->show();
    ui->uvpLabel->show(), ui->setUvp->show(), ui->uvpUnit->show();
}

void ViewSet::onCrCvModeUiChange()
{
    onCrModeUiChange();
    ui->setVolt->setFocus(Qt::OtherFocusReason);
}

void ViewSet::onCvModeUiChange()
{
    showRows({ VoltRow }, ui->setVolt);
    ui->oppLabel->show(), ui->setOpp->show(), ui->oppUnit->show();
    ui->ocpLabel->show(), ui->setOcp->show(), ui->ocpUnit->show();
    ui->uvpLabel->hide(), ui->setUvp->hide(), ui->uvpUnit->hide();
}

void ViewSet::onCpModeUiChange()
{
    showRows({ PowerRow }, ui->setPower);
    ui->oppLabel->hide(), ui->setOpp->hide(), ui->oppUnit->hide();
    ui->ocpLabel->show(), ui->setOcp->show(), ui->ocpUnit->show();
    ui->uvpLabel->show(), ui->setUvp->show(), ui->uvpUnit->show();
}

void ViewSet::onArbModeUiChange()
{
    const bool slew = !m_model || m_model->arbResponse().isEmpty();
    if (slew)
        showRows({ PlotRow, SlewRow }, ui->setSlewRate);
    else
        showRows({ PlotRow }, ui->setSlewRate);
    ui->oppLabel->show(), ui->setOpp->show(), ui->oppUnit->show();
    ui->ocpLabel->hide(), ui->setOcp->hide(), ui->ocpUnit->hide();
    ui->uvpLabel->show(), ui->setUvp->show(), ui->uvpUnit->show();
}

// --- Waveforms ---

void ViewSet::freeze(zoDoubleSpinBox *entry, const QString &text)
{
    entry->setSpecialValueText(text);
    entry->setValue(entry->minimum() * entry->siFactor());
    entry->setReadOnly(true);
}

void ViewSet::thaw(zoDoubleSpinBox *entry, double value, const QString &text)
{
    entry->setSpecialValueText(text);
    entry->setValue(value);
    entry->setReadOnly(false);
}

void ViewSet::showResistance(double siemens)
{
    ui->setResistance->setValue(resistanceOf(siemens));
}

bool ViewSet::levelHasFocus() const
{
    return ui->setCurrent->hasFocus() || ui->setConductance->hasFocus();
}

void ViewSet::onNormalUiChange()
{
    if (mode() == Mode::CR) {
        const double g = m_basic ? m_basic->getRealConductanceLevel() : 0.0;
        showResistance(g);
        thaw(ui->setConductance, g);
        setRowVisible(ResistanceRow, true);
    } else {
        thaw(ui->setCurrent, m_basic ? m_basic->getRealCurrentLevel() : 0.0);
        thaw(ui->setPower, m_basic ? m_basic->getRealPowerLevel() : 0.0);
    }
    if (mode() == Mode::CC) {
        setRowVisible(SlewRow, true);
        if (m_keys)
            m_keys->viewSlewRate(true);
    }
    if (m_keys && levelHasFocus())
        m_keys->viewShortMode(false);
    m_short = false;
}

void ViewSet::onShortUiChange()
{
    freeze(ui->setCurrent, tr("Short"));
    freeze(ui->setConductance, tr("Short"));
    if (m_keys && levelHasFocus())
        m_keys->viewShortMode(true);
    m_short = true;
}

void ViewSet::onPulseUiChange()
{
    // No short while pulsing.
    if (m_keys && levelHasFocus())
        m_keys->ui->action->setEnabled(false);
    if (mode() == Mode::CC) {
        setRowVisible(SlewRow, true);
        if (m_keys)
            m_keys->viewSlewRate(true);
    }
}

void ViewSet::onSineUiChange()
{
    if (m_keys && levelHasFocus())
        m_keys->ui->action->setEnabled(false);
    if (m_keys)
        m_keys->viewSlewRate(false);
    setRowVisible(SlewRow, false);
}

void ViewSet::onExternalUiChange()
{
    freeze(ui->setCurrent, tr("External"));
    freeze(ui->setConductance, tr("External"));
    freeze(ui->setPower, tr("External"));
    ui->setResistance->hide();
    ui->resistanceUnit->hide();
}

void ViewSet::onCvExternalUiChange(bool enable)
{
    if (enable) {
        freeze(ui->setUvp, tr("External"));
        // The panel has always spelled it so.
        freeze(ui->setVolt, tr("Extrenal"));
        return;
    }
    const bool uvpOn = m_basic && m_basic->getVoltageProtectionState();
    thaw(ui->setUvp,
        uvpOn ? m_basic->getRealVoltageProtectionLevel()
              : ui->setUvp->minimum() * ui->setUvp->siFactor(),
        tr("OFF"));
    thaw(ui->setVolt, m_basic ? m_basic->getRealVoltageLevel() : 0.0);
}

// --- Focus ---

void ViewSet::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_keys)
        m_keys->selectItemClick();
}

bool ViewSet::eventFilter(QObject *watched, QEvent *event)
{
    const bool in = event->type() == QEvent::FocusIn;
    const bool out = event->type() == QEvent::FocusOut;
    if (!m_keys || (!in && !out))
        return QWidget::eventFilter(watched, event);
    Ui_FuncSourLevelBasic2 *keys = m_keys->ui;
    const auto disableAction = [keys] { keys->action->setEnabled(false); };

    if (watched == ui->setCurrent || watched == ui->setConductance) {
        if (out)
            disableAction();
        else {
            keys->value->setChecked(true);
            if (vek::Source::m_pulseState)
                disableAction();
            else
                m_keys->viewShortMode(m_short);
        }
    } else if (watched == ui->setPower) {
        if (out)
            disableAction();
        else
            keys->value->setChecked(true);
    } else if (watched == ui->setVolt) {
        if (in)
            keys->value->setChecked(true);
    } else if (watched == ui->setSlewRate) {
        if (in)
            keys->slewRate->setChecked(true);
    } else if (watched == ui->setOpp) {
        if (out)
            disableAction();
        else {
            keys->opp->setChecked(true);
            m_keys->viewProtectAction(actionOf(m_oppTrip));
        }
    } else if (watched == ui->setOcp) {
        if (out)
            disableAction();
        else {
            keys->ocp->setChecked(true);
            m_keys->viewProtectAction(actionOf(m_ocpTrip));
        }
    } else if (watched == ui->setUvp) {
        if (out || vek::Source::m_voltExternal)
            disableAction();
        else {
            keys->uvp->setChecked(true);
            m_keys->viewProtectAction(actionOf(m_uvpTrip));
        }
    }
    return QWidget::eventFilter(watched, event);
}
