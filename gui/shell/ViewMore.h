#pragma once

#include "gui/shell/SettingsView.h"

class FuncDisplay;

// The display items view of the measurement screen: whether the measurement display shows the
// elapsed time, the capacity and the energy read-outs.
class ViewMore : public SettingsView
{
    Q_OBJECT

public:
    ViewMore(FuncDisplay *keys, QWidget *parent);

private:
    void createLayout();

    FuncDisplay *m_keys; // not owned; its "Table" and "Chart" keys belong to the chart page
};
