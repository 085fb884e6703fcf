#include "gui/source/ViewSet.h"

ViewSet::ViewSet(FuncSourLevelBasic *, QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "ViewSet")
{ }

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
