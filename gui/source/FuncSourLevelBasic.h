#pragma once

#include "commands/keywords/KeywordsSource.h"
#include "gui/source/FuncSourLevelForms.h"

#include <QWidget>

// The level page's basic keys, which pick the entry of the level view that has the focus (the
// mode's level, slew rate, OPP, OCP, UVP), and its action key, which offers the output short
// on a level entry and the protection action on a protection entry. The keys only emit
// signals: the level view acts on them. GUI thread only.
class FuncSourLevelBasic : public QWidget
{
    Q_OBJECT

public:
    explicit FuncSourLevelBasic(QWidget *parent = nullptr);
    ~FuncSourLevelBasic() override;

    // Key set-up per mode; CC+CV uses the CC set-up and CR+CV the CR one.
    void onCcModeUiChange();
    void onCrModeUiChange();
    void onCvModeUiChange();
    void onCpModeUiChange();
    void onArbModeUiChange();

    // The action key offers the short: "Short On" checked while shorted, "Short Off" otherwise;
    // enabled only on a model with the short function.
    void viewShortMode(bool on) const;
    // The action key offers the protection action: "Action Limit" or "Action Trip", enabled.
    void viewProtectAction(KeywordBridge_LimitTrip::values action) const;
    void viewSlewRate(bool enable) const;
    // Clicks the checked key of the group "basic", if there is one.
    void selectItemClick() const;

    void setShortEnable(bool enable) { m_shortEnable = enable; }
    void setArbSlewRateEnable(bool enable) { m_arbSlewRateEnable = enable; }

    Ui_FuncSourLevelBasic2 *ui;

Q_SIGNALS:
    void valueClicked(bool checked);
    // No key emits it; the level view may connect it.
    void voltageClicked(bool checked);
    void slewRateClicked(bool checked);
    void oppClicked(bool checked);
    void ocpClicked(bool checked);
    void uvpClicked(bool checked);
    void actionClicked(bool checked);

private:
    struct ModeKeys;
    void setUpKeys(const ModeKeys &keys, bool slewRateEnabled);

    bool m_shortEnable = true;
    bool m_arbSlewRateEnable = true;
};
