#include "gui/source/ViewPulseWaveform.h"

ViewPulseWaveform::ViewPulseWaveform(FuncSourPulse *, QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "ViewPulseWaveform")
{ }

void ViewPulseWaveform::onCcModeUiChange()
{
    record(QStringLiteral("onCcModeUiChange"));
}

void ViewPulseWaveform::onCrModeUiChange()
{
    record(QStringLiteral("onCrModeUiChange"));
}

void ViewPulseWaveform::viewCurrRange(KeywordBridge_LowMedHigh::values range)
{
    record(QStringLiteral("viewCurrRange(%1)").arg(QString::number(int(range))));
}
