#include "gui/system/PictConfig.h"

PictConfig::PictConfig(QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "PictConfig")
{ }
