#include "sim/StepRecord.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {
constexpr quint32 DataArea = 64u * 20000; // data records of the 20,000 pool slots
} // namespace

StepRecord StepRecord::read(const RegisterMemory &memory, quint32 nodeAddress)
{
    StepRecord step;
    const quint32 data = memory.word(nodeAddress + 16);
    if (data >= DataArea || data % 64 != 0)
        return step;
    step.valid = true;
    step.nodeAddress = nodeAddress;
    step.dataAddress = data;
    step.dwellUs = quint64(memory.word(data)) | (quint64(memory.word(data + 4)) << 32);
    step.operate = memory.word(data + 8);
    step.dcLevel = memory.word(data + 12);
    step.ccLimit = memory.word(data + 16);
    step.cvLimit = memory.word(data + 20);
    step.cpLevel = memory.word(data + 24);
    step.uvLevel = memory.word(data + 28);
    step.rampIncrement = memory.word(data + 32);
    step.rampRemainder = memory.word(data + 36);
    return step;
}

StepRecord StepRecord::rampedAt(quint64 elapsedUs, bool onCp) const
{
    if (!ramps() || dwellUs == 0)
        return *this;
    // The level word holds the start; increment and remainder spread |target - start| over the
    // dwell: increment · dwell + remainder.
    const double t = double(std::min(elapsedUs, dwellUs));
    const double change =
        double(rampIncrement & 0x7FFFFFFF) * t + double(rampRemainder) * t / double(dwellUs);
    StepRecord r = *this;
    quint32 &level = onCp ? r.cpLevel : r.dcLevel;
    const double v = (rampIncrement & 0x80000000) ? level - change : level + change;
    level = quint32(std::llround(std::clamp(v, 0.0, 4294967295.0)));
    return r;
}

} // namespace sim
