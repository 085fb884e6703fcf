#pragma once

#include "gui/toolkit/StandIn.h"

#include <QWidget>

class FuncSourMore;

// The advanced source settings view.
// Stands in for the real screen until it is built: shows its name and logs the calls it gets.
class ViewSourceMore : public QWidget, public StandIn
{
    Q_OBJECT

public:
    ViewSourceMore(FuncSourMore *page, QWidget *parent = nullptr);
};
