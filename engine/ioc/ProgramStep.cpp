#include "engine/ioc/ProgramStep.h"

#include "engine/ioc/AvlTree.h"

#include <QMutex>

#include <cstdint>

namespace ioc {

namespace {

// The pool: the only place steps live. Slot s starts at s * sizeof(ProgramStep).
alignas(ProgramStep) unsigned char s_pool[ProgramStep::PoolSize * sizeof(ProgramStep)];

// Guards s_inUse, s_lastTaken and s_freeCount. Steps are created in the GUI and parser threads.
QBasicMutex s_poolMutex;
bool s_inUse[ProgramStep::PoolSize];
// Starts on the last slot so that the first step after start-up takes slot 0.
int s_lastTaken = ProgramStep::PoolSize - 1;
int s_freeCount = ProgramStep::PoolSize;

// -1 for an address outside the pool.
int slotOf(const void *p)
{
    const auto offset = std::uintptr_t(p) - std::uintptr_t(s_pool);
    if (offset >= sizeof(s_pool))
        return -1;
    return int(offset / sizeof(ProgramStep));
}

} // namespace

void *ProgramStep::operator new(std::size_t size) noexcept
{
    if (size != sizeof(ProgramStep))
        return nullptr;
    QMutexLocker locker(&s_poolMutex);
    for (int i = 1; i <= PoolSize; ++i) {
        const int slot = (s_lastTaken + i) % PoolSize;
        if (!s_inUse[slot]) {
            s_inUse[slot] = true;
            s_lastTaken = slot;
            --s_freeCount;
            return s_pool + slot * sizeof(ProgramStep);
        }
    }
    return nullptr;
}

void ProgramStep::operator delete(void *p) noexcept
{
    if (!p)
        return;
    const int slot = slotOf(p);
    QMutexLocker locker(&s_poolMutex);
    Q_ASSERT(slot >= 0 && slot < PoolSize && s_inUse[slot]);
    if (slot >= 0 && slot < PoolSize && s_inUse[slot]) {
        s_inUse[slot] = false;
        ++s_freeCount;
    }
}

ProgramStep *ProgramStep::programStepInfo(quint32 nodeAddress)
{
    const quint32 slot = (nodeAddress - NodeBase) / NodeRecordBytes;
    if (slot >= quint32(PoolSize))
        return nullptr;
    QMutexLocker locker(&s_poolMutex);
    if (!s_inUse[slot])
        return nullptr;
    return reinterpret_cast<ProgramStep *>(s_pool + slot * sizeof(ProgramStep));
}

int ProgramStep::freeSlots()
{
    QMutexLocker locker(&s_poolMutex);
    return s_freeCount;
}

quint32 ProgramStep::setCommTriggerOutPulseWidth(long width)
{
    if (width < 0 || width > 1000000)
        return 0;
    long decade = 0;
    long scale = 1;
    while (width >= 1000 * scale && decade < 3) {
        ++decade;
        scale *= 10;
    }
    const long mantissa = width / scale; // up to 1000 for 1,000,000: hundreds digit 10
    const long h = mantissa / 100;
    const long t = (mantissa % 100) / 10;
    const long u = mantissa % 10;
    return quint32(((h * 256) & 0xFFF) | ((t * 16) & 0xFF) | (u & 0xF) | (decade << 12));
}

long ProgramStep::getCommTriggerOutPulseWidth(quint32 operate)
{
    const long h = (operate >> 8) & 0xF;
    const long t = (operate >> 4) & 0xF;
    const long u = operate & 0xF;
    long width = h * 100 + t * 10 + u;
    for (quint32 d = (operate >> 12) & 0x3; d > 0; --d)
        width *= 10;
    return width;
}

QVector<quint32> ProgramStep::messageWords(const QVector<StepRecord> &records)
{
    QVector<quint32> words;
    for (const StepRecord &record : records)
        words += writeUnit(record.address, record.words);
    return words;
}

ProgramStep::ProgramStep(unsigned stepNumber)
    : m_stepNumber(stepNumber)
    , m_nodeAddress(NodeBase + quint32(slotOf(this)) * NodeRecordBytes)
    , m_dataAddress(quint32(slotOf(this)) * DataRecordBytes)
{
    Q_ASSERT_X(slotOf(this) >= 0 && slotOf(this) < PoolSize,
        "ProgramStep",
        "steps are created with new, in the pool");
}

ProgramStep &ProgramStep::operator=(const ProgramStep &other)
{
    if (this == &other)
        return *this;
    m_time = other.m_time;
    m_operate = other.m_operate;
    m_dc = other.m_dc;
    m_slewOrCcLimit = other.m_slewOrCcLimit;
    m_cvLimit = other.m_cvLimit;
    m_cp = other.m_cp;
    m_uvp = other.m_uvp;
    m_rampIncrement = other.m_rampIncrement;
    m_rampRemainder = other.m_rampRemainder;
    m_rampStart = other.m_rampStart;
    m_rampOnCp = other.m_rampOnCp;
    m_loop = other.m_loop;
    m_dataChanged = true;
    m_linkChanged = true;
    return *this;
}

void ProgramStep::setTime(quint64 microseconds)
{
    const quint64 t = qBound(MinTime, microseconds, MaxTime);
    if (t != m_time) {
        m_time = t;
        m_dataChanged = true;
    }
}

void ProgramStep::setRealTime(double seconds)
{
    if (!(seconds > 0))
        return;
    const double us = seconds * 1e6;
    // Compare as double first: a huge value must not overflow the conversion.
    setTime(us >= double(MaxTime) ? MaxTime : quint64(us));
}

void ProgramStep::setOperate(quint32 word)
{
    setWord(m_operate, word);
}

void ProgramStep::setLoad(bool on)
{
    setOperateBit(LoadBit, on);
    m_dataChanged = true;
}

void ProgramStep::setARB(bool on)
{
    setOperateBit(ArbBit, on);
}

void ProgramStep::setOutputShort(bool on)
{
    setOperateBit(ShortBit, on);
}

void ProgramStep::setOcTripAction(bool trip)
{
    setOperateBit(OcTripBit, trip);
}

void ProgramStep::setOpTripAction(bool trip)
{
    setOperateBit(OpTripBit, trip);
}

void ProgramStep::setUvpState(bool on)
{
    setOperateBit(UvpBit, on);
}

void ProgramStep::setAddCV(bool on)
{
    setOperateBit(AddCvBit, on);
}

void ProgramStep::setTriggerWait(TrigWait flags)
{
    setWord(m_operate, (quint32(flags) & TrigWaitMask) | (m_operate & ~TrigWaitMask));
}

void ProgramStep::setTriggerGenerate(TrigGenerate flags)
{
    setWord(m_operate, (quint32(flags) & TrigGenerateMask) | (m_operate & ~TrigGenerateMask));
}

void ProgramStep::setTriggerOut(bool on)
{
    setOperateBit(GenerateTriggerOut, on);
}

void ProgramStep::setTriggerOutPulseWidth(long width)
{
    setWord(m_operate, setCommTriggerOutPulseWidth(width) | (m_operate & ~PulseWidthMask));
}

void ProgramStep::setDc(quint32 value)
{
    setWord(m_dc, value);
}

void ProgramStep::setSlewRate(quint32 value)
{
    setWord(m_slewOrCcLimit, value);
}

void ProgramStep::setCcLimit(quint32 value)
{
    setWord(m_slewOrCcLimit, value);
}

void ProgramStep::setCvLimit(quint32 value)
{
    setWord(m_cvLimit, value);
}

void ProgramStep::setCp(quint32 value)
{
    setWord(m_cp, value);
}

void ProgramStep::setUvp(quint32 value)
{
    setWord(m_uvp, value);
}

void ProgramStep::setRamp(bool on, quint32 start, quint32 target, bool onCp)
{
    setOperateBit(RampBit, on);
    if (onCp != m_rampOnCp) {
        m_rampOnCp = onCp;
        m_dataChanged = true; // decides which level word carries the start level
    }
    if (!on)
        return;
    const qint64 diff = qint64(target) - qint64(start);
    const quint64 magnitude = quint64(diff < 0 ? -diff : diff);
    quint32 increment = quint32(magnitude / m_time);
    if (diff < 0)
        increment |= 0x80000000;
    const quint32 remainder = quint32(magnitude % m_time);
    if (increment != m_rampIncrement || remainder != m_rampRemainder || start != m_rampStart) {
        m_rampIncrement = increment;
        m_rampRemainder = remainder;
        m_rampStart = start;
        m_dataChanged = true;
    }
}

void ProgramStep::setLoop(quint32 count)
{
    const quint32 n = count == 0 ? 1 : count;
    if (n != m_loop) {
        m_loop = n;
        m_linkChanged = true;
    }
}

void ProgramStep::setLeftChild(ProgramStep *step)
{
    if (step == m_left)
        return;
    m_left = step;
    m_leftAddress = step ? step->m_nodeAddress : NoChild;
    m_linkChanged = true;
}

void ProgramStep::setRightChild(ProgramStep *step)
{
    if (step == m_right)
        return;
    m_right = step;
    m_rightAddress = step ? step->m_nodeAddress : NoChild;
    m_linkChanged = true;
}

void ProgramStep::setSubProgram(const AvlTree *tree)
{
    if (!tree || !tree->head())
        return;
    setDataAddress(tree->head()->nodeAddress());
}

void ProgramStep::setOriginalStep()
{
    setLoop(1);
    setDataAddress(ownDataAddress());
}

StepRecord ProgramStep::dataRecord() const
{
    const bool ramp = isRamp();
    QVector<quint32> words(DataRecordWords, 0);
    words[0] = quint32(m_time);
    words[1] = quint32(m_time >> 32);
    words[2] = m_operate;
    words[3] = ramp && !m_rampOnCp ? m_rampStart : m_dc;
    words[4] = m_slewOrCcLimit;
    words[5] = m_cvLimit;
    words[6] = ramp && m_rampOnCp ? m_rampStart : m_cp;
    words[7] = m_uvp;
    words[8] = m_rampIncrement;
    words[9] = m_rampRemainder;
    return { m_dataAddress, words };
}

StepRecord ProgramStep::nodeRecord() const
{
    QVector<quint32> words(NodeRecordWords, 0);
    words[0] = m_loop;
    words[4] = m_dataAddress;
    words[5] = m_leftAddress;
    words[6] = m_rightAddress;
    return { m_nodeAddress, words };
}

QVector<StepRecord> ProgramStep::records() const
{
    QVector<StepRecord> out;
    if (m_dataChanged && !isSubProgram())
        out.append(dataRecord());
    if (m_linkChanged)
        out.append(nodeRecord());
    return out;
}

QVector<StepRecord> ProgramStep::takeRecords()
{
    QVector<StepRecord> out = records();
    m_dataChanged = false;
    m_linkChanged = false;
    return out;
}

void ProgramStep::setOperateBit(quint32 bit, bool on)
{
    setWord(m_operate, on ? (m_operate | bit) : (m_operate & ~bit));
}

void ProgramStep::setWord(quint32 &word, quint32 value)
{
    if (word != value) {
        word = value;
        m_dataChanged = true;
    }
}

void ProgramStep::setDataAddress(quint32 address)
{
    if (address == m_dataAddress)
        return;
    m_dataAddress = address;
    m_linkChanged = true;
    if (!isSubProgram())
        m_dataChanged = true;
}

void ProgramStep::takePayload(const ProgramStep &other)
{
    *this = other;
    setDataAddress(other.isSubProgram() ? other.m_dataAddress : ownDataAddress());
}

} // namespace ioc
