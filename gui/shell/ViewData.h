#pragma once

#include "gui/shell/SettingsView.h"

class FuncData;

// The integral settings view of the measurement screen: the gate of the capacity and energy
// integrals with its automatic reset, and the keys that start, stop and reset the integral.
class ViewData : public SettingsView
{
    Q_OBJECT

public:
    ViewData(FuncData *keys, QWidget *parent);

private:
    void createLayout();
    void createConnections();

    FuncData *m_keys; // not owned: the measurement screen owns its pages
};
