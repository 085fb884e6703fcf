#pragma once

#include "gui/shell/PictMeasure.h"

#include <QWidget>

#include <atomic>

class GroupFunc;
class PictAdmin;
class PictConfig;
class PictFile;
class PictInformation;
class PictInterface;
class PictProgramEdit;
class PictProgramExport;
class PictProgramSelect;
class PictSystError;
class PictUSBFile;
class QAction;
class QStackedWidget;
class Ui_Vek3r;

// The front panel's top-level window: the page stack above the soft-key bar, the four menu keys
// that open and close the bar, the LOAD keys and the soft keys' page selection. The key lock,
// the screen saver, the screen capture and the slave screen are not built yet. GUI thread only,
// except the error notifications, which any thread may call.
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
    PictSystError *pictSystError() const { return m_pictSystError; }
    PictFile *pictFile() const { return m_pictFile; }
    // Menu key 1 (Source): F11, Alt+S.
    QAction *menuAction1() const { return m_actionMenu1; }

    // Opens the bar on group, or closes it when group is the page it already shows (or is
    // null); opening clicks the group's checked key. The meter and chart take large fonts
    // while the bar is closed. Returns whether the bar is open.
    bool clickMenuKey(GroupFunc *group, bool checked);
    // Tells the home screen which menu is asked for and which the bar showed, then shows or
    // hides the bar.
    void viewFuncKey(bool show, GroupFunc *group);

Q_SIGNALS:
    void scpiErrorQueued();
    void scpiErrorDecued();

public Q_SLOTS:
    void onScpiErrorQueue();

private:
    void createWidgets();
    void createLayout();
    void createConnections();
    void connectPage(QObject *key, QWidget *page);
    void onMenuKey1();
    void onMenuKey(GroupFunc *group);
    void onMenuKey4();
    void switchLoad(bool on);
    int menuIndex(QWidget *group) const;

    const PanelEngine m_engine;
    Ui_Vek3r *ui;
    QStackedWidget *m_pages;
    PictMeasure *m_pictMeasure = nullptr;
    PictProgramEdit *m_pictProgramEdit = nullptr;
    PictProgramSelect *m_pictProgramSelect = nullptr;
    PictProgramExport *m_pictProgramExport = nullptr;
    PictFile *m_pictFile = nullptr;
    PictUSBFile *m_pictUSBFile = nullptr;
    PictConfig *m_pictConfig = nullptr;
    PictInterface *m_pictInterface = nullptr;
    PictInformation *m_pictInformation = nullptr;
    PictSystError *m_pictSystError = nullptr;
    PictAdmin *m_pictAdmin = nullptr;
    QAction *m_actionMenu1 = nullptr; // Source
    QAction *m_actionMenu2 = nullptr; // Measure
    QAction *m_actionMenu3 = nullptr; // Program
    QAction *m_actionMenu4 = nullptr; // System
    QAction *m_actionLoadToggle = nullptr;
    QAction *m_actionLoadOn = nullptr;
    QAction *m_actionLoadOff = nullptr;
};
