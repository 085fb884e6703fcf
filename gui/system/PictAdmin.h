#pragma once

#include "gui/toolkit/StandIn.h"

#include <QWidget>

// The administrator page held by the main window.
// Stands in for the real screen until it is built: shows its name and logs the calls it gets.
class PictAdmin : public QWidget, public StandIn
{
    Q_OBJECT

public:
    explicit PictAdmin(QWidget *parent = nullptr);
};
