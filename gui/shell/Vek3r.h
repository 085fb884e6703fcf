#pragma once

#include "gui/shell/PictMeasure.h"

#include <QWidget>

#include <atomic>

class PictProgramEdit;
class PictProgramExport;
class PictProgramSelect;
class QAction;
class QStackedWidget;
class Ui_Vek3r;

// The front panel's top-level window: the page stack above the soft-key bar. So far it holds the
// home screen and the program pages and offers the menu-key states the home screen sets; the
// menu keys, the other pages and the key handling are not built yet. GUI thread only, except
// the error notifications, which any thread may call.
class Vek3r : public QWidget
{
    Q_OBJECT

public:
    // The live window, set once the form exists, cleared by the destructor.
    static std::atomic<Vek3r *> s_pSelf;

    explicit Vek3r(const PanelEngine &engine, QWidget *parent = nullptr);
    ~Vek3r() override;

    // The error hook's notifications (commands/SystErrCustom): called in whichever thread
    // queued or took an error, they emit scpiErrorQueued() or scpiErrorDecued() of the live
    // window, if any, and so reach the GUI thread queued.
    static void notifyScpiErrorQueued();
    static void notifyScpiErrorDecued();

    // Enables or disables the waveform column (·Sine, ·Pulse).
    void setWaveformUiEnable(bool enable);
    // ·Sine is enabled only when on and the model has a sine function range.
    void setSineWaveformUiEnable(bool on);
    // Enables or disables "Range".
    void setRangeUiEnable(bool enable);
    // Menu key 1 is disabled while a program runs. A start while the bar shows the Source menu
    // switches it to the Program menu and its run panel.
    void setUiInitateProgram(bool running);

    const Ui_Vek3r *form() const { return ui; }
    QStackedWidget *pages() const { return m_pages; }
    PictMeasure *pictMeasure() const { return m_pictMeasure; }
    PictProgramEdit *pictProgramEdit() const { return m_pictProgramEdit; }
    // Menu key 1 (Source); the key handling binds it.
    QAction *menuAction1() const { return m_actionMenu1; }

Q_SIGNALS:
    void scpiErrorQueued();
    void scpiErrorDecued();

public Q_SLOTS:
    void onScpiErrorQueue();

private:
    const PanelEngine m_engine;
    Ui_Vek3r *ui;
    QStackedWidget *m_pages;
    PictMeasure *m_pictMeasure = nullptr;
    PictProgramEdit *m_pictProgramEdit = nullptr;
    PictProgramSelect *m_pictProgramSelect = nullptr;
    PictProgramExport *m_pictProgramExport = nullptr;
    QAction *m_actionMenu1;
};
