#pragma once

#include "gui/toolkit/FuncWidget.h"
#include "gui/toolkit/StandIn.h"

// The level page's arbitrary-table keys.
// Stands in for the real screen until it is built: shows its name and logs the calls it gets.
class FuncSourLevelArbitrary : public FuncWidget, public StandIn
{
    Q_OBJECT

public:
    explicit FuncSourLevelArbitrary(QWidget *parent = nullptr);
};
