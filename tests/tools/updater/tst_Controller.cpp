// The update controller over images built by make_update_image.py on a private board root:
// the checks and their error numbers, the script's progress, and the clean-up.

#include "platform/BoardPath.h"
#include "sim/BoardRoot.h"
#include "tools/updater/Controller.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
constexpr int WaitMs = 20000;
const QString script = QStringLiteral(VEK_SOURCE_DIR "/tests/tools/updater/make_update_image.py");
} // namespace

class tst_Controller : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void goodImageRunsScript();
    void refusedImages_data();
    void refusedImages();
    void brokenPrograms();
    void versions_data();
    void versions();
    void scriptOutputLines();
    void sdCardBeforeUsbAndNameOrder();
    void retrySeesNoStaleFile();
    void finalEmptiesAndUnmounts();
    void finalWithoutImageUnmountsNothing();

private:
    struct Outcome
    {
        QList<int> progress;
        int error = -1;
        bool success = false;
    };

    QString path(const QString &boardPath) const { return m_root->path() + boardPath; }
    void writeVersion(const QString &model, const QString &version);
    void makeImage(const QString &medium, const QStringList &options);
    // A controller that has reached idle.
    std::unique_ptr<Controller> idleController();
    // Emits start and waits for the attempt's outcome.
    Outcome attempt(Controller *controller);
    QString readFile(const QString &boardPath) const;

    std::unique_ptr<QTemporaryDir> m_root;
};

void tst_Controller::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    platform::BoardPath::setRoot(m_root->path());
    QString error;
    QVERIFY2(
        sim::BoardRoot::prepare(m_root->path(), VEK_BOARDROOT_TEMPLATE, &error), qPrintable(error));
    QVERIFY(QDir().mkpath(path("/var/log")));
    writeVersion(QStringLiteral("VEK-4101"), QStringLiteral("1.0.0"));
}

void tst_Controller::cleanup()
{
    m_root.reset();
}

