#pragma once

#include "engine/Status.h"

#include <QLabel>

// The operation-mode tile of the meter and chart pages: "C.C", "C.R", "C.V", "C.P" for the
// regulation mode and "OCP", "OPP", "UVP" for an active limit, on the mode's tile colour; empty
// and unstyled for the load off or an unknown value. GUI thread only.
class OperationStatus : public QLabel
{
    Q_OBJECT

public:
    explicit OperationStatus(QWidget *parent = nullptr);

public Q_SLOTS:
    void onOperationStatusChange(vek::Status::StatusOperation status);
};
