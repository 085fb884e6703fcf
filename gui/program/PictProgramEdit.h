#pragma once

#include "commands/keywords/KeywordsSource.h"
#include "gui/toolkit/StandIn.h"

#include <QWidget>

// The program editor page held by the main window.
// Stands in for the real screen until it is built: shows its name and logs the calls it gets.
class PictProgramEdit : public QWidget, public StandIn
{
    Q_OBJECT

public:
    explicit PictProgramEdit(QWidget *parent = nullptr);
    void onCcModeUiChange();
    void onCrModeUiChange();
    void onCvModeUiChange();
    void onCpModeUiChange();
    void viewCurrRange();
    void viewLaststepRange();
    void viewVoltRange(KeywordBridge_LowHigh::values range);
};
