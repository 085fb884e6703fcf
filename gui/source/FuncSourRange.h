#pragma once

#include "commands/keywords/KeywordsSource.h"
#include "gui/toolkit/FuncWidget.h"

class FuncButton;
class GroupFunc;
class ModelInformation;

namespace vek {
class Basic;
}

// The range page: current Low, Medium, High on F1 to F3 and voltage Low, High on F4 and F5,
// each key labelled with its range's full scale from the model (in CR also the conductance
// full scale). A range the model lacks has a disabled key; a kind with a single range gets
// disabled blank keys without panel keys. A press asks the engine for the range; the check
// marks follow the engine's range reports through the measurement screen. GUI thread only.
class FuncSourRange : public FuncWidget
{
    Q_OBJECT

public:
    // basic, model: the engine's basic settings and the model's ratings (not owned); without
    // the model every key is blank and disabled, without basic a press refuses with -200.
    FuncSourRange(vek::Basic *basic, const ModelInformation *model, QWidget *parent = nullptr);

    // Relabels the current keys: the conductance ranges decide which exist in CR (1), the
    // current ranges in any other mode.
    void viewFuncMode(KeywordBridge_CcCrCvCpArb::values mode);
    // Checks the key of the range chosen on the panel; other values change nothing.
    void viewCurrRange(KeywordBridge_LowMedHigh::values range);
    void viewVoltRange(KeywordBridge_LowHigh::values range);
    void onLoadOnUiChange();
    // Keys of ranges the model lacks stay disabled.
    void onLoadOffUiChange();

    // Whether the page offers current-range keys in the present mode (more than one range of
    // the kind the mode uses), and voltage-range keys; the measurement screen enables its range
    // menu key by them.
    bool m_currRangeEnable = false;
    bool m_voltRangeEnable = false;

    GroupFunc *m_currGroup;
    GroupFunc *m_voltGroup;
    // By range value: Low, Medium, High.
    FuncButton *m_currKeys[3];
    // By range value: Low, High.
    FuncButton *m_voltKeys[2];

private:
    void initButtonsText();

    vek::Basic *const m_basic;
    const ModelInformation *const m_model;
};
