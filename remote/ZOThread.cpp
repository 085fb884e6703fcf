#include "remote/ZOThread.h"

namespace zostd {

ZOThread::ZOThread()
    : m_thread(std::make_unique<QThread>())
{
    connect(m_thread.get(), &QThread::started, this, &ZOThread::doWork);
    // Direct: quit is thread-safe, and the thread ends as soon as the work is done.
    connect(this, &ZOThread::finished, m_thread.get(), &QThread::quit, Qt::DirectConnection);
    moveToThread(m_thread.get());
}

ZOThread::~ZOThread()
{
    m_thread->quit();
    m_thread->wait();
}

int ZOThread::start(QThread::Priority priority, void *data)
{
    if (m_started)
        return 0;
    m_started = true;
    m_data = data;
    m_thread->start(priority);
    return 1;
}

bool ZOThread::wait(unsigned long ms)
{
    return m_thread->wait(ms);
}

void ZOThread::doWork()
{
    work(m_data);
    emit finished();
}

} // namespace zostd
