#include "gui/source/ViewSet.h"

#include "engine/Source.h"
#include "gui/source/FuncSourLevelBasic.h"

ViewSet::ViewSet(FuncSourLevelBasic *page, QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "ViewSet")
{
    if (!page)
        return;
    // The entries the keys select are not built: each key says so. In ARB mode the value key
    // is the table key, which the measurement screen serves.
    const auto refuseKey = [this](const char *name) {
        return [this, name] {
            record(QStringLiteral("clicked ") + QLatin1String(name));
            if (qstrcmp(name, "value") != 0
                || vek::Source::m_functionMode != KeywordBridge_CcCrCvCpArb::ARB)
                refuse(this);
        };
    };
    connect(page, &FuncSourLevelBasic::valueClicked, this, refuseKey("value"));
    connect(page, &FuncSourLevelBasic::slewRateClicked, this, refuseKey("slewRate"));
    connect(page, &FuncSourLevelBasic::oppClicked, this, refuseKey("opp"));
    connect(page, &FuncSourLevelBasic::ocpClicked, this, refuseKey("ocp"));
    connect(page, &FuncSourLevelBasic::uvpClicked, this, refuseKey("uvp"));
    connect(page, &FuncSourLevelBasic::actionClicked, this, refuseKey("action"));
}

void ViewSet::onCcModeUiChange()
{
    record(QStringLiteral("onCcModeUiChange"));
}

void ViewSet::onCrModeUiChange()
{
    record(QStringLiteral("onCrModeUiChange"));
}

void ViewSet::onCvModeUiChange()
{
    record(QStringLiteral("onCvModeUiChange"));
}

void ViewSet::onCpModeUiChange()
{
    record(QStringLiteral("onCpModeUiChange"));
}

void ViewSet::onArbModeUiChange()
{
    record(QStringLiteral("onArbModeUiChange"));
}

void ViewSet::onNormalUiChange()
{
    record(QStringLiteral("onNormalUiChange"));
}

void ViewSet::onPulseUiChange()
{
    record(QStringLiteral("onPulseUiChange"));
}

void ViewSet::onSineUiChange()
{
    record(QStringLiteral("onSineUiChange"));
}

void ViewSet::onShortUiChange()
{
    record(QStringLiteral("onShortUiChange"));
}

void ViewSet::onExternalUiChange()
{
    record(QStringLiteral("onExternalUiChange"));
}

void ViewSet::onCvExternalUiChange(bool enable)
{
    record(
        QStringLiteral("onCvExternalUiChange(%1)").arg(QLatin1String(enable ? "true" : "false")));
}

void ViewSet::viewCurrRange(KeywordBridge_LowMedHigh::values range)
{
    record(QStringLiteral("viewCurrRange(%1)").arg(QString::number(int(range))));
}

void ViewSet::viewVoltRange(KeywordBridge_LowHigh::values range)
{
    record(QStringLiteral("viewVoltRange(%1)").arg(QString::number(int(range))));
}
