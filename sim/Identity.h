#pragma once

#include <QVector>
#include <QtGlobal>

namespace sim {

// Who the simulated controller says it is: the identification block (0xF0000500) and the unit
// block (0xF0000600). Versions are packed as major << 16 | minor << 8 | build.
struct Identity
{
    quint16 modelCode = 4101;
    QVector<quint16> unitCodes { 4101 };
    quint32 firmware = (2u << 16) | (5u << 8) | 17u;
    quint32 fpga = (1u << 16) | (2u << 8) | 3u;
    quint32 calYear = 2025;
    quint16 calMonth = 3;
    quint16 calDay = 14;
    bool calValid = true;

    // Word i of the identification block, as the controller sends it.
    quint32 identificationWord(int i) const
    {
        switch (i) {
        case 1:
            return quint32(modelCode) << 16;
        case 2:
            return calYear;
        case 3:
            return (quint32(calMonth) << 16) | calDay;
        case 4:
            return (firmware & 0xFFFFFF) | (calValid ? 0u : 0xFF000000u);
        case 5:
            return fpga & 0xFFFFFF;
        default:
            return 0;
        }
    }

    // Word i of the unit block: 15 entries of two words, the code in bits 16-31 of the second.
    quint32 unitWord(int i) const
    {
        const int entry = i / 2;
        if (i % 2 == 0 || entry >= unitCodes.size() || entry >= 15)
            return 0;
        return quint32(unitCodes.at(entry)) << 16;
    }
};

} // namespace sim
