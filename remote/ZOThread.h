#pragma once

#include <QObject>
#include <QThread>

#include <memory>

namespace zostd {

// A one-shot worker: a subclass puts blocking work into work(), start() runs it once in a
// thread of its own. The creator owns the object and destroys it in its own thread; the
// destructor waits for the work to end (work cannot be interrupted from outside); a subclass
// whose work uses its own members calls wait() in its destructor.
class ZOThread : public QObject
{
    Q_OBJECT

public:
    ZOThread();
    ~ZOThread() override;

    // Runs work(data) in the thread at the given priority. Returns 1, or 0 when the work was
    // already started.
    int start(QThread::Priority priority, void *data);
    // Waits up to ms milliseconds for the work to end; true when it has ended (or never ran).
    bool wait(unsigned long ms = ULONG_MAX);

signals:
    // Emitted in the worker thread once work() has returned.
    void finished();

public slots:
    void doWork();

protected:
    virtual void work(void *data) = 0;

private:
    std::unique_ptr<QThread> m_thread; // owned; stopped and joined by the destructor
    void *m_data = nullptr;
    bool m_started = false;
};

} // namespace zostd
