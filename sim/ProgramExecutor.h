#pragma once

#include "sim/RegisterMemory.h"
#include "sim/StepRecord.h"

#include <QVector>
#include <optional>

namespace sim {

// Runs the step tree in register memory the way this controller does; where the records leave
// the controller's working open, it takes the plainest course:
// - A start command (0x1, 0x11, 0x20) drops any run and arms at the root register's head node.
//   It waits for a transient trigger source of the trigger word (0x1 at once, 0x2 bus command,
//   0x80 mutual-sync command, 0x20 the DIGITAL2 pin), then for the delay of trigger word 1 (µs).
// - A node runs what its data address names as often as its loop count says (bit 31: endless):
//   the head its tree in key order (the program's passes), a step its data record, a calling
//   step the called program's head. The loop counter is the top program's pass, from 1.
// - A step with a wait in bits 29-31 waits before it is applied, one with a wait in bits 15 or 11
//   after its dwell. The bus command continues any step wait; the mutual-sync command and the
//   pins continue the waits that name them; a cut-off that has occurred continues bit 11.
// - A step's words are read live, so a re-sent level applies at once; its dwell counts from
//   the step's start and is at least 1 µs. A ramp moves the level the mode regulates at (CP
//   level in CP mode, else the DC level) and holds its end after the dwell.
// - After the last pass the tail (head - 64) applies its last step and the run is idle: the
//   last step's levels hold until the next start. Abort stops where it is and holds the levels.
//   Sub-programs end without a last step. Pause freezes a dwell or the trigger delay.
// - Calls nested deeper than MaxDepth are skipped; a walk of MaxHops nodes without a step ends
//   the run, so garbage links cannot hang the board.
// Status bit 30: a start has not yet ended or been aborted; bit 31: waiting for a trigger.
class ProgramExecutor
{
public:
    enum class Phase { Idle, StartWait, StartDelay, WaitBefore, Dwell, WaitAfter };
    // Trigger events, ORed.
    enum Trigger : quint32 { Bus = 0x1, MSync = 0x2, Input = 0x4, Digital2 = 0x8 };

    static constexpr quint32 NoNode = 0xFFFFFFFF;
    static constexpr quint32 Endless = 0x80000000;
    static constexpr int PoolSlots = 20000;
    static constexpr int MaxDepth = 64;
    static constexpr int MaxHops = 100000;
    static constexpr quint32 StatusRunning = 0x40000000;
    static constexpr quint32 StatusWaiting = 0x80000000;

    explicit ProgramExecutor(const RegisterMemory &memory)
        : m_memory(memory)
    { }

    void reset();
    // Program command bits of a command-register write: abort, start, pause, resume, bus
    // trigger (0x10000) and mutual-sync trigger, taken in that order.
    void command(quint32 word, qint64 nowUs);
    void trigger(quint32 triggers, qint64 nowUs);
    // Whether a cut-off has occurred (cut-off byte bits 4-7).
    void setCutoff(bool occurred, qint64 nowUs);

    // Time of the next step change or delay end, when one is pending.
    std::optional<qint64> nextEvent() const;
    // Runs every event due at or before nowUs.
    void advance(qint64 nowUs);

    // The step whose levels are applied at nowUs (ramp resolved); not valid: none, load off.
    StepRecord appliedStep(qint64 nowUs, bool rampOnCp) const;
    quint32 nodeAddress() const { return m_node; }
    quint32 loopCounter() const { return m_loop; }
    Phase phase() const { return m_phase; }
    bool paused() const { return m_paused; }
    quint32 statusBits() const;
    // Starts that have been triggered (left the start trigger wait) since construction.
    quint64 startTriggers() const { return m_startTriggers; }

    static bool isNodeAddress(quint32 address);

private:
    struct Frame
    {
        quint32 head = 0;
        quint32 loops = 1;
        quint32 pass = 0;
        QVector<quint32> pending; // ancestors still to run, in key order from the back
        quint32 node = NoNode;
        quint32 repeats = 0;
        quint32 repeat = 0;
    };

    void start(qint64 nowUs);
    void triggered(qint64 nowUs);
    void beginProgram(qint64 nowUs);
    void abort();
    void pause(qint64 nowUs);
    void resume(qint64 nowUs);
    void nextStep(qint64 nowUs);
    quint32 nextNode();
    bool call(quint32 node);
    void descend(Frame &frame, quint32 node);
    void enterStep(quint32 node, qint64 nowUs);
    void beginDwell(qint64 nowUs);
    void endDwell(qint64 nowUs);
    void finish(qint64 nowUs);
    quint64 dwellUs() const;
    quint32 word(quint32 address) const { return m_memory.word(address); }

    const RegisterMemory &m_memory;
    Phase m_phase = Phase::Idle;
    bool m_paused = false;
    bool m_cutoff = false;
    qint64 m_pausedAt = 0;
    qint64 m_delayEnd = 0;
    qint64 m_stepStart = 0; // when the applied step began (moved on by a pause)
    quint32 m_sources = 0; // transient trigger sources of the armed start
    quint32 m_head = 0; // head node of the started program
    quint32 m_node = 0; // node being executed, status block word 2
    quint32 m_applied = NoNode; // node whose step is applied
    quint32 m_loop = 0;
    quint64 m_startTriggers = 0;
    QVector<Frame> m_frames; // the started program at the front, called ones after it
};

} // namespace sim