void tst_Controller::writeVersion(const QString &model, const QString &version)
{
    QFile file(path("/etc/version.info"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(
        QStringLiteral("<?xml version=\"1.0\"?>\n<versionInfo>\n  <modelType>%1</modelType>\n"
                       "  <version>%2</version>\n</versionInfo>\n")
            .arg(model, version)
            .toUtf8());
}

void tst_Controller::makeImage(const QString &medium, const QStringList &options)
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        QSKIP("python3 is needed to build the test images");
    QProcess p;
    p.start(python, QStringList { script, path(medium) } + options);
    QVERIFY(p.waitForFinished(WaitMs));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
}

std::unique_ptr<Controller> tst_Controller::idleController()
{
    auto controller = std::make_unique<Controller>();
    QSignalSpy idle(controller->idleState(), &QState::entered);
    if (!idle.wait(WaitMs))
        return nullptr;
    return controller;
}

tst_Controller::Outcome tst_Controller::attempt(Controller *controller)
{
    Outcome outcome;
    QSignalSpy progress(controller, &Controller::updateStepChanged);
    QSignalSpy error(controller, &Controller::error);
    QSignalSpy success(controller, &Controller::success);
    emit controller->start();
    if (!QTest::qWaitFor(
            [&] {
                return error.count() + success.count() > 0;
            },
            WaitMs))
        outcome.error = 2000; // no outcome at all
    QTest::qWait(50); // a second outcome would show here
    for (const QList<QVariant> &args : progress)
        outcome.progress << args.at(0).toInt();
    if (!error.isEmpty())
        outcome.error = error.first().at(0).value<Controller::ErrorMessage>();
    outcome.success = !success.isEmpty();
    if (error.count() + success.count() != 1)
        outcome.error = 1000; // reported twice
    return outcome;
}

QString tst_Controller::readFile(const QString &boardPath) const
{
    QFile file(path(boardPath));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void tst_Controller::goodImageRunsScript()
{
    makeImage("/run/media/sda1",
        { "--model", "VEK-4101", "--version", "1.1.0", "--progress", "10,50,100" });
    auto controller = idleController();
    QVERIFY(controller);
    QSignalSpy shell(controller.get(), &Controller::startUpdateShell);
    const Outcome outcome = attempt(controller.get());
    QCOMPARE(outcome.error, -1);
    QVERIFY(outcome.success);
    QCOMPARE(outcome.progress, QList<int>({ 10, 50, 100 }));
    QCOMPARE(shell.count(), 1);
    QVERIFY(controller->successState()->active());
    QCOMPARE(controller->updatePath(), QStringLiteral("/run/media/sda1/"));
    QCOMPARE(controller->updateModel(), QStringLiteral("VEK-4101"));
    QCOMPARE(controller->updateVersion(), QStringLiteral("1.1.0"));
    const QString log = readFile("/var/log/update.sh.log");
    QVERIFY2(log.contains("argument=v2.00\n"), qPrintable(log));
    QVERIFY2(log.contains("directory=" + QDir(path("/media/usb")).canonicalPath() + "\n"),
        qPrintable(log));
}

void tst_Controller::refusedImages_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("error");
    QTest::addColumn<QList<int>>("progress");
    const QStringList good = { "--model", "VEK-4101", "--version", "1.0.0" };

    QTest::newRow("no medium") << QStringList() << 0 << QList<int>();
    QTest::newRow("corrupt Update.img") << good + QStringList { "--corrupt" } << 1 << QList<int>();
    QTest::newRow("list names another file")
        << good + QStringList { "--list-name", "Other.img" } << 1 << QList<int>();
    QTest::newRow("member ../x") << good + QStringList { "--outer-member", "../x" } << 2
                                 << QList<int>();
    QTest::newRow("absolute member")
        << good + QStringList { "--outer-member", "/media/y" } << 2 << QList<int>();
    QTest::newRow("absolute link")
        << good + QStringList { "--outer-symlink", "etc:/etc" } << 2 << QList<int>();
    QTest::newRow("link leaving the folder")
        << good + QStringList { "--outer-symlink", "up:sub/../.." } << 2 << QList<int>();
    QTest::newRow("no inner image") << good + QStringList { "--no-inner" } << 3 << QList<int>();
    QTest::newRow("inner list names another file")
        << good + QStringList { "--inner-list-name", "Other.img" } << 4 << QList<int>();
    QTest::newRow("another model")
        << QStringList { "--model", "VEK-4102", "--version", "1.0.0" } << 6 << QList<int>();
    QTest::newRow("script exits 3") << good + QStringList { "--exit", "3", "--progress", "10,40" }
                                    << 8 << QList<int>({ 10, 40 });
}

void tst_Controller::refusedImages()
{
    QFETCH(QStringList, options);
    QFETCH(int, error);
    QFETCH(QList<int>, progress);
    QVERIFY(QDir().mkpath(path("/run/media/sda1")));
    if (!options.isEmpty())
        makeImage("/run/media/sda1", options);
    auto controller = idleController();
    QVERIFY(controller);
    const Outcome outcome = attempt(controller.get());
    QCOMPARE(outcome.error, error);
    QCOMPARE(outcome.progress, progress);
    QVERIFY(controller->errorState()->active());
    // Nothing of a refused image lands beside the unpack folder.
    QVERIFY(!QFileInfo::exists(path("/media/x")));
    QVERIFY(!QFileInfo::exists(path("/media/y")));
    QVERIFY(!QFileInfo::exists(path("/media/usb/etc")));
    QVERIFY(!QFileInfo::exists(path("/media/usb/up")));
}

void tst_Controller::brokenPrograms()
{
    // A script that cannot start has no exit code to go by: it is error 8 all the same.
    makeImage(
        "/run/media/sda1", { "--model", "VEK-4101", "--version", "1.0.0", "--script-mode", "644" });
    auto controller = idleController();
    QVERIFY(controller);
    QCOMPARE(attempt(controller.get()).error, int(Controller::UpdateProcessError));
    // A missing tar fails the unpack; the host's own is never run in its place.
    QVERIFY(QFile::remove(path("/bin/tar")));
    QCOMPARE(attempt(controller.get()).error, int(Controller::UpdateImageDeployError));
}

void tst_Controller::versions_data()
{
    QTest::addColumn<QString>("running");
    QTest::addColumn<QString>("image");
    QTest::addColumn<int>("error");
    QTest::newRow("equal") << "1.0.0"
                           << "1.0.0" << -1;
    QTest::newRow("1.9 -> 1.10") << "1.9"
                                 << "1.10" << -1;
    QTest::newRow("1.10 -> 1.9") << "1.10"
                                 << "1.9" << 7;
    QTest::newRow("v prefix, newer") << "v1.0"
                                     << "1.0.1" << -1;
    QTest::newRow("1.0 equals 1.0.0") << "1.0.0"
                                      << "v1.0" << -1;
    QTest::newRow("text field") << "1.0b"
                                << "1.0a" << 7;
    QTest::newRow("no running version") << ""
                                        << "0.1" << -1;
}

void tst_Controller::versions()
{
    QFETCH(QString, running);
    QFETCH(QString, image);
    QFETCH(int, error);
    writeVersion("VEK-4101", running);
    makeImage("/run/media/sda1", { "--model", "VEK-4101", "--version", image });
    auto controller = idleController();
    QVERIFY(controller);
    QCOMPARE(controller->currentVersion(), running);
    const Outcome outcome = attempt(controller.get());
    QCOMPARE(outcome.error, error);
    QCOMPARE(outcome.success, error < 0);
    QCOMPARE(controller->updateVersion(), image);
}

void tst_Controller::scriptOutputLines()
{
    makeImage("/run/media/sda1",
        { "--model",
            "VEK-4101",
            "--version",
            "1.0.0",
            "--progress",
            "",
            "--raw-line",
            "progressBar:a word:50",
            "--raw-line",
            "progressBar",
            "--raw-line",
            "progressbar:x:60",
            "--raw-line",
            "progressBar:x:7O",
            "--raw-line",
            "noise:80",
            "--raw-line",
            "progressBar:90" });
    auto controller = idleController();
    QVERIFY(controller);
    const Outcome outcome = attempt(controller.get());
    QVERIFY(outcome.success);
    QCOMPARE(outcome.progress, QList<int>({ 50, 90 }));
}

void tst_Controller::sdCardBeforeUsbAndNameOrder()
{
    // The card holds another model: the service route skips the model and version checks.
    makeImage("/run/media/sdb1", { "--model", "VEK-4101", "--version", "2.0" });
    makeImage("/run/media/sda1", { "--model", "VEK-4101", "--version", "2.0" });
    {
        auto controller = idleController();
        QVERIFY(controller);
        QVERIFY(!controller->sdCard());
        QVERIFY(attempt(controller.get()).success);
        QCOMPARE(controller->updatePath(), QStringLiteral("/run/media/sda1/"));
    }
    makeImage("/run/media/mmc0", { "--model", "OTHER", "--version", "0.1" });
    auto controller = idleController();
    QVERIFY(controller);
    QVERIFY(controller->sdCard());
    QCOMPARE(controller->updatePath(), QStringLiteral("/run/media/mmc0/"));
    QVERIFY(attempt(controller.get()).success);
    QCOMPARE(controller->updatePath(), QStringLiteral("/run/media/mmc0/"));
    QVERIFY(controller->updateModel().isEmpty());
}

void tst_Controller::retrySeesNoStaleFile()
{
    makeImage("/run/media/sda1",
        { "--model", "VEK-4102", "--version", "1.0", "--extra", "leftover.txt" });
    auto controller = idleController();
    QVERIFY(controller);
    QCOMPARE(attempt(controller.get()).error, int(Controller::ModelMismatch));
    QVERIFY(QFileInfo::exists(path("/media/usb/leftover.txt")));

    // The stick is swapped for another while the error page shows; the retry finds the new one.
    QVERIFY(QDir(path("/run/media/sda1")).removeRecursively());
    makeImage("/run/media/sdb1", { "--model", "VEK-4101", "--version", "1.0" });
    const Outcome outcome = attempt(controller.get());
    QVERIFY(outcome.success);
    const QString log = readFile("/var/log/update.sh.log");
    QVERIFY2(log.contains("files=") && !log.contains("leftover.txt"), qPrintable(log));
}

void tst_Controller::finalEmptiesAndUnmounts()
{
    makeImage("/run/media/sda1", { "--model", "VEK-4101", "--version", "1.0" });
    auto controller = idleController();
    QVERIFY(controller);
    QVERIFY(attempt(controller.get()).success);
    QVERIFY(!QDir(path("/media/usb")).isEmpty());
    // A read-only folder left by an image is emptied too; a link is removed, not followed.
    QVERIFY(QDir().mkpath(path("/media/usb/ro/sub")));
    QVERIFY(QFile::link(path("/etc"), path("/media/usb/etc-link")));
    QVERIFY(QFile::setPermissions(
        path("/media/usb/ro"), QFileDevice::ReadOwner | QFileDevice::ExeOwner));

    QSignalSpy finished(&controller->machine(), &QStateMachine::finished);
    emit controller->final();
    QVERIFY(finished.count() > 0 || finished.wait(WaitMs));
    QVERIFY(QFileInfo(path("/media/usb")).isDir());
    QVERIFY(QDir(path("/media/usb"))
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                .isEmpty());
    QVERIFY(QFileInfo::exists(path("/etc/version.info")));
    QVERIFY(readFile("/var/log/standin.log").contains("/bin/umount /run/media/sda1\n"));
}

void tst_Controller::finalWithoutImageUnmountsNothing()
{
    auto controller = idleController();
    QVERIFY(controller);
    QFile stale(path("/media/usb/stale"));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();
    QSignalSpy finished(&controller->machine(), &QStateMachine::finished);
    emit controller->final();
    QVERIFY(finished.count() > 0 || finished.wait(WaitMs));
    QVERIFY(!QFileInfo::exists(path("/media/usb/stale")));
    QVERIFY(!readFile("/var/log/standin.log").contains("umount"));
}

QTEST_GUILESS_MAIN(tst_Controller)
#include "tst_Controller.moc"
