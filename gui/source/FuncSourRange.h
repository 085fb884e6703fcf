#pragma once

#include "commands/keywords/KeywordsSource.h"
#include "gui/toolkit/FuncWidget.h"
#include "gui/toolkit/StandIn.h"

// The range page.
// Stands in for the real screen until it is built: shows its name and logs the calls it gets.
class FuncSourRange : public FuncWidget, public StandIn
{
    Q_OBJECT

public:
    explicit FuncSourRange(QWidget *parent = nullptr);
    void viewFuncMode(KeywordBridge_CcCrCvCpArb::values mode);
    void viewCurrRange(KeywordBridge_LowMedHigh::values range);
    void viewVoltRange(KeywordBridge_LowHigh::values range);
    void onLoadOnUiChange();
    void onLoadOffUiChange();

    // Whether the page offers current-range keys in the present mode, and voltage-range keys;
    // the stand-in offers both unless a test says otherwise.
    bool hasCurrentRangeKeys() const { return m_currentRangeKeys; }
    bool hasVoltageRangeKeys() const { return m_voltageRangeKeys; }
    bool m_currentRangeKeys = true;
    bool m_voltageRangeKeys = true;
};
