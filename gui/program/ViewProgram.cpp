#include "gui/program/ViewProgram.h"

ViewProgram::ViewProgram(FuncProgExecute *, QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "ViewProgram")
{ }

void ViewProgram::onCcModeUiChange()
{
    record(QStringLiteral("onCcModeUiChange"));
}

void ViewProgram::onNotCcModeUiChange()
{
    record(QStringLiteral("onNotCcModeUiChange"));
}
