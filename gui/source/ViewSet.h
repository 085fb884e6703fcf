#pragma once

#include "commands/keywords/KeywordsSource.h"
#include "gui/toolkit/StandIn.h"

#include <QWidget>

class FuncSourLevelBasic;

// The basic source settings view.
// Stands in for the real screen until it is built: shows its name and logs the calls it gets.
class ViewSet : public QWidget, public StandIn
{
    Q_OBJECT

public:
    ViewSet(FuncSourLevelBasic *page, QWidget *parent = nullptr);
    void onCcModeUiChange();
    void onCrModeUiChange();
    void onCvModeUiChange();
    void onCpModeUiChange();
    void onArbModeUiChange();
    void onNormalUiChange();
    void onPulseUiChange();
    void onSineUiChange();
    void onShortUiChange();
    void onExternalUiChange();
    void onCvExternalUiChange(bool enable);
    void viewCurrRange(KeywordBridge_LowMedHigh::values range);
    void viewVoltRange(KeywordBridge_LowHigh::values range);
};
