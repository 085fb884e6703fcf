#include "gui/shell/OneLineFile.h"
#include "gui/shell/PanelShutdown.h"
#include "gui/shell/PanelStartup.h"
#include "gui/shell/ShutdownSignals.h"
#include "gui/system/PictUpdate.h"
#include "platform/BoardPath.h"

#include <QtTest>

#include <csignal>

#include <sys/wait.h>
#include <unistd.h>

using platform::BoardPath;

namespace {
const QString standinLog = QStringLiteral("/var/log/standin.log");

// A stand-in that journals its board path and arguments and does nothing else.
const char loggingStandIn[] =
    "#!/bin/sh\n"
    "echo \"${0#$BOARD_ROOT} $*\" >>\"$BOARD_ROOT/var/log/standin.log\"\n";

bool writeFile(const QString &boardPath,
    const QByteArray &content,
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner)
{
    const QString path = BoardPath::map(boardPath);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(content) == content.size() && file.setPermissions(permissions);
}

bool writeStandIn(const QString &boardPath)
{
    return writeFile(boardPath,
        loggingStandIn,
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
            | QFile::ExeOther);
}

QStringList journal()
{
    QFile file(BoardPath::map(standinLog));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QByteArray contents(const QString &boardPath)
{
    QFile file(BoardPath::map(boardPath));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

// Every file and link below the root with its size, so that two starts can be compared.
QStringList tree(const QString &root)
{
    QStringList entries;
    QDirIterator it(root,
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        entries << info.filePath().mid(root.size()) + QLatin1Char(' ')
                + (info.isSymLink() ? QStringLiteral("-> ") + info.symLinkTarget()
                                    : QString::number(info.size()));
    }
    entries.sort();
    return entries;
}
} // namespace

class tst_PanelStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void firstStartPreparesTheBoard();
    void laterStartsKeepWhatExists();
    void oneLineFile_data();
    void oneLineFile();
    void shutdownSignalsReachTheLoop();
    void faultsEndWithStatusOne();
    void shutdownSavesAndUnloads_data();
    void shutdownSavesAndUnloads();

private:
    QTemporaryDir *m_root = nullptr;
};

void tst_PanelStartup::init()
{
    m_root = new QTemporaryDir;
    QVERIFY(m_root->isValid());
    BoardPath::setRoot(m_root->path());
    // What the board has before the program first starts.
    for (const char *folder : { "/run", "/var/log" })
        QVERIFY(QDir().mkpath(BoardPath::map(QLatin1String(folder))));
    QVERIFY(writeStandIn(QStringLiteral("/sbin/ifup")));
    QVERIFY(writeStandIn(QStringLiteral("/sbin/rmmod")));
    QVERIFY(writeStandIn(QStringLiteral("/bin/sync")));
    QVERIFY(writeStandIn(QStringLiteral("/etc/init.d/save-rtc.sh")));
    QVERIFY(writeFile(QStringLiteral("/usr/bin/default.info"), "{\"factory\": true}\n"));
    QVERIFY(writeFile(QStringLiteral("/etc/rc5.d/S01networking"), "networking\n"));
    QVERIFY(writeFile(QStringLiteral("/etc/rc5.d/S21avahi-daemon"), "avahi\n"));
}

void tst_PanelStartup::cleanup()
{
    BoardPath::setRoot(QString());
    delete m_root;
    m_root = nullptr;
}

void tst_PanelStartup::firstStartPreparesTheBoard()
{
    PanelStartup::prepareBoard();

    const QByteArray factory = contents(QStringLiteral("/usr/bin/default.info"));
    for (int i = 0; i < 20; ++i)
        QCOMPARE(contents(QString::asprintf("/etc/instr/panels/%02d.info", i)), factory);
    QCOMPARE(contents(QStringLiteral("/etc/instr/panels/auto.info")), factory);
    for (const char *folder : { "programs/cc",
             "programs/cr",
             "programs/cv",
             "programs/cp",
             "programs/nc",
             "programs/temp" })
        QVERIFY2(QFileInfo(BoardPath::map("/etc/instr/") + folder).isDir(), folder);
    const QFileInfo link(BoardPath::map(QStringLiteral("/run/media/setups")));
    QVERIFY(link.isSymLink());
    QCOMPARE(link.canonicalFilePath(),
        QFileInfo(BoardPath::map(QStringLiteral("/etc/instr/panels"))).canonicalFilePath());

    QVERIFY(!QFile::exists(BoardPath::map(QStringLiteral("/etc/rc5.d/S01networking"))));
    QCOMPARE(contents(QStringLiteral("/etc/rc5.d/_S01networking")), QByteArray("networking\n"));
    QCOMPARE(contents(QStringLiteral("/etc/rc5.d/_S21avahi-daemon")), QByteArray("avahi\n"));

    // Detached: the two may journal in either order.
    QTRY_COMPARE_WITH_TIMEOUT(journal().size(), 2, 20000);
    QStringList runs = journal();
    runs.sort();
    QCOMPARE(runs, QStringList({ "/sbin/ifup eth0", "/sbin/ifup lo" }));
}

void tst_PanelStartup::laterStartsKeepWhatExists()
{
    PanelStartup::prepareBoard();
    QTRY_COMPARE_WITH_TIMEOUT(journal().size(), 2, 20000);
    QVERIFY(writeFile(QStringLiteral("/etc/instr/panels/03.info"), "{\"user\": 3}\n"));
    QVERIFY(QFile::remove(BoardPath::map(QStringLiteral("/var/log/standin.log"))));
    const QStringList before = tree(m_root->path());

    PanelStartup::prepareBoard();
    QTRY_COMPARE_WITH_TIMEOUT(journal().size(), 2, 20000);
    QVERIFY(QFile::remove(BoardPath::map(QStringLiteral("/var/log/standin.log"))));
    QCOMPARE(tree(m_root->path()), before);
    QCOMPARE(contents(QStringLiteral("/etc/instr/panels/03.info")), QByteArray("{\"user\": 3}\n"));

    // A lost slot comes back from the factory setup.
    QVERIFY(QFile::remove(BoardPath::map(QStringLiteral("/etc/instr/panels/07.info"))));
    PanelStartup::prepareBoard();
    QCOMPARE(contents(QStringLiteral("/etc/instr/panels/07.info")),
        contents(QStringLiteral("/usr/bin/default.info")));
    QTRY_COMPARE_WITH_TIMEOUT(journal().size(), 2, 20000);
}

void tst_PanelStartup::oneLineFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("line");

