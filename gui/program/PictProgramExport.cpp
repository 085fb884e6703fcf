#include "gui/program/PictProgramExport.h"

PictProgramExport::PictProgramExport(QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "PictProgramExport")
{ }
