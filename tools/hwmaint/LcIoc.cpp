#include "tools/hwmaint/LcIoc.h"

#include "tools/hwmaint/RegWordWriteTransfer.h"

#include <QMutexLocker>

namespace ioc {

LcIoc::LcIoc(quint32 base, QVector<RegWriteTransfer *> *queue, QMutex *mutex, QObject *parent)
    : QObject(parent)
    , m_base(base)
    , m_queue(queue)
    , m_mutex(mutex)
{ }

quint32 LcIoc::control() const
{
    QMutexLocker lock(m_mutex);
    return m_control;
}

void LcIoc::setSenseNetwork(LcIoc::Network network)
{
    // Told before the write is queued, outside the owner's mutex (its slot may take it).
    Q_EMIT networkUpdated(network);
    setField(0xF0000000, network);
}

void LcIoc::setSenseCurrentMode(LcIoc::LcSenseMode mode)
{
    setField(0x30000, mode);
}

void LcIoc::setSenselVoltageRange(LcIoc::LcVoltRange range)
{
    setField(0xE000, range);
}

void LcIoc::set110PolarityOutput(LcIoc::PolarityOutput output)
{
    setField(0xC0000, output);
}

void LcIoc::setCalculateScalelState(bool on)
{
    setBit(4, on);
}

void LcIoc::setCalculateScaleOffset(double offset)
{
    queueSigned(0x50, offset * 1e9);
}

void LcIoc::transferControl()
{
    QMutexLocker lock(m_mutex);
    auto *t = new RegWordWriteTransfer<unsigned int, 1>(m_base);
    t->append(m_control);
    m_queue->append(t);
}

void LcIoc::setField(quint32 mask, quint32 value)
{
    QMutexLocker lock(m_mutex);
    m_control = (m_control & ~mask) | (value & mask);
    auto *t = new RegWordWriteTransfer<unsigned int, 1>(m_base);
    t->append(m_control);
    m_queue->append(t);
}

void LcIoc::setBit(int bit, bool on)
{
    setField(1u << bit, on ? 1u << bit : 0u);
}

void LcIoc::queueSigned(quint32 offset, double value)
{
    QMutexLocker lock(m_mutex);
    auto *t = new RegWordWriteTransfer<int, 1>(m_base + offset);
    t->append(RegWriteTransfer::toSigned(value));
    m_queue->append(t);
}

void LcIoc::queueUnsigned(quint32 offset, double value)
{
    QMutexLocker lock(m_mutex);
    auto *t = new RegWordWriteTransfer<unsigned int, 1>(m_base + offset);
    t->append(RegWriteTransfer::toUnsigned(value));
    m_queue->append(t);
}

void PccIoc::setSenseJudgmentUpper(double amps)
{
    queueSigned(0x30, amps * 1e6);
}

void PccIoc::setSenseJudgmentLower(double amps)
{
    queueSigned(0x34, amps * 1e6);
}

void PccIoc::setSenseTimerDelay(double seconds)
{
    queueUnsigned(0x40, seconds * 1000);
}

void PccIoc::setSenseTimer(double seconds)
{
    queueUnsigned(0x10, seconds * 1000);
}

void PccIoc::setSenseJudgUpperState(bool on)
{
    setBit(1, on);
}

void PccIoc::setSenseJudgLowerState(bool on)
{
    setBit(0, on);
}

void PccIoc::setSenseTimerDelayState(bool on)
{
    setBit(12, on);
}

void PccIoc::setSenseTimerState(bool on)
{
    setBit(6, on);
}

void PccIoc::setSenseConditionFault(LcIoc::ConditionFault fault)
{
    setField(0x700000, fault);
}

void PccIoc::setPolarity(LcIoc::Polarity polarity)
{
    setField(0x800000, polarity);
}

void TcIoc::setSenseProbe(LcIoc::Probe probe)
{
    setField(0xF000000, probe);
}

} // namespace ioc
