#pragma once

#include "commands/keywords/KeywordsSource.h"
#include "gui/toolkit/StandIn.h"

#include <QWidget>

class FuncSourPulse;

// The pulse settings view.
// Stands in for the real screen until it is built: shows its name and logs the calls it gets.
class ViewPulseWaveform : public QWidget, public StandIn
{
    Q_OBJECT

public:
    ViewPulseWaveform(FuncSourPulse *page, QWidget *parent = nullptr);
    void onCcModeUiChange();
    void onCrModeUiChange();
    void viewCurrRange(KeywordBridge_LowMedHigh::values range);

Q_SIGNALS:
    // Whether the pulse runs synchronised.
    void SyncChanged(bool sync);
};
