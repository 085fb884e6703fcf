#pragma once

#include "commands/keywords/KeywordsSource.h"
#include "gui/toolkit/StandIn.h"

#include <QWidget>

class FuncSourSine;

// The sine settings view.
// Stands in for the real screen until it is built: shows its name and logs the calls it gets.
class ViewSineWaveform : public QWidget, public StandIn
{
    Q_OBJECT

public:
    ViewSineWaveform(FuncSourSine *page, QWidget *parent = nullptr);
    void viewCurrRange(KeywordBridge_LowMedHigh::values range);

Q_SIGNALS:
    // Whether the sine runs synchronised.
    void SyncChanged(bool sync);
};
