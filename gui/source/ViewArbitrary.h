#pragma once

#include "gui/toolkit/StandIn.h"

#include <QWidget>

class FuncSourLevelArbitrary;

// The arbitrary I-V table view.
// Stands in for the real screen until it is built: shows its name and logs the calls it gets.
class ViewArbitrary : public QWidget, public StandIn
{
    Q_OBJECT

public:
    ViewArbitrary(FuncSourLevelArbitrary *page, QWidget *parent = nullptr);
};
