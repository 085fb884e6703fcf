#pragma once

#include "gui/shell/SettingsView.h"

class FuncProgTrigger;

// The transient trigger settings view of the measurement screen: the source and the delay of
// the trigger that program runs wait for.
class ViewTrigger : public SettingsView
{
    Q_OBJECT

public:
    ViewTrigger(FuncProgTrigger *keys, QWidget *parent);

private:
    void createLayout();

    FuncProgTrigger *m_keys; // not owned: the measurement screen owns its pages
};