    QTest::newRow("name and more lines") << QByteArray("  EL-3000 \nsecond\n") << "EL-3000";
    QTest::newRow("CRLF") << QByteArray("EL-3000\r\n") << "EL-3000";
    QTest::newRow("cut at NUL") << QByteArray("EL\0junk\n", 8) << "EL";
    QTest::newRow("Latin-1") << QByteArray("Ger\xe4t\n") << QString::fromUtf8("Gerät");
    QTest::newRow("255 bytes at most") << QByteArray(300, 'a') << QString(255, 'a');
    QTest::newRow("empty") << QByteArray() << QString();
}

void tst_PanelStartup::oneLineFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, line);
    QVERIFY(writeFile(QStringLiteral("/etc/model"), content));
    QCOMPARE(QString(OneLineFile(BoardPath::map(QStringLiteral("/etc/model")))), line);
    QCOMPARE(QString(OneLineFile(BoardPath::map(QStringLiteral("/etc/none")))), QString());
}

void tst_PanelStartup::shutdownSignalsReachTheLoop()
{
    ShutdownSignals relay;
    QVERIFY(relay.isValid());
    QSignalSpy spy(&relay, &ShutdownSignals::shutdownRequested);

    ::raise(SIGINT); // ignored: the process goes on and nothing is requested
    ::raise(SIGTERM);
    ::raise(SIGTERM); // a second request runs the shut-down again
    PictUpdate::startUpdater(true);
    PictUpdate::startUpdater(false);
    ::raise(SIGQUIT);
    QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 5, 20000);
    QList<int> received;
    for (const QList<QVariant> &args : spy)
        received << args.at(0).toInt();
    QCOMPARE(received, QList<int>({ SIGTERM, SIGTERM, SIGUSR2, SIGUSR1, SIGQUIT }));
    QCOMPARE(QList<int>({ ShutdownSignals::exitCodeFor(SIGTERM),
                 ShutdownSignals::exitCodeFor(SIGUSR1),
                 ShutdownSignals::exitCodeFor(SIGUSR2),
                 ShutdownSignals::exitCodeFor(SIGQUIT) }),
        QList<int>({ 0, 2, 3, 1 }));

    ShutdownSignals second;
    QVERIFY(!second.isValid());
}

void tst_PanelStartup::faultsEndWithStatusOne()
{
    ShutdownSignals relay;
    QVERIFY(relay.isValid());
    for (int sig : { SIGSEGV, SIGFPE }) {
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::raise(sig);
            ::_exit(99);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY2(WIFEXITED(status), qPrintable(QString::number(status)));
        QCOMPARE(WEXITSTATUS(status), 1);
    }
}

void tst_PanelStartup::shutdownSavesAndUnloads_data()
{
    QTest::addColumn<int>("sig");
    QTest::addColumn<bool>("factoryReset");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("steps");

    const QStringList plain { "save", "usbtmc" };
    QTest::newRow("SIGTERM") << SIGTERM << false << 0 << plain;
    QTest::newRow("SIGUSR1") << SIGUSR1 << false << 2 << plain;
    QTest::newRow("SIGUSR2") << SIGUSR2 << false << 3 << plain;
    QTest::newRow("SIGQUIT") << SIGQUIT << false << 1 << QStringList { "save", "acfail", "usbtmc" };
    QTest::newRow("SIGQUIT after factory reset") << SIGQUIT << true << 1 << plain;
}

void tst_PanelStartup::shutdownSavesAndUnloads()
{
    QFETCH(int, sig);
    QFETCH(bool, factoryReset);
    QFETCH(int, exitCode);
    QFETCH(QStringList, steps);

    QStringList done;
    PanelShutdown::Steps hooks;
    hooks.saveState = [&] {
        done << "save";
    };
    if (!factoryReset)
        hooks.raiseAcFail = [&] {
            done << "acfail";
        };
    hooks.closeUsbtmc = [&] {
        done << "usbtmc";
    };
    QCOMPARE(PanelShutdown::run(sig, hooks), exitCode);
    QCOMPARE(done, steps);

    QTRY_COMPARE_WITH_TIMEOUT(journal().size(), 5, 20000);
    QStringList runs = journal();
    runs.sort();
    QCOMPARE(runs,
        QStringList({ "/bin/sync ",
            "/etc/init.d/save-rtc.sh ",
            "/sbin/rmmod -f g_usbtmc",
            "/sbin/rmmod configfs",
            "/sbin/rmmod libcomposite" }));
}

QTEST_GUILESS_MAIN(tst_PanelStartup)
#include "tst_PanelStartup.moc"
