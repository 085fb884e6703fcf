#include "platform/BoardPath.h"
#include "platform/ZOProcessWrapper.h"
#include "tests/platform/StandInRoot.h"

#include <QtTest>

#include <cerrno>
#include <memory>

using platform::BoardPath;
using zostd::ZOProcessWrapper;

Q_DECLARE_METATYPE(QList<QStringList>)

// Stand-in programs in a temporary board root write output in chosen pieces; the test records
// every announced line list up to the program's end.
class tst_ZOProcessWrapper : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void linesPerChunk_data();
    void linesPerChunk();
    void missingProgramStartsNothing();
    void runsAgain();

private:
    // Runs the board program to its end; the line lists announced, in order.
    QList<QStringList> run(ZOProcessWrapper &wrapper, const QString &boardPath);

    std::unique_ptr<StandInRoot> m_root;
};

void tst_ZOProcessWrapper::init()
{
    m_root = std::make_unique<StandInRoot>();
    QVERIFY(m_root->isValid());
}

void tst_ZOProcessWrapper::cleanup()
{
    m_root.reset();
}

QList<QStringList> tst_ZOProcessWrapper::run(ZOProcessWrapper &wrapper, const QString &boardPath)
{
    QList<QStringList> announced;
    const QMetaObject::Connection c =
        connect(&wrapper, &ZOProcessWrapper::readyReadLines, this, [&] {
            announced.append(wrapper.lines());
        });
    QSignalSpy finished(&wrapper, &ZOProcessWrapper::progFinished);
    if (wrapper.startProgram(boardPath, {}) == 0)
        finished.wait(10000);
    disconnect(c);
    return announced;
}

void tst_ZOProcessWrapper::linesPerChunk_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QList<QStringList>>("announced");

    // The pauses let each piece arrive as a read of its own.
    QTest::newRow("two lines in one write") << QByteArray("printf 'eth0 up\\nlink ok\\n'")
                                            << QList<QStringList> { { "eth0 up", "link ok" } };
    QTest::newRow("a line written in two pieces is one line")
        << QByteArray("printf 'inet 10.0'; sleep 0.3; printf '.0.7/24\\n'")
        << QList<QStringList> { { "inet 10.0.0.7/24" } };
    QTest::newRow("each chunk replaces the list")
        << QByteArray("printf 'a\\nb\\n'; sleep 0.3; printf 'c\\n'")
        << QList<QStringList> { { "a", "b" }, { "c" } };
    QTest::newRow("CR LF line ends and empty lines") << QByteArray("printf 'one\\r\\n\\r\\ntwo\\n'")
                                                     << QList<QStringList> { { "one", "", "two" } };
    QTest::newRow("a last line without line end comes at the end")
        << QByteArray("printf 'first\\nlast'") << QList<QStringList> { { "first" }, { "last" } };
    QTest::newRow("standard error is split the same way")
        << QByteArray("printf 'out\\n'; sleep 0.3; printf 'err 1\\nerr 2\\n' >&2")
        << QList<QStringList> { { "out" }, { "err 1", "err 2" } };
    QTest::newRow("a CR cut from its LF")
        << QByteArray("printf 'x\\r'; sleep 0.3; printf '\\ny\\n'")
        << QList<QStringList> { { "x", "y" } };
    QTest::newRow("no output") << QByteArray("true") << QList<QStringList> {};
}

void tst_ZOProcessWrapper::linesPerChunk()
{
    QFETCH(QByteArray, script);
    QFETCH(QList<QStringList>, announced);
    QVERIFY(m_root->standIn("/usr/sbin/aux", script));

    ZOProcessWrapper wrapper;
    QSignalSpy started(&wrapper, &ZOProcessWrapper::progStarted);
    QCOMPARE(run(wrapper, "/usr/sbin/aux"), announced);
    QCOMPARE(started.count(), 1);
}

void tst_ZOProcessWrapper::missingProgramStartsNothing()
{
    // Under a board root a missing stand-in is an error, never the host's own program.
    ZOProcessWrapper wrapper;
    QSignalSpy started(&wrapper, &ZOProcessWrapper::progStarted);
    QSignalSpy finished(&wrapper, &ZOProcessWrapper::progFinished);
    QCOMPARE(wrapper.startProgram("/bin/true", {}), -ENOENT);
    QCOMPARE(wrapper.startProgram("true", {}), -EINVAL);
    QTest::qWait(100);
    QCOMPARE(started.count(), 0);
    QCOMPARE(finished.count(), 0);
    QCOMPARE(wrapper.state(), QProcess::NotRunning);
}

void tst_ZOProcessWrapper::runsAgain()
{
    // A tail left by one run does not leak into the next.
    QVERIFY(m_root->standIn("/sbin/route", "printf \"$1\""));
    ZOProcessWrapper wrapper;
    QSignalSpy finished(&wrapper, &ZOProcessWrapper::progFinished);
    QList<QStringList> announced;
    connect(&wrapper, &ZOProcessWrapper::readyReadLines, this, [&] {
        announced.append(wrapper.lines());
    });
    for (const char *word : { "first", "second" }) {
        QCOMPARE(wrapper.startProgram("/sbin/route", { word }), 0);
        QVERIFY(finished.wait(10000));
    }
    QCOMPARE(announced, (QList<QStringList> { { "first" }, { "second" } }));
}

QTEST_GUILESS_MAIN(tst_ZOProcessWrapper)
#include "tst_ZOProcessWrapper.moc"
