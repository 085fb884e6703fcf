#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using platform::AtomicFile;

class tst_AtomicFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void writes_data();
    void writes();
    void keepsPermissionsOfReplacedFile();
    void failedRenameKeepsOldFile();
    void missingFolderFails();
    void readOnlyFolderFails();

private:
    QString read(const QString &path) const;
    QStringList folderEntries() const;

    QScopedPointer<QTemporaryDir> m_dir;
};

void tst_AtomicFile::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void tst_AtomicFile::cleanup()
{
    AtomicFile::setRenameFunction({});
}

QString tst_AtomicFile::read(const QString &path) const
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("<unreadable>");
    return QString::fromUtf8(f.readAll());
}

QStringList tst_AtomicFile::folderEntries() const
{
    return QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

void tst_AtomicFile::writes_data()
{
    QTest::addColumn<QString>("old");
    QTest::addColumn<QByteArray>("data");

    QTest::newRow("new file") << QString() << QByteArray("{\n    \"a\": 1\n}\n");
    QTest::newRow("longer replaces shorter") << "x" << QByteArray(100000, 'y');
    QTest::newRow("shorter replaces longer") << QString(5000, 'x') << QByteArray("z");
    QTest::newRow("empty data") << "old" << QByteArray();
}

void tst_AtomicFile::writes()
{
    QFETCH(QString, old);
    QFETCH(QByteArray, data);
    const QString path = m_dir->filePath("f.info");
    if (!old.isNull())
        QCOMPARE(AtomicFile::write(path, old.toUtf8()), 0);

    QCOMPARE(AtomicFile::write(path, data), 0);
    QCOMPARE(read(path), QString::fromUtf8(data));
    QCOMPARE(folderEntries(), QStringList { "f.info" });
}

void tst_AtomicFile::keepsPermissionsOfReplacedFile()
{
    const QString path = m_dir->filePath("secret.auth");
    QCOMPARE(AtomicFile::write(path, "a"), 0);
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(AtomicFile::write(path, "b"), 0);
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0600u);
    QCOMPARE(read(path), QStringLiteral("b"));
}

void tst_AtomicFile::failedRenameKeepsOldFile()
{
    const QString path = m_dir->filePath("f.info");
    QCOMPARE(AtomicFile::write(path, "old content"), 0);

    QString seenTemp;
    QString seenTarget;
    QByteArray tempContent;
    AtomicFile::setRenameFunction([&](const QString &from, const QString &to) {
        seenTemp = from;
        seenTarget = to;
        QFile f(from);
        if (f.open(QIODevice::ReadOnly))
            tempContent = f.readAll();
        return false;
    });
    QString reason;
    QCOMPARE(AtomicFile::write(path, "new content", &reason), -310);
    QVERIFY(!reason.isEmpty());

    // The temporary file was complete and beside the target when the rename was attempted.
    QCOMPARE(seenTarget, QFileInfo(path).absoluteFilePath());
    QCOMPARE(QFileInfo(seenTemp).absolutePath(), QFileInfo(path).absolutePath());
    QCOMPARE(tempContent, QByteArray("new content"));
    QCOMPARE(read(path), QStringLiteral("old content"));
    QCOMPARE(folderEntries(), QStringList { "f.info" });
}

void tst_AtomicFile::missingFolderFails()
{
    QString reason;
    QCOMPARE(AtomicFile::write(m_dir->filePath("none/f.info"), "x", &reason), -310);
    QVERIFY(!reason.isEmpty());
    QVERIFY(!QFile::exists(m_dir->filePath("none")));
}

void tst_AtomicFile::readOnlyFolderFails()
{
    if (::geteuid() == 0)
        QSKIP("root writes into read-only folders");
    const QString path = m_dir->filePath("f.info");
    QCOMPARE(AtomicFile::write(path, "old"), 0);
    QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner));
    const int result = AtomicFile::write(path, "new");
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(result, -310);
    QCOMPARE(read(path), QStringLiteral("old"));
}

QTEST_GUILESS_MAIN(tst_AtomicFile)
#include "tst_AtomicFile.moc"
