#include "gui/program/PictProgramEdit.h"

PictProgramEdit::PictProgramEdit(QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "PictProgramEdit")
{ }

void PictProgramEdit::onCcModeUiChange()
{
    record(QStringLiteral("onCcModeUiChange"));
}

void PictProgramEdit::onCrModeUiChange()
{
    record(QStringLiteral("onCrModeUiChange"));
}

void PictProgramEdit::onCvModeUiChange()
{
    record(QStringLiteral("onCvModeUiChange"));
}

void PictProgramEdit::onCpModeUiChange()
{
    record(QStringLiteral("onCpModeUiChange"));
}

void PictProgramEdit::viewCurrRange()
{
    record(QStringLiteral("viewCurrRange"));
}

void PictProgramEdit::viewLaststepRange()
{
    record(QStringLiteral("viewLaststepRange"));
}

void PictProgramEdit::viewVoltRange(KeywordBridge_LowHigh::values range)
{
    record(QStringLiteral("viewVoltRange(%1)").arg(QString::number(int(range))));
}
