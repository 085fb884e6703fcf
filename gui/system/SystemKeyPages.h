#pragma once

#include "gui/toolkit/FuncWidget.h"

class FuncButton;
class GroupFunc;

// The soft-key pages of the system and file screens, keys F1 (top) to F5. The screens connect
// to the public keys; blank keys are disabled and kept in no member. GUI thread only.

// Configuration: "Edit" on F2 only.
class FuncSystemConfig : public FuncWidget
{
    Q_OBJECT

public:
    explicit FuncSystemConfig(QWidget *parent = nullptr);

    FuncButton *m_editButton;
};

// Interface settings: only "Modify" is enabled at start; the screen enables the others.
class FuncSystemInterface : public FuncWidget
{
    Q_OBJECT

public:
    explicit FuncSystemInterface(QWidget *parent = nullptr);

    FuncButton *m_modifyButton;
    FuncButton *m_editButton;
    FuncButton *m_applyButton;
    FuncButton *m_defaultButton;
    FuncButton *m_lanResetButton;
};

// The SCPI error list: "Clear" (disabled at start) on F1, "*RST" on F5.
class FuncSystemError : public FuncWidget
{
    Q_OBJECT

public:
    explicit FuncSystemError(QWidget *parent = nullptr);

    FuncButton *m_clearButton;
    FuncButton *m_rstButton;
};

// Administration: the three sub-page keys check as a radio set; F5 executes what the shown
// sub-page offers and emits the matching signal.
class FuncSystemAdmin : public FuncWidget
{
    Q_OBJECT

public:
    enum funcMode { ModeDateTime, ModeNtpAdjust, ModeSanitize, ModeUpdate };

    explicit FuncSystemAdmin(QWidget *parent = nullptr);

    // Relabels F5 ("Apply", "Check" or "Execute...") and enables "Tab" for the date pages
    // only. A value outside the enumeration changes nothing.
    void setFuncMode(funcMode mode);
    funcMode mode() const { return m_funcMode; }
    // Whether F5 reads "Check".
    bool isNtpAdjustKey() const;
    // Passed to F5's setChecked; F5 is not checkable, so its look stays.
    void setTimeNtpAdjust(bool on);

    GroupFunc *m_keyGroup;
    FuncButton *m_dateTimeButton;
    FuncButton *m_sanitizeButton;
    FuncButton *m_updateButton;
    FuncButton *m_tabButton;
    FuncButton *m_executeButton; // F5

Q_SIGNALS:
    void sanitizeClicked();
    void updateClicked();
    void applyClicked();
    void ntpAdjustClicked();

private:
    void onExecute();

    funcMode m_funcMode = ModeDateTime;
};

// The keys of the two file managers (setup files in internal memory, files on USB storage).
// The file pages call one of the mode operations whenever the current entry of their list
// changes; "Save As" follows the key lock, the folder and the acquisition state.
class FuncFile : public FuncWidget
{
    Q_OBJECT

public:
    FuncFile(QWidget *parent, FuncWidget::Color colour);

    // Stores the panel's key-lock state; the keys follow at the next mode call or SetSaveBtn.
    void setKeyLock(bool locked) { m_keyLock = locked; }
    bool keyLock() const { return m_keyLock; }

    // The selected folder is (not) on USB storage.
    void setUsbMemoryMode(bool usb);
    // No entry selected: every key disabled.
    void setPathEmptyMode();
    // A readable setup file.
    void setRecallSaveFileMode();
    // A setup file that may (recall) or may not be recalled.
    void setSaveFileMode(bool recall);
    // Any other file: only "Rename" ("Save As" stays as it is).
    void setOtherFileMode();

    FuncButton *m_recallButton;
    FuncButton *m_saveButton;
    FuncButton *m_saveAsButton;
    FuncButton *m_renameButton;
    FuncButton *m_propertyButton;

public Q_SLOTS:
    // Connected to vek::AcquireTrigger::initchanged: no new file while an acquisition runs.
    void SetSaveBtn(bool initiated);

private:
    void updateSaveAs();

    bool m_keyLock = false;
    bool m_initiated = false;
    bool m_usbMemory = false;
};
