#pragma once

#include "tools/updater/Controller.h"

#include <QPalette>
#include <QStringList>
#include <QWidget>

class Ui_zoUpdater;

// The pauses of the update window (ms); tests shorten them.
struct UpdateDelays
{
    int startMs = 100; // start page shown -> the checks begin
    int finalMs = 200; // final page shown -> the controller's clean-up
    int successMs = 2000; // success page shown -> final page
};

// The update tool's one window: a page per step of the update (read from the board's contents
// folder, or a built-in text when the page is missing), a status line and the update script's
// progress bar. Return starts or retries the update, Escape ends it; both are disabled while the
// checks and the script run. It owns the Controller and drives it with start and final.
class zoUpdater : public QWidget
{
    Q_OBJECT
public:
    // With silent the update starts by itself once the controller is idle, as if Return had been
    // pressed.
    explicit zoUpdater(bool silent, QWidget *parent = nullptr, const UpdateDelays &delays = {});
    ~zoUpdater() override;

    Controller *controller() const { return m_controller; }

public slots:
    void onUiIdle();
    void onUiStart();
    void onUiError(Controller::ErrorMessage errorNumber);
    void onUiSuccess();
    void onUiFinal();
    void onUiProgressbarChange(int progressVal);
    void onUiStartUpdateShell();

private:
    // Sets the status line in color, then the page file's HTML, or the logo and fallback lines
    // (centred) when the file is missing and the page has a fallback.
    void showPage(const QString &page, const QStringList &fallback);
    void setStatus(const QString &text, const QColor &color);
    void setActionsEnabled(bool enabled);

    Ui_zoUpdater *m_ui;
    Controller *m_controller;
    QPalette m_labelPalette;
    UpdateDelays m_delays;
    bool m_silentStartPending;
};
