#include "remote/ZOFlowControl.h"

#include <QMutexLocker>

#include <algorithm>

namespace zo4882 {

ZOFlowControl::ZOFlowControl(int maxMessages, qint64 maxUnsentBytes)
    : m_maxMessages(std::max(maxMessages, 1))
    , m_maxUnsent(std::max<qint64>(maxUnsentBytes, 0))
{ }

int ZOFlowControl::room() const
{
    if (m_closed.load())
        return 0;
    return std::max(m_maxMessages - m_queued.load(), 0);
}

void ZOFlowControl::messageDone()
{
    const int left = m_queued.fetch_sub(1) - 1;
    if (left != m_maxMessages / 2)
        return;
    QMutexLocker lock(&m_mutex);
    if (m_wakeUp)
        m_wakeUp();
}

void ZOFlowControl::setWakeUp(std::function<void()> wakeUp)
{
    QMutexLocker lock(&m_mutex);
    m_wakeUp = std::move(wakeUp);
}

void ZOFlowControl::close()
{
    m_closed.store(true);
    QMutexLocker lock(&m_mutex);
    m_wakeUp = nullptr;
}

} // namespace zo4882
