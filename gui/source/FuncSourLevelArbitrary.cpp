#include "gui/source/FuncSourLevelArbitrary.h"

FuncSourLevelArbitrary::FuncSourLevelArbitrary(QWidget *parent)
    : FuncWidget(parent)
    , StandIn(this, "FuncSourLevelArbitrary")
{ }
