#include "tools/hwmaint/IocSetting.h"

#include "tools/hwmaint/RegWordWriteTransfer.h"

#include <QDeadlineTimer>
#include <QMutexLocker>

namespace ioc {

IocSetting::IocSetting(QObject *parent)
    : IoControl(parent)
{ }

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
    m_queue.append(transfer);
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
