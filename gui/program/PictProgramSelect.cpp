#include "gui/program/PictProgramSelect.h"

PictProgramSelect::PictProgramSelect(QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "PictProgramSelect")
{ }
