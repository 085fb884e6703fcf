#pragma once

#include "gui/toolkit/StandIn.h"

#include <QWidget>

class FuncProgExecute;

// The measurement screen's program run panel.
// Stands in for the real screen until it is built: shows its name and logs the calls it gets.
class ViewProgram : public QWidget, public StandIn
{
    Q_OBJECT

public:
    ViewProgram(FuncProgExecute *page, QWidget *parent = nullptr);
    void onCcModeUiChange();
    void onNotCcModeUiChange();
};
