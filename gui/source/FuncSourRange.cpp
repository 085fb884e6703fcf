#include "gui/source/FuncSourRange.h"

FuncSourRange::FuncSourRange(QWidget *parent)
    : FuncWidget(parent)
    , StandIn(this, "FuncSourRange")
{ }

void FuncSourRange::viewFuncMode(KeywordBridge_CcCrCvCpArb::values mode)
{
    record(QStringLiteral("viewFuncMode(%1)").arg(QString::number(int(mode))));
}

void FuncSourRange::viewCurrRange(KeywordBridge_LowMedHigh::values range)
{
    record(QStringLiteral("viewCurrRange(%1)").arg(QString::number(int(range))));
}

void FuncSourRange::viewVoltRange(KeywordBridge_LowHigh::values range)
{
    record(QStringLiteral("viewVoltRange(%1)").arg(QString::number(int(range))));
}

void FuncSourRange::onLoadOnUiChange()
{
    record(QStringLiteral("onLoadOnUiChange"));
}

void FuncSourRange::onLoadOffUiChange()
{
    record(QStringLiteral("onLoadOffUiChange"));
}
