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

double LoadModel::arbAmps(quint32 modeWord, const QVector<quint32> &table) const
{
    const int n = table.size();
    if (n < 2)
        return 0.0;
    const double step = voltageFullScale(voltageRangeCode(modeWord)) / (n - 1);
    const double limit = currentFullScale(currentRangeCode(modeWord));
    auto curve = [&](int k) {
        return table[k] == 0xFFFFFFFFu ? limit : double(table[k] >> 16) * 65536.0 * 1e-6;
    };
    if (m_rint <= 0.0) {
        const int k = std::min(n - 1, int(std::lround(m_voc / step)));
        return curve(k);
    }
    // The source line I = (Voc - V) / R falls as V rises; the load settles where the curve
    // meets it, found between two voltage steps and interpolated.
    auto source = [&](double v) {
        return std::max(0.0, (m_voc - v) / m_rint);
    };
    double previous = curve(0) - source(0.0);
    if (previous >= 0.0)
        return source(0.0);
    for (int k = 1; k < n; ++k) {
        const double gap = curve(k) - source(k * step);
        if (gap >= 0.0) {
            const double v = (k - 1 + previous / (previous - gap)) * step;
            return source(v);
        }
        previous = gap;
    }
    return curve(n - 1);
}

LoadModel::Point LoadModel::operatingPoint(
    quint32 modeWord, const StepRecord &step, const QVector<quint32> &arbTable) const
{
    Point p;
    p.volts = m_voc;
    if (!step.valid || !step.loadOn() || m_voc <= 0.0)
        return p;

    const bool arb = modeWord & 0x2000000;
    const quint32 mode = arb ? quint32(CC) : (modeWord & 0xF);
    const double isc = shortCircuitAmps();
    double amps = 0.0;
    if (step.shorted()) {
        amps = isc;
    } else if (arb) {
        amps = std::min(arbAmps(modeWord, arbTable), isc);
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
