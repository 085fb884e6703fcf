#include "gui/system/PictInterface.h"

PictInterface::PictInterface(QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "PictInterface")
{ }
