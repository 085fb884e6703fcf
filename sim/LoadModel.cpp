#include "sim/LoadModel.h"

#include <algorithm>
#include <cmath>

namespace sim {

bool LoadModel::setSource(double voc, double rint)
{
    if (!std::isfinite(voc) || !std::isfinite(rint) || rint < 0.0)
        return false;
    m_voc = voc;
    m_rint = rint;
    return true;
}

bool LoadModel::setVoltageFullScale(int code, double volts)
{
    if (code < 0 || code > 1 || !(volts > 0.0) || !std::isfinite(volts))
        return false;
    m_voltFs[code] = volts;
    return true;
}

bool LoadModel::setCurrentFullScale(int code, double amps)
{
    if (code < 0 || code > 2 || !(amps > 0.0) || !std::isfinite(amps))
        return false;
    m_currFs[code] = amps;
    return true;
}

int LoadModel::currentRangeCode(quint32 modeWord)
{
    // Mode word bits 8-9: 0x100 low, 0x200 medium, anything else high.
    const int bits = int((modeWord >> 8) & 3);
    return bits == 3 ? 0 : bits;
}

double LoadModel::shortCircuitAmps() const
{
    // An ideal source (no resistance) is limited by what the load can sink at most.
    return m_rint > 0.0 ? m_voc / m_rint : 2.0 * m_currFs[0];
}

LoadModel::Point LoadModel::operatingPoint(quint32 modeWord, const StepLocator::Step &step) const
{
    Point p;
    p.volts = m_voc;
    if (!step.valid || !step.loadOn() || m_voc <= 0.0)
        return p;

    // ARB runs the I-V table, which is not modelled: it regulates like CC at the DC level.
    const quint32 mode = (modeWord & 0x2000000) ? quint32(CC) : (modeWord & 0xF);
    const double isc = shortCircuitAmps();
    double amps = 0.0;
    if (step.shorted()) {
        amps = isc;
    } else if (mode & CC) {
        amps = std::min(step.dcLevel * 1e-6, isc);
    } else if (mode & CR) {
        const double g = step.dcLevel * 1e-6;
        amps = g * m_voc / (1.0 + g * m_rint);
    } else if (mode & CV) {
        const double vset = step.dcLevel * 1e-6;
        const double limit = step.ccLimit * 1e-6;
        if (vset < m_voc)
            amps = std::min(m_rint > 0.0 ? (m_voc - vset) / m_rint : limit, limit);
    } else if (mode & CP) {
        const double watts = step.cpLevel * 1e-6;
        if (m_rint <= 0.0) {
            amps = watts / m_voc;
        } else {
            // P = I (Voc - I R): the smaller root is the stable point; beyond the source's
            // maximum power the load settles at the maximum-power point.
            const double disc = m_voc * m_voc - 4.0 * m_rint * watts;
            amps =
                disc >= 0.0 ? (m_voc - std::sqrt(disc)) / (2.0 * m_rint) : m_voc / (2.0 * m_rint);
        }
    }
    amps = std::max(amps, 0.0);
    p.amps = amps;
    p.volts = m_voc - amps * m_rint;
    p.regulation = mode & 0xF;
    return p;
}

} // namespace sim
