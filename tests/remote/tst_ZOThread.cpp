#include "remote/ZOThread.h"

#include <QSemaphore>
#include <QtTest>

#include <atomic>

namespace {

// Records where and with what the work ran; blocks until the test lets it go, then sets the
// flag that data points to.
class GatedWork : public zostd::ZOThread
{
public:
    ~GatedWork() override { wait(); }

    QSemaphore gate;
    std::atomic<QThread *> ranIn { nullptr };
    std::atomic<void *> ranWith { nullptr };
    std::atomic<int> runs { 0 };

protected:
    void work(void *data) override
    {
        ranIn = QThread::currentThread();
        ranWith = data;
        ++runs;
        gate.acquire();
        *static_cast<std::atomic<bool> *>(data) = true;
    }
};

} // namespace

class tst_ZOThread : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void runsOnceInItsOwnThread();
    void destructionWaitsForTheWork();
};

void tst_ZOThread::runsOnceInItsOwnThread()
{
    GatedWork work;
    QSignalSpy finished(&work, &zostd::ZOThread::finished);
    std::atomic<bool> done { false };
    QCOMPARE(work.start(QThread::NormalPriority, &done), 1);
    QCOMPARE(work.start(QThread::NormalPriority, nullptr), 0);
    work.gate.release();
    QVERIFY(work.wait(5000));
    QVERIFY(done.load());

    QCOMPARE(finished.count(), 1);
    QCOMPARE(work.runs.load(), 1);
    QCOMPARE(work.ranWith.load(), static_cast<void *>(&done));
    QVERIFY(work.ranIn.load() != QThread::currentThread());
}

void tst_ZOThread::destructionWaitsForTheWork()
{
    std::atomic<bool> done { false };
    auto *work = new GatedWork;
    QCOMPARE(work->start(QThread::NormalPriority, &done), 1);
    QTRY_COMPARE(work->runs.load(), 1);
    QVERIFY(!done.load());
    work->gate.release();
    delete work;
    QVERIFY(done.load());
}

QTEST_GUILESS_MAIN(tst_ZOThread)
#include "tst_ZOThread.moc"
