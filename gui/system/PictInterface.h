#pragma once

#include "gui/toolkit/StandIn.h"

#include <QWidget>

// The remote-interface settings page held by the main window.
// Stands in for the real screen until it is built: shows its name and logs the calls it gets.
class PictInterface : public QWidget, public StandIn
{
    Q_OBJECT

public:
    explicit PictInterface(QWidget *parent = nullptr);
};
