#include "gui/source/ViewSineWaveform.h"

ViewSineWaveform::ViewSineWaveform(FuncSourSine *, QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "ViewSineWaveform")
{ }

void ViewSineWaveform::viewCurrRange(KeywordBridge_LowMedHigh::values range)
{
    record(QStringLiteral("viewCurrRange(%1)").arg(QString::number(int(range))));
}
