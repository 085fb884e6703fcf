#pragma once

#include <QVector>
#include <QtGlobal>

// The controller's identification as the model information needs it: the unit's own model
// code, the codes of further units joined in parallel, and the versions (controller firmware
// first, FPGA second; empty when the identification was not valid).
struct ModelReport
{
    struct Version
    {
        quint8 major = 0;
        quint8 minor = 0;
        quint8 build = 0;
        quint8 reserved = 0;
    };

    quint16 modelCode = 1205;
    QVector<quint16> unitModelCodes;
    QVector<Version> versions;
};
