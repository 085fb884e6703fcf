#pragma once

#include "sim/RegisterMemory.h"

namespace sim {

// One step as the controller applies it: the node that runs it and the words of its step data
// record (16 words at the data address), levels in controller register units.
struct StepRecord
{
    static constexpr quint32 LoadOn = 0x10000;
    static constexpr quint32 Ramp = 0x20000;
    static constexpr quint32 Short = 0x80000;
    // Trigger waits before the dwell (bus, DIGITAL2, mutual sync) and after it (trigger input,
    // cut-off); bit 11 is shared with the trigger-output pulse-width code.
    static constexpr quint32 WaitBus = 0x20000000;
    static constexpr quint32 WaitDigital2 = 0x40000000;
    static constexpr quint32 WaitMSync = 0x80000000;
    static constexpr quint32 WaitInput = 0x8000;
    static constexpr quint32 WaitCutoff = 0x800;
    static constexpr quint32 WaitBefore = WaitBus | WaitDigital2 | WaitMSync;
    static constexpr quint32 WaitAfter = WaitInput | WaitCutoff;

    bool valid = false;
    quint32 nodeAddress = 0;
    quint32 dataAddress = 0;
    quint64 dwellUs = 0;
    quint32 operate = 0;
    quint32 dcLevel = 0;
    quint32 ccLimit = 0; // also the slew rate
    quint32 cvLimit = 0;
    quint32 cpLevel = 0;
    quint32 uvLevel = 0;
    quint32 rampIncrement = 0; // bit 31: falling; bits 0-30: level change per µs
    quint32 rampRemainder = 0;

    bool loadOn() const { return operate & LoadOn; }
    bool shorted() const { return operate & Short; }
    bool ramps() const { return operate & Ramp; }

    // The record the node at nodeAddress runs; not valid when that is no step data record.
    static StepRecord read(const RegisterMemory &memory, quint32 nodeAddress);
    // The ramped level word (CP level when onCp, else DC level) elapsedUs into the dwell.
    StepRecord rampedAt(quint64 elapsedUs, bool onCp) const;
};

} // namespace sim
