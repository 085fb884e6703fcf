#pragma once

#include "gui/toolkit/FuncWidget.h"
#include "gui/toolkit/StandIn.h"

class FuncButton;

// The level page's basic keys. Holds the place of the real page: its keys "Slew Rate", "OPP" and
// "UVP" (object names slewRate, opp, uvp) exist so that the screen can click them; a click
// answers -200 in the self-closing box.
// Stands in for the real screen until it is built: shows its name and logs the calls it gets.
class FuncSourLevelBasic : public FuncWidget, public StandIn
{
    Q_OBJECT

public:
    explicit FuncSourLevelBasic(QWidget *parent = nullptr);
    void onCcModeUiChange();
    void onCrModeUiChange();
    void onCvModeUiChange();
    void onCpModeUiChange();
    void onArbModeUiChange();

    FuncButton *slewRate;
    FuncButton *opp;
    FuncButton *uvp;
};
