#pragma once

#include "gui/toolkit/StandIn.h"

#include <QWidget>

class ModelInformation;

// The instrument information page held by the main window, over the engine's model information.
// Stands in for the real screen until it is built: shows its name and logs the calls it gets.
class PictInformation : public QWidget, public StandIn
{
    Q_OBJECT

public:
    explicit PictInformation(const ModelInformation *info, QWidget *parent = nullptr);

private:
    const ModelInformation *m_info;
};
