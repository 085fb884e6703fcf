#pragma once

// Register units. One controller register unit is 1e-6 of the base unit for every setting and
// measurement: levels arrive as µA (CC), µS (CR), µV (CV) and µW (CP); a measurement record's
// voltage and current sums add one µV or µA value per sample (value = sum / samples * 1e-6);
// capacity is in µAh, energy in µWh and elapsed time in µs.

#include "sim/StepRecord.h"

#include <QVector>
#include <QtGlobal>

namespace sim {

// A DC source (open-circuit voltage, internal resistance) that the load sinks from, and the
// operating point the load's regulation mode makes of it.
class LoadModel
{
public:
    enum Mode : quint32 { CC = 0x1, CR = 0x2, CV = 0x4, CP = 0x8 };

    struct Point
    {
        double volts = 0.0;
        double amps = 0.0;
        quint32 regulation = 0; // status bits 0-3 while the load is on, else 0
    };

    double openCircuitVolts() const { return m_voc; }
    double internalOhms() const { return m_rint; }
    // Returns false (nothing changed) for a negative resistance or non-finite values.
    bool setSource(double voc, double rint);

    // Full scale of the voltage range (code 0 high, 1 low) and of the current range
    // (code 0 high, 1 low, 2 medium); beyond it a measurement is flagged over-range.
    double voltageFullScale(int code) const { return m_voltFs[code & 1]; }
    double currentFullScale(int code) const { return m_currFs[code % 3]; }
    bool setVoltageFullScale(int code, double volts);
    bool setCurrentFullScale(int code, double amps);

    // Operating point for the mode word and the active step; in ARB mode the load follows
    // arbTable, one µA code (upper 16 bits) per voltage step over the voltage range's full
    // scale. An entry of 0xFFFFFFFF holds the current range's full scale.
    Point operatingPoint(
        quint32 modeWord, const StepRecord &step, const QVector<quint32> &arbTable = {}) const;

    // Current range code of the flag word (0 high, 1 low, 2 medium) for a mode word.
    static int currentRangeCode(quint32 modeWord);
    static int voltageRangeCode(quint32 modeWord) { return (modeWord >> 23) & 1; }

private:
    double shortCircuitAmps() const;
    double arbAmps(quint32 modeWord, const QVector<quint32> &table) const;

    double m_voc = 12.0;
    double m_rint = 0.1;
    double m_voltFs[2] = { 150.0, 150.0 };
    double m_currFs[3] = { 30.0, 30.0, 30.0 };
};

} // namespace sim
