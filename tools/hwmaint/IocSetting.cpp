#include "tools/hwmaint/IocSetting.h"

#include "tools/hwmaint/RegWordWriteTransfer.h"

#include <QDeadlineTimer>
#include <QMutexLocker>

#include <cstring>

namespace ioc {

IocSetting::IocSetting(QObject *parent)
    : IoControl(parent)
{
    m_tc1 = new TcIoc(0x80004200, &m_queue, &m_mutex, this);
    m_pcc = new PccIoc(0x80004280, &m_queue, &m_mutex, this);
    m_tc2 = new TcIoc(0x80004300, &m_queue, &m_mutex, this);
    m_lc = new LcIoc(0x80004380, &m_queue, &m_mutex, this);
    connect(m_tc1, &LcIoc::networkUpdated, this, &IocSetting::onNetworkUpdate);
}

IocSetting::~IocSetting()
{
    // The worker must be gone before its queue: its pass runs this class's code.
    if (isRunning())
        stop();
    for (int i = m_queue.size() - 1; i >= 0; --i)
        delete m_queue.at(i);
}

void IocSetting::transfer()
{
    m_wake.wakeOne();
}

void IocSetting::initThread() { }

// Boot-mode values: bit 1 lets the controller run, bit 2 boots it from its flash memory
// (clear: the ISP boot code). The first write of a pair holds it in reset, the second starts it.
//
//               first   second
//   ISP boot      0       2
//   flash boot    4       6
void IocSetting::iocBootMode(bool isp, bool first)
{
    auto *t = new RegWordWriteTransfer<unsigned int, 1>(BootModeRegister);
    t->append((isp ? 0u : 4u) + (first ? 0u : 2u));
    enqueue(t);
}

void IocSetting::enqueue(RegWriteTransfer *transfer)
{
    QMutexLocker lock(&m_mutex);
    queueLocked(transfer);
}

void IocSetting::queueLocked(RegWriteTransfer *transfer)
{
    m_queue.append(transfer);
}

QVector<QVector<quint32>> IocSetting::queuedFrames() const
{
    QMutexLocker lock(&m_mutex);
    QVector<QVector<quint32>> frames;
    for (const RegWriteTransfer *t : m_queue)
        frames.append(t->words());
    return frames;
}

void IocSetting::setBit(quint32 &word, quint32 reg, int bit, bool on)
{
    setField(word, reg, 1u << bit, on ? 1u << bit : 0u);
}

void IocSetting::setJudgementBit(quint32 &word, quint32 reg, int bit, bool on)
{
    const quint32 other = bit < 8 ? 0x300u : 0x3u;
    setField(word, reg, (1u << bit) | other, on ? 1u << bit : 0u);
}

void IocSetting::setField(quint32 &word, quint32 reg, quint32 mask, quint32 value)
{
    QMutexLocker lock(&m_mutex);
    word = (word & ~mask) | (value & mask);
    auto *t = new RegWordWriteTransfer<unsigned int, 1>(reg);
    t->append(word);
    queueLocked(t);
}

void IocSetting::queueSigned(quint32 reg, double value)
{
    QMutexLocker lock(&m_mutex);
    auto *t = new RegWordWriteTransfer<int, 1>(reg);
    t->append(RegWriteTransfer::toSigned(value));
    queueLocked(t);
}

void IocSetting::queueUnsigned(quint32 reg, double value)
{
    QMutexLocker lock(&m_mutex);
    auto *t = new RegWordWriteTransfer<unsigned int, 1>(reg);
    t->append(RegWriteTransfer::toUnsigned(value));
    queueLocked(t);
}

void IocSetting::queueSignedPair(quint32 reg, double first, double second)
{
    QMutexLocker lock(&m_mutex);
    auto *t = new RegWordWriteTransfer<int, 2>(reg);
    t->append(RegWriteTransfer::toSigned(first));
    t->append(RegWriteTransfer::toSigned(second));
    queueLocked(t);
}

// The upper 32 bits first.
void IocSetting::queueRoute(quint32 reg, unsigned long long route)
{
    QMutexLocker lock(&m_mutex);
    auto *t = new RegWordWriteTransfer<unsigned int, 2>(reg);
    t->append(quint32(route >> 32));
    t->append(quint32(route));
    queueLocked(t);
}

// The level register pair: the level and the start level it implies, both V x 1000.
void IocSetting::setLevel(int *level, double startPercent, quint32 control, double volts)
{
    QMutexLocker lock(&m_mutex);
    *level = RegWriteTransfer::toSigned(volts * 1000);
    auto *t = new RegWordWriteTransfer<int, 2>(control + 0x08);
    t->append(*level);
    t->append(RegWriteTransfer::toSigned(*level * startPercent / 100));
    queueLocked(t);
}

void IocSetting::setStartLevel(double *startPercent, int level, quint32 control, double percent)
{
    QMutexLocker lock(&m_mutex);
    *startPercent = percent;
    auto *t = new RegWordWriteTransfer<int, 1>(control + 0x0c);
    t->append(RegWriteTransfer::toSigned(percent * level / 100));
    queueLocked(t);
}

void IocSetting::setFunctionMode(IoControl::FunctionMode mode)
{
    QMutexLocker lock(&m_mutex);
    if (m_functionMode == int(mode))
        return;
    m_functionMode = int(mode);
    auto *t = new RegWordWriteTransfer<unsigned int, 1>(FunctionModeRegister);
    t->append(quint32(mode));
    queueLocked(t);
}

void IocSetting::transferCalExecute()
{
    QMutexLocker lock(&m_mutex);
    auto *t = new RegWordWriteTransfer<unsigned int, 1>(CalExecuteRegister);
    t->append(m_calCommand);
    queueLocked(t);
    // Calculate, store and their neighbour are one-shot requests.
    m_calCommand &= ~0xE0000u;
}

void IocSetting::executeCal(CalCommands commands)
{
    {
        QMutexLocker lock(&m_mutex);
        m_calCommand = (m_calCommand & 0xFFFF0000u) | (quint32(commands) & 0xFFFFu);
    }
    transferCalExecute();
}

void IocSetting::calculationCal()
{
    {
        QMutexLocker lock(&m_mutex);
        m_calCommand = (m_calCommand & 0xFFFF0000u) | 0x20000u;
    }
    transferCalExecute();
}

void IocSetting::storeCalPoint()
{
    {
        QMutexLocker lock(&m_mutex);
        m_calCommand |= 0x40000u;
    }
    transferCalExecute();
}

void IocSetting::selectCalFrequency(bool on)
{
    {
        QMutexLocker lock(&m_mutex);
        m_calCommand = on ? (m_calCommand | 0x10000u) : (m_calCommand & ~0x10000u);
    }
    transferCalExecute();
}

quint32 IocSetting::calCommandWord() const
{
    QMutexLocker lock(&m_mutex);
    return m_calCommand;
}

void IocSetting::setCalDate(CAL_DATE date)
{
    static_assert(sizeof(CAL_DATE) == 4, "the date record is one word");
    quint32 word = 0;
    std::memcpy(&word, &date, sizeof(word));
    QMutexLocker lock(&m_mutex);
    auto *t = new RegWordWriteTransfer<unsigned int, 1>(CalDateRegister);
    t->append(word);
    queueLocked(t);
}

void IocSetting::setProgTriggerDelay(unsigned int value)
{
    QMutexLocker lock(&m_mutex);
    m_progTriggerDelay = value;
}

void IocSetting::setAcqTriggerDelay(unsigned int value)
{
    QMutexLocker lock(&m_mutex);
    m_acqTriggerDelay = value;
}

void IocSetting::setAcqTriggerTimer(unsigned int value)
{
    QMutexLocker lock(&m_mutex);
    m_acqTriggerTimer = value;
}

void IocSetting::setSensApertureCount(unsigned int value)
{
    QMutexLocker lock(&m_mutex);
    m_sensApertureCount = value;
}

void IocSetting::setAcqTriggerCount(unsigned int value)
{
    QMutexLocker lock(&m_mutex);
    m_acqTriggerCount = value;
}

void IocSetting::onNetworkUpdate(LcIoc::Network network)
{
    m_network = int(network);
}

bool IocSetting::waitUntilSent(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&m_mutex);
    while (!m_queue.isEmpty()) {
        if (!m_sent.wait(&m_mutex, deadline))
            return m_queue.isEmpty();
    }
    return true;
}

int IocSetting::transferThread()
{
    QMutexLocker lock(&m_mutex);
    // A wake that comes while a pass is sending is not lost: the queue tells.
    while (m_queue.isEmpty() && !m_stop)
        m_wake.wait(&m_mutex);
    int rc = 0;
    while (!m_queue.isEmpty()) {
        const int count = qMin(m_queue.size(), MaxBatch);
        spi_ioc_transfer batch[MaxBatch];
        for (int i = 0; i < count; ++i)
            batch[i] = m_queue.at(i)->descriptor();
        rc = sendMessage(batch, count);
        // A batch that failed is dropped like a sent one: the controller confirms nothing.
        for (int i = 0; i < count; ++i)
            delete m_queue.at(i);
        m_queue.remove(0, count);
    }
    m_sent.wakeAll();
    return rc;
}

} // namespace ioc
