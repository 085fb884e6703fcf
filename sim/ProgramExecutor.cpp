#include "sim/ProgramExecutor.h"

#include <algorithm>

namespace sim {

namespace {
constexpr quint32 CmdStart = 0x1;
constexpr quint32 CmdAbort = 0x2;
constexpr quint32 CmdPause = 0x4;
constexpr quint32 CmdResume = 0x8;
constexpr quint32 CmdPulseStart = 0x20;
constexpr quint32 CmdMSync = 0x80;
constexpr quint32 CmdBus = 0x10000;

// Transient trigger sources of the trigger word.
constexpr quint32 SourceImmediate = 0x1;
constexpr quint32 SourceBus = 0x2;
constexpr quint32 SourceDigital2 = 0x20;
constexpr quint32 SourceMSync = 0x80;

constexpr int MaxPending = 4096; // a tree of the pool's 20,000 steps is far shallower

bool endless(quint32 count)
{
    return count & ProgramExecutor::Endless;
}
} // namespace

bool ProgramExecutor::isNodeAddress(quint32 address)
{
    const quint32 base = RegisterMemory::NodeBase;
    return address >= base && address < base + 32u * PoolSlots && (address - base) % 32 == 0;
}

void ProgramExecutor::reset()
{
    m_phase = Phase::Idle;
    m_paused = false;
    m_cutoff = false;
    m_sources = 0;
    m_head = 0;
    m_node = 0;
    m_applied = NoNode;
    m_loop = 0;
    m_frames.clear();
}

void ProgramExecutor::command(quint32 word, qint64 nowUs)
{
    if (word & CmdAbort)
        abort();
    if (word & (CmdStart | CmdPulseStart))
        start(nowUs);
    if (word & CmdPause)
        pause(nowUs);
    if (word & CmdResume)
        resume(nowUs);
    quint32 triggers = 0;
    if (word & CmdBus)
        triggers |= Bus;
    if (word & CmdMSync)
        triggers |= MSync;
    if (triggers)
        trigger(triggers, nowUs);
}

void ProgramExecutor::start(qint64 nowUs)
{
    abort();
    m_head = word(RegisterMemory::ProgramGroup);
    m_sources = m_memory.trigger(0);
    m_loop = 0;
    m_phase = Phase::StartWait;
    if (m_sources & SourceImmediate)
        triggered(nowUs);
}

void ProgramExecutor::triggered(qint64 nowUs)
{
    ++m_startTriggers;
    const quint32 delay = m_memory.trigger(1);
    if (delay > 0) {
        m_phase = Phase::StartDelay;
        m_delayEnd = nowUs + delay;
        return;
    }
    beginProgram(nowUs);
}

void ProgramExecutor::beginProgram(qint64 nowUs)
{
    if (!isNodeAddress(m_head)) {
        finish(nowUs);
        return;
    }
    Frame top;
    top.head = m_head;
    top.loops = std::max<quint32>(word(m_head), 1);
    m_frames = { top };
    nextStep(nowUs);
}

void ProgramExecutor::abort()
{
    m_phase = Phase::Idle;
    m_paused = false;
    m_frames.clear();
}

void ProgramExecutor::pause(qint64 nowUs)
{
    if (m_paused || (m_phase != Phase::Dwell && m_phase != Phase::StartDelay))
        return;
    m_paused = true;
    m_pausedAt = nowUs;
}

void ProgramExecutor::resume(qint64 nowUs)
{
    if (!m_paused)
        return;
    m_paused = false;
    const qint64 stood = nowUs - m_pausedAt;
    m_stepStart += stood;
    m_delayEnd += stood;
}

void ProgramExecutor::trigger(quint32 triggers, qint64 nowUs)
{
    switch (m_phase) {
    case Phase::StartWait: {
        const bool bus = (triggers & Bus) && (m_sources & SourceBus);
        const bool msync = (triggers & MSync) && (m_sources & SourceMSync);
        const bool pin = (triggers & Digital2) && (m_sources & SourceDigital2);
        if (bus || msync || pin)
            triggered(nowUs);
        break;
    }
    case Phase::WaitBefore: {
        const quint32 waits = StepRecord::read(m_memory, m_node).operate;
        const bool msync = (triggers & MSync) && (waits & StepRecord::WaitMSync);
        const bool pin = (triggers & Digital2) && (waits & StepRecord::WaitDigital2);
        if ((triggers & Bus) || msync || pin)
            beginDwell(nowUs);
        break;
    }
    case Phase::WaitAfter: {
        const quint32 waits = StepRecord::read(m_memory, m_node).operate;
        if ((triggers & Bus) || ((triggers & Input) && (waits & StepRecord::WaitInput)))
            nextStep(nowUs);
        break;
    }
    default:
        break;
    }
}

void ProgramExecutor::setCutoff(bool occurred, qint64 nowUs)
{
    m_cutoff = occurred;
    if (m_cutoff && m_phase == Phase::WaitAfter
        && (StepRecord::read(m_memory, m_node).operate & StepRecord::WaitCutoff))
        nextStep(nowUs);
}

std::optional<qint64> ProgramExecutor::nextEvent() const
{
    if (m_paused)
        return std::nullopt;
    if (m_phase == Phase::StartDelay)
        return m_delayEnd;
    if (m_phase == Phase::Dwell)
        return m_stepStart + qint64(std::min<quint64>(dwellUs(), quint64(1) << 62));
    return std::nullopt;
}

void ProgramExecutor::advance(qint64 nowUs)
{
    while (const auto due = nextEvent()) {
        if (*due > nowUs)
            break;
        if (m_phase == Phase::StartDelay)
            beginProgram(*due);
        else
            endDwell(*due);
    }
}

quint64 ProgramExecutor::dwellUs() const
{
    const StepRecord step = StepRecord::read(m_memory, m_applied);
    return std::max<quint64>(step.dwellUs, 1);
}

void ProgramExecutor::nextStep(qint64 nowUs)
{
    const quint32 node = nextNode();
    if (node == NoNode)
        finish(nowUs);
    else
        enterStep(node, nowUs);
}

quint32 ProgramExecutor::nextNode()
{
    for (int hops = 0; hops < MaxHops && !m_frames.isEmpty(); ++hops) {
        Frame &f = m_frames.last();
        if (f.node != NoNode && (endless(f.repeats) || f.repeat < f.repeats)) {
            ++f.repeat;
            const quint32 node = f.node;
            if (!call(node) && StepRecord::read(m_memory, node).valid)
                return node;
            continue; // a called program was pushed, or the node runs nothing
        }
        f.node = NoNode;
        if (!f.pending.isEmpty()) {
            f.node = f.pending.takeLast();
            f.repeat = 0;
            f.repeats = std::max<quint32>(word(f.node), 1);
            descend(f, word(f.node + 24));
            continue;
        }
        if (f.pass > 0 && !endless(f.loops) && f.pass >= f.loops) {
            m_frames.removeLast();
            continue;
        }
        ++f.pass;
        if (m_frames.size() == 1)
            m_loop = f.pass;
        descend(f, word(f.head + 16));
        if (f.pending.isEmpty())
            m_frames.removeLast(); // an empty tree ends its program
    }
    m_frames.clear();
    return NoNode;
}

bool ProgramExecutor::call(quint32 node)
{
    const quint32 head = word(node + 16);
    if (!isNodeAddress(head))
        return false;
    if (m_frames.size() >= MaxDepth)
        return true; // skipped: nothing pushed, the caller's walk goes on
    Frame callee;
    callee.head = head;
    callee.loops = std::max<quint32>(word(head), 1);
    m_frames.append(callee);
    return true;
}

void ProgramExecutor::descend(Frame &frame, quint32 node)
{
    while (isNodeAddress(node) && frame.pending.size() < MaxPending) {
        frame.pending.append(node);
        node = word(node + 20);
    }
}

void ProgramExecutor::enterStep(quint32 node, qint64 nowUs)
{
    m_node = node;
    if (StepRecord::read(m_memory, node).operate & StepRecord::WaitBefore)
        m_phase = Phase::WaitBefore;
    else
        beginDwell(nowUs);
}

void ProgramExecutor::beginDwell(qint64 nowUs)
{
    m_applied = m_node;
    m_stepStart = nowUs;
    m_phase = Phase::Dwell;
}

void ProgramExecutor::endDwell(qint64 nowUs)
{
    const quint32 waits = StepRecord::read(m_memory, m_applied).operate;
    if ((waits & StepRecord::WaitAfter) && !(m_cutoff && (waits & StepRecord::WaitCutoff))) {
        m_phase = Phase::WaitAfter;
        return;
    }
    nextStep(nowUs);
}

void ProgramExecutor::finish(qint64 nowUs)
{
    m_phase = Phase::Idle;
    m_frames.clear();
    const quint32 tail = m_head - 64;
    if (!isNodeAddress(m_head) || !isNodeAddress(tail))
        return;
    const quint32 last = word(tail + 16);
    if (!isNodeAddress(last) || !StepRecord::read(m_memory, last).valid)
        return;
    m_node = last;
    m_applied = last;
    m_stepStart = nowUs;
}

StepRecord ProgramExecutor::appliedStep(qint64 nowUs, bool rampOnCp) const
{
    if (m_applied == NoNode)
        return StepRecord();
    const StepRecord step = StepRecord::read(m_memory, m_applied);
    const qint64 at = m_paused ? m_pausedAt : nowUs;
    return step.rampedAt(quint64(std::max<qint64>(at - m_stepStart, 0)), rampOnCp);
}

quint32 ProgramExecutor::statusBits() const
{
    quint32 bits = 0;
    if (m_phase != Phase::Idle)
        bits |= StatusRunning;
    if (m_phase == Phase::StartWait || m_phase == Phase::WaitBefore || m_phase == Phase::WaitAfter)
        bits |= StatusWaiting;
    return bits;
}

} // namespace sim
