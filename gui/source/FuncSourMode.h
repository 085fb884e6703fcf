#pragma once

#include "gui/toolkit/FuncWidget.h"
#include "gui/toolkit/StandIn.h"

// The mode page in each mode and load state.
// Stands in for the real screen until it is built: shows its name and logs the calls it gets.
class FuncSourMode : public FuncWidget, public StandIn
{
    Q_OBJECT

public:
    explicit FuncSourMode(QWidget *parent = nullptr);
    void onCcModeUiChange();
    void onCrModeUiChange();
    void onCvModeUiChange();
    void onCpModeUiChange();
    void onArbModeUiChange();
    void onLoadOnUiChange();
    void onLoadOffUiChange();
    void onLoadOffPulseShortUiChange();
    void onLoadOffSineUiChange();
};
