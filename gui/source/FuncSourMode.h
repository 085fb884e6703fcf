#pragma once

#include "gui/toolkit/FuncWidget.h"

#include <QWidget>

class FuncButton;
class GroupFunc;
class QStackedWidget;

namespace vek {
class Basic;
}

// The mode keys CC, CR, CV, CP and ARB (F1 to F5) in one radio group, styled blue in rows.
class FuncSourPage1 : public FuncWidget
{
    Q_OBJECT

public:
    explicit FuncSourPage1(QWidget *parent = nullptr);

    GroupFunc *m_group;
    // By mode value: CC, CR, CV, CP, ARB.
    FuncButton *m_keys[5];
};

// The mode page: asks the engine for the mode of the key pressed and shows, by the slots the
// measurement screen calls, which mode is in force and which modes may be chosen now. The
// engine's answer is not looked at: a refused change leaves the keys as they are, and an
// accepted one comes back through the screen's mode slots. GUI thread only.
class FuncSourMode : public QWidget
{
    Q_OBJECT

public:
    // basic: the engine's basic settings (not owned); without it the keys refuse with -200.
    explicit FuncSourMode(vek::Basic *basic, QWidget *parent = nullptr);

    FuncSourPage1 *page() const { return m_page1; }

    void onCcModeUiChange();
    void onCcCvModeUiChange();
    void onCrModeUiChange();
    void onCrCvModeUiChange();
    void onCvModeUiChange();
    void onCpModeUiChange();
    void onArbModeUiChange();
    // Only the checked key stays enabled (none when no key is checked).
    void onLoadOnUiChange();
    void onLoadOnCvUiChange();
    void onLoadOffUiChange();
    void onLoadOffPulseShortUiChange();
    void onLoadOffSineUiChange();

private:
    void createWidgets();
    void createLayout();
    void createConnections();
    void check(int mode);
    // Enables the keys of the modes in `modes` (bit n: mode value n) and disables the others.
    void enableModes(unsigned modes);

    vek::Basic *const m_basic;
    QStackedWidget *m_stack = nullptr;
    FuncSourPage1 *m_page1 = nullptr;
};
