#pragma once

#include "gui/toolkit/FuncWidget.h"
#include "gui/toolkit/StandIn.h"

// The A/B/C preset page, in and out of its key-lock form.
// Stands in for the real screen until it is built: shows its name and logs the calls it gets.
class FuncSourMemory : public FuncWidget, public StandIn
{
    Q_OBJECT

public:
    explicit FuncSourMemory(QWidget *parent = nullptr);
    void setKeyLockMode();
    void clearKeyLockMode();
};
