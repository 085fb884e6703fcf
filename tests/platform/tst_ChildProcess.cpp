#include "platform/BoardPath.h"
#include "platform/ChildProcess.h"
#include "tests/platform/StandInRoot.h"

#include <QtTest>

#include <cerrno>
#include <memory>

using platform::BoardPath;
using platform::ChildProcess;

// Board programs run through the seam against stand-ins in a temporary board root.
class tst_ChildProcess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void standInGetsMappedArguments();
    void exitCodes_data();
    void exitCodes();
    void neverFallsBackToTheHost_data();
    void neverFallsBackToTheHost();
    void hangingProgramIsKilled();
    void detachedStart();

private:
    std::unique_ptr<StandInRoot> m_root;
};

void tst_ChildProcess::init()
{
    m_root = std::make_unique<StandInRoot>();
    QVERIFY(m_root->isValid());
}

void tst_ChildProcess::cleanup()
{
    m_root.reset();
}

void tst_ChildProcess::standInGetsMappedArguments()
{
    QVERIFY(m_root->standIn(
        "/bin/args", "echo \"$BOARD_ROOT\"; for a in \"$@\"; do echo \"$a\"; done"));
    const ChildProcess::Result r = ChildProcess::run(
        "/bin/args", { "-t", "/etc/x y", "of=/run/f", "relative", "two words" }, 10000);
    QCOMPARE(r.error, 0);
    QVERIFY(r.succeeded());
    const QString root = m_root->path();
    QCOMPARE(QString::fromLocal8Bit(r.output).split('\n', Qt::SkipEmptyParts),
        QStringList(
            { root, "-t", root + "/etc/x y", "of=" + root + "/run/f", "relative", "two words" }));
}

void tst_ChildProcess::exitCodes_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("described");

    QTest::newRow("success") << QByteArray("exit 0") << 0 << 0 << "/bin/p: exit status 0";
    QTest::newRow("failure") << QByteArray("echo no >&2; exit 32") << 0 << 32
                             << "/bin/p: exit status 32";
    QTest::newRow("signal") << QByteArray("kill -KILL $$") << -ECHILD << -1
                            << "/bin/p: ended by a signal";
}

void tst_ChildProcess::exitCodes()
{
    QFETCH(QByteArray, body);
    QFETCH(int, error);
    QFETCH(int, exitCode);
    QFETCH(QString, described);
    QVERIFY(m_root->standIn("/bin/p", body));
    const ChildProcess::Result r = ChildProcess::run("/bin/p", {}, 10000);
    QCOMPARE(r.error, error);
    QCOMPARE(r.exitCode, exitCode);
    QCOMPARE(r.succeeded(), error == 0 && exitCode == 0);
    QCOMPARE(ChildProcess::describe("/bin/p", r), described);
}

void tst_ChildProcess::neverFallsBackToTheHost_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<int>("error");
    // The host has /bin/true and /bin/sh; the root has neither as a stand-in.
    QTest::newRow("missing stand-in") << "/bin/true" << -ENOENT;
    QTest::newRow("relative name") << "true" << -EINVAL;
    QTest::newRow("not executable") << "/bin/plain" << -EACCES;
    QTest::newRow("folder") << "/bin" << -EACCES;
}

void tst_ChildProcess::neverFallsBackToTheHost()
{
    QFETCH(QString, program);
    QFETCH(int, error);
    QDir().mkpath(m_root->path() + "/bin");
    QFile plain(m_root->path() + "/bin/plain");
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QCOMPARE(ChildProcess::run(program, {}, 10000).error, error);
    QCOMPARE(ChildProcess::startDetached(program, {}), error);
}

void tst_ChildProcess::hangingProgramIsKilled()
{
    QVERIFY(m_root->standIn("/bin/hang", "exec sleep 60"));
    const ChildProcess::Result r = ChildProcess::run("/bin/hang", {}, 200);
    QCOMPARE(r.error, -ETIMEDOUT);
    QVERIFY(!r.succeeded());
}

void tst_ChildProcess::detachedStart()
{
    QVERIFY(
        m_root->standIn("/sbin/background", "echo \"$1\" > \"$2.tmp\" && mv \"$2.tmp\" \"$2\""));
    QDir().mkpath(m_root->path() + "/run");
    qint64 pid = 0;
    QCOMPARE(
        ChildProcess::startDetached("/sbin/background", { "started", "/run/marker" }, &pid), 0);
    QVERIFY(pid > 0);
    QFile marker(m_root->path() + "/run/marker");
    QTRY_VERIFY_WITH_TIMEOUT(marker.exists(), 10000);
    QVERIFY(marker.open(QIODevice::ReadOnly));
    QCOMPARE(marker.readAll(), QByteArray("started\n"));
}

QTEST_GUILESS_MAIN(tst_ChildProcess)
#include "tst_ChildProcess.moc"
