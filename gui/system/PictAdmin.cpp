#include "gui/system/PictAdmin.h"

PictAdmin::PictAdmin(QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "PictAdmin")
{ }
