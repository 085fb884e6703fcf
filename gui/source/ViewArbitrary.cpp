#include "gui/source/ViewArbitrary.h"

ViewArbitrary::ViewArbitrary(FuncSourLevelArbitrary *, QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "ViewArbitrary")
{ }
