#include "gui/source/FuncSourMode.h"

FuncSourMode::FuncSourMode(QWidget *parent)
    : FuncWidget(parent)
    , StandIn(this, "FuncSourMode")
{ }

void FuncSourMode::onCcModeUiChange()
{
    record(QStringLiteral("onCcModeUiChange"));
}

void FuncSourMode::onCrModeUiChange()
{
    record(QStringLiteral("onCrModeUiChange"));
}

void FuncSourMode::onCvModeUiChange()
{
    record(QStringLiteral("onCvModeUiChange"));
}

void FuncSourMode::onCpModeUiChange()
{
    record(QStringLiteral("onCpModeUiChange"));
}

void FuncSourMode::onArbModeUiChange()
{
    record(QStringLiteral("onArbModeUiChange"));
}

void FuncSourMode::onLoadOnUiChange()
{
    record(QStringLiteral("onLoadOnUiChange"));
}

void FuncSourMode::onLoadOffUiChange()
{
    record(QStringLiteral("onLoadOffUiChange"));
}

void FuncSourMode::onLoadOffPulseShortUiChange()
{
    record(QStringLiteral("onLoadOffPulseShortUiChange"));
}

void FuncSourMode::onLoadOffSineUiChange()
{
    record(QStringLiteral("onLoadOffSineUiChange"));
}
