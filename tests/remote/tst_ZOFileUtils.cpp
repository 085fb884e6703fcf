#include "remote/ZOFileUtils.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

using zostd::ZOFileUtils;

// File checks and the recursive delete on small trees in a temporary directory.
class tst_ZOFileUtils : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void scriptLineEnds_data();
    void scriptLineEnds();
    void checks();
    void removeDirTree();
    void removeDirMissingPath();
    void removeDirKeepsLinkTargets();
    void removeDirStopsAtReadOnlySubdirectory();

private:
    QString path(const QString &relative) const { return m_dir->filePath(relative); }
    void write(const QString &relative, const QByteArray &content);

    QTemporaryDir *m_dir = nullptr;
};

void tst_ZOFileUtils::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
}

void tst_ZOFileUtils::cleanup()
{
    // Undo what a failed case may have left read-only.
    QProcess::execute("chmod", { "-R", "u+rwx", m_dir->path() });
    delete m_dir;
    m_dir = nullptr;
}

void tst_ZOFileUtils::write(const QString &relative, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path(relative)).path());
    QFile f(path(relative));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

void tst_ZOFileUtils::scriptLineEnds_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("passes");
    QTest::newRow("line feeds") << QByteArray("#!/bin/sh\necho ok\n") << true;
    QTest::newRow("windows line ends") << QByteArray("#!/bin/sh\r\necho ok\r\n") << false;
    QTest::newRow("one CR LF at the end") << QByteArray("#!/bin/sh\necho ok\r\n") << false;
    QTest::newRow("lone CR") << QByteArray("#!/bin/sh\recho ok\n") << true;
    QTest::newRow("CR LF after a NUL is not text") << QByteArray("#!/bin/sh\n\0\r\n", 13) << true;
    QTest::newRow("empty") << QByteArray() << true;
}

void tst_ZOFileUtils::scriptLineEnds()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, passes);
    write("script.sh", content);
    QCOMPARE(ZOFileUtils::checkScriptNewLine(path("script.sh")), passes);
}

void tst_ZOFileUtils::checks()
{
    write("tool", "#!/bin/sh\n");
    QFile::setPermissions(path("tool"), QFile::ReadOwner | QFile::ExeOwner);
    QDir().mkdir(path("dir"));

    QVERIFY(ZOFileUtils::checkExistence(path("tool")));
    QVERIFY(ZOFileUtils::checkExistence(path("dir")));
    QVERIFY(!ZOFileUtils::checkExistence(path("missing")));
    QVERIFY(ZOFileUtils::checkExecutable(path("tool")));
    QVERIFY(ZOFileUtils::checkReadable(path("tool")));
    QVERIFY(!ZOFileUtils::checkExecutable(path("missing")));
    QVERIFY(!ZOFileUtils::checkReadable(path("missing")));
    QVERIFY(!ZOFileUtils::checkWritable(path("missing")));
    QVERIFY(ZOFileUtils::checkWritable(path("dir")));
    QVERIFY(!ZOFileUtils::checkScriptNewLine(path("missing")));
}

void tst_ZOFileUtils::removeDirTree()
{
    write("avahi/services/lxi.service", "<service/>");
    write("avahi/.hidden", "x");
    write("avahi/hosts", "y");
    QDir().mkpath(path("avahi/empty"));
    QVERIFY(ZOFileUtils::removeDir(path("avahi")));
    QVERIFY(!QFileInfo::exists(path("avahi")));
}

void tst_ZOFileUtils::removeDirMissingPath()
{
    QVERIFY(ZOFileUtils::removeDir(path("missing")));
    // A file where a directory was expected is not a tree to delete.
    write("plain", "x");
    QVERIFY(!ZOFileUtils::removeDir(path("plain")));
    QVERIFY(QFileInfo::exists(path("plain")));
}

void tst_ZOFileUtils::removeDirKeepsLinkTargets()
{
    write("outside/keep.conf", "precious");
    write("tree/file", "x");
    QVERIFY(QFile::link(path("outside"), path("tree/dirlink")));
    QVERIFY(QFile::link(path("outside/keep.conf"), path("tree/filelink")));
    QVERIFY(QFile::link(path("nowhere"), path("tree/dangling")));
    QVERIFY(QFile::link(path("outside"), path("toplink")));

    QVERIFY(ZOFileUtils::removeDir(path("tree")));
    QVERIFY(!QFileInfo::exists(path("tree")));
    // A link given as the tree itself goes as a link too.
    QVERIFY(ZOFileUtils::removeDir(path("toplink")));
    QVERIFY(!QFileInfo(path("toplink")).isSymLink());

    QFile kept(path("outside/keep.conf"));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("precious"));
}

void tst_ZOFileUtils::removeDirStopsAtReadOnlySubdirectory()
{
    write("tree/a/locked/inner", "x");
    write("tree/z", "y");
    QVERIFY(QFile::setPermissions(path("tree/a/locked"), QFile::ReadOwner | QFile::ExeOwner));

    bool result = true;
    if (::geteuid() == 0) {
        // Permissions do not hold for root: the delete runs in a child as an unprivileged user
        // that owns the tree.
        QCOMPARE(QProcess::execute("chown", { "-R", "65534:65534", m_dir->path() }), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(2);
            ::_exit(ZOFileUtils::removeDir(path("tree")) ? 1 : 0);
        }
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        QVERIFY(WIFEXITED(status));
        QVERIFY(WEXITSTATUS(status) != 2);
        result = WEXITSTATUS(status) == 1;
    } else {
        result = ZOFileUtils::removeDir(path("tree"));
    }
    QVERIFY(!result);
    QVERIFY(QFileInfo::exists(path("tree/a/locked/inner")));
    // Directories come first, so the walk stopped before the file beside them.
    QVERIFY(QFileInfo::exists(path("tree/z")));
}

QTEST_GUILESS_MAIN(tst_ZOFileUtils)
#include "tst_ZOFileUtils.moc"
