#include "gui/source/ViewSourceMore.h"

ViewSourceMore::ViewSourceMore(FuncSourMore *, QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "ViewSourceMore")
{ }
