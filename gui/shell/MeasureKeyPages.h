#pragma once

#include "gui/toolkit/FuncWidget.h"

class FuncButton;
class GroupFunc;

// The soft-key pages of the measurement screen's settings views, keys F1 (top) to F5. Each key
// is a public member the screens connect to, enable, check and relabel; the pages hold no logic
// of their own apart from the run panel's key states. Blank keys fill their place, disabled and
// kept in no member. GUI thread only.

// Advanced source settings.
class FuncSourMore : public FuncWidget
{
    Q_OBJECT

public:
    explicit FuncSourMore(QWidget *parent = nullptr);

    FuncButton *m_editButton;
    FuncButton *m_syncEnableButton;
    FuncButton *m_loadOnButton; // disabled at start
    FuncButton *m_loadOffButton; // disabled at start
};

// Program trigger settings: "Edit" on F2 only.
class FuncProgTrigger : public FuncWidget
{
    Q_OBJECT

public:
    explicit FuncProgTrigger(QWidget *parent = nullptr);

    FuncButton *m_editButton;
};

// The same keys as FuncProgTrigger in red; no screen builds it.
class FuncMore : public FuncWidget
{
    Q_OBJECT

public:
    explicit FuncMore(QWidget *parent = nullptr);

    FuncButton *m_editButton;
};

// Pulse settings: "Pulse Off" on F1, then eight half-height keys in four pairs that check as one
// radio set; each of F2 to F5 cycles through its own pair.
class FuncSourPulse : public FuncWidget
{
    Q_OBJECT

public:
    explicit FuncSourPulse(QWidget *parent = nullptr);

    FuncButton *m_pulseOffButton;
    FuncButton *m_currentButton;
    FuncButton *m_slewRateButton;
    FuncButton *m_depthAmpereButton;
    FuncButton *m_depthPercentButton;
    FuncButton *m_frequencyButton;
    FuncButton *m_periodButton;
    FuncButton *m_dutyButton;
    FuncButton *m_timeHighButton;
    GroupFunc *m_keyGroup;
    GroupFunc *m_currentGroup; // F2
    GroupFunc *m_depthGroup; // F3
    GroupFunc *m_dutyGroup; // F5
    GroupFunc *m_frequencyGroup; // F4
};

// Sine settings: "Sine Off" on F1 and three radio keys on F2 to F4.
class FuncSourSine : public FuncWidget
{
    Q_OBJECT

public:
    explicit FuncSourSine(QWidget *parent = nullptr);

    FuncButton *m_sineOffButton;
    FuncButton *m_currentButton;
    FuncButton *m_amplitudeButton;
    FuncButton *m_frequencyButton;
    GroupFunc *m_keyGroup;
};

// Acquisition: initiate, edit, abort, m-sync and bus trigger.
class FuncAcquire : public FuncWidget
{
    Q_OBJECT

public:
    explicit FuncAcquire(QWidget *parent = nullptr);

    FuncButton *m_initiateButton;
    FuncButton *m_editButton;
    FuncButton *m_abortButton;
    FuncButton *m_msyncButton;
    FuncButton *m_triggerButton;
};

// Integral measurement: edit, and start, stop and reset of the capacity and energy integral.
class FuncData : public FuncWidget
{
    Q_OBJECT

public:
    explicit FuncData(QWidget *parent = nullptr);

    FuncButton *m_editButton;
    FuncButton *m_startButton;
    FuncButton *m_stopButton;
    FuncButton *m_resetButton;
};

// Display: edit, and "Table" / "Chart" as a radio pair.
class FuncDisplay : public FuncWidget
{
    Q_OBJECT

public:
    explicit FuncDisplay(QWidget *parent = nullptr);

    FuncButton *m_editButton;
    FuncButton *m_tableButton;
    FuncButton *m_chartButton;
};

// The program run panel. Until the first setState all five keys are enabled.
class FuncProgExecute : public FuncWidget
{
    Q_OBJECT

public:
    enum state {
        StateIdle,
        StateRun,
        StatePause,
        StateWaitMSync,
        StateWaitTrigger,
        StateAbortOnly
    };

    explicit FuncProgExecute(QWidget *parent = nullptr);

    // F5 reads "MSync" or "Trigger" (and answers F5) only while the program waits for one;
    // otherwise it is blank. Enables the keys the state allows and disables the others.
    void setState(state state);
    // Whether F5 reads "MSync".
    bool isMSyncState() const;

    FuncButton *m_initiateButton;
    FuncButton *m_abortButton;
    FuncButton *m_suspendButton;
    FuncButton *m_resumeButton;
    FuncButton *m_msyncButton; // F5: "MSync", "Trigger" or blank
};
