#pragma once

#include "gui/toolkit/FuncWidget.h"

class FuncButton;

// The soft-key pages of the program screens, keys F1 (top) to F5. The screens connect to the
// public keys; blank keys are disabled and kept in no member. GUI thread only.

// Program selection: "Select" checks; the others act once per press.
class FuncProg : public FuncWidget
{
    Q_OBJECT

public:
    explicit FuncProg(QWidget *parent = nullptr);

    FuncButton *m_selectButton;
    FuncButton *m_renameButton;
    FuncButton *m_createButton;
    FuncButton *m_subButton;
    FuncButton *m_deleteButton;
};

// Program copy between internal memory and USB storage. The keys sit 14 pixels lower than on
// the other pages (the screen's title bar is taller) and keep their natural heights.
class FuncProgExport : public FuncWidget
{
    Q_OBJECT

public:
    explicit FuncProgExport(QWidget *parent = nullptr);

    FuncButton *m_copyButton;
    FuncButton *m_pasteButton;
    FuncButton *m_overwriteButton;
    FuncButton *m_switchButton; // F5; F4 is blank
};
