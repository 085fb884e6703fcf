#include "platform/BoardPath.h"
#include "platform/InstanceLock.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <unistd.h>

using platform::BoardPath;
using platform::InstanceLock;

class tst_InstanceLock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void exclusive();
    void releasedWhenTheHolderDies();

private:
    QTemporaryDir *m_root = nullptr;
};

void tst_InstanceLock::init()
{
    m_root = new QTemporaryDir;
    QVERIFY(m_root->isValid());
    BoardPath::setRoot(m_root->path());
}

void tst_InstanceLock::cleanup()
{
    delete m_root;
    m_root = nullptr;
}

void tst_InstanceLock::exclusive()
{
    InstanceLock first;
    InstanceLock second;
    QCOMPARE(first.path(), m_root->path() + "/var/lock/Vek3r.lock");
    QCOMPARE(first.tryLock(), 0);
    QVERIFY(first.isLocked());
    QCOMPARE(second.tryLock(), -EWOULDBLOCK);
    QVERIFY(!second.isLocked());
    QCOMPARE(second.holder().section(' ', 0, 0), QString::number(::getpid()));
    first.unlock();
    QCOMPARE(second.tryLock(), 0);
}

void tst_InstanceLock::releasedWhenTheHolderDies()
{
    const QString flock = QStandardPaths::findExecutable("flock");
    if (flock.isEmpty())
        QSKIP("flock(1) is not installed");
    InstanceLock lock;
    QDir().mkpath(m_root->path() + "/var/lock");
    QProcess holder;
    // The shell locks its descriptor 9 and becomes sleep, which holds the lock until killed.
    holder.start(
        "/bin/sh", { "-c", "exec 9>\"$0\" && \"$1\" 9 && exec sleep 60", lock.path(), flock });
    QVERIFY(holder.waitForStarted(10000));
    // A probe takes the lock only for a moment, so the shell's blocking flock gets it after.
    auto probe = [&lock] {
        return InstanceLock(lock.path()).tryLock();
    };
    QTRY_COMPARE_WITH_TIMEOUT(probe(), -EWOULDBLOCK, 10000);
    holder.kill();
    QVERIFY(holder.waitForFinished(10000));
    QCOMPARE(lock.tryLock(), 0);
}

QTEST_GUILESS_MAIN(tst_InstanceLock)
#include "tst_InstanceLock.moc"
