#include "platform/InstanceLock.h"
#include "platform/SysfsFile.h"
#include "tests/support/PowerBoard.h"
#include "tests/tools/hwmaint/BootLog.h"
#include "tools/hwmaint/iocTools.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

namespace {
constexpr int ToolTimeoutMs = 60000;

QString gpio(int line)
{
    QString text;
    return platform::SysfsFile::read(QString("/sys/class/gpio/gpio%1/value").arg(line), &text) == 0
        ? text
        : QStringLiteral("<none>");
}

QString sha256(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}
} // namespace

// The controller commands as service staff run them: hwmaint as a process against vek-powerboard
// on a temporary board root, with the board's stand-ins for mount, umount, cp and dd.
class tst_iocTools : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void usbSwitchSetsUpABareBoard();
    void updateWithDd();
    void updateWithCp();
    void badArguments_data();
    void badArguments();
    void refusedWhileTheLockIsHeld();
    void missingDevice();
    void diskNeverAppears();
    void unconfirmedMountWritesNothing();
    void failedCopyStaysInIspMode_data();
    void failedCopyStaysInIspMode();

private:
    int hwmaint(const QStringList &arguments);
    QStringList journal() const;
    void standIn(const QString &boardPath, const QByteArray &body);
    QString state() { return m_board->command("boot"); }

    PowerBoard *m_board = nullptr;
    QTemporaryDir *m_work = nullptr; // the tool's working folder
    QString m_errors;
    QByteArray m_image;
};

void tst_iocTools::init()
{
    m_board = new PowerBoard;
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    QCOMPARE(m_board->command("boot diskdelay 100"), QString("OK"));
    m_work = new QTemporaryDir;
    QVERIFY(m_work->isValid());
    m_image.clear();
    for (int i = 0; i < 1000; ++i)
        m_image.append(char(i * 7 + 1));
    QFile fw(m_work->path() + "/fw.bin");
    QVERIFY(fw.open(QIODevice::WriteOnly));
    fw.write(m_image);
    m_errors.clear();
}

void tst_iocTools::cleanup()
{
    const bool clean = m_board->stop();
    const QString error = m_board->errorString();
    delete m_board;
    m_board = nullptr;
    delete m_work;
    m_work = nullptr;
    QVERIFY2(clean, qPrintable(error));
}

int tst_iocTools::hwmaint(const QStringList &arguments)
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("BOARD_ROOT", m_board->root());
    tool.setProcessEnvironment(env);
    tool.setWorkingDirectory(m_work->path());
    tool.start(HWMAINT_EXE, arguments);
    if (!tool.waitForFinished(ToolTimeoutMs)) {
        tool.kill();
        tool.waitForFinished();
        qWarning("hwmaint did not finish");
        return -1;
    }
    m_errors = QString::fromLocal8Bit(tool.readAllStandardError());
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

QStringList tst_iocTools::journal() const
{
    QFile f(m_board->root() + "/var/log/standin.log");
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

void tst_iocTools::standIn(const QString &boardPath, const QByteArray &body)
{
    QFile f(m_board->root() + boardPath);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("#!/bin/bash\n" + body + "\n");
    f.close();
    QVERIFY(f.setPermissions(f.permissions() | QFile::ExeOwner));
}

void tst_iocTools::usbSwitchSetsUpABareBoard()
{
    QVERIFY(!QFileInfo::exists(m_board->root() + "/sys/class/gpio/gpio111"));
    QCOMPARE(hwmaint({ "-c", "usbswitch", "-i" }), 0);
    QCOMPARE(gpio(111), QString("1"));
    QCOMPARE(gpio(112), QString("0"));
    QCOMPARE(hwmaint({ "-c", "usbswitch" }), 0);
    QCOMPARE(gpio(111), QString("0"));
    QCOMPARE(m_errors, QString());
}

void tst_iocTools::updateWithDd()
{
    QCOMPARE(hwmaint({ "-c", "iocupdate", "-d", "fw.bin" }), 0);
    QVERIFY2(!m_errors.contains("hwmaint:"), qPrintable(m_errors)); // dd's own report only
    QCOMPARE(journal(),
        QStringList({ "/bin/umount /run/media/sda",
            "/bin/mount -rw -t vfat /dev/sda /run/media/sda",
            "/bin/dd bs=512 conv=notrunc,sync,noerror if=fw.bin of=/run/media/sda/firmware.bin",
            "/bin/umount /run/media/sda" }));

    // Last the flash-boot pair and the USB host back at the front socket.
    const BootLog log = BootLog::read(*m_board);
    QCOMPARE(log.frames.size(), 4);
    QCOMPARE(log.frames.at(2).words.value(2), 4u);
    QCOMPARE(log.frames.at(3).words.value(2), 6u);
    QCOMPARE(gpio(111), QString("0"));
    const QByteArray padded = m_image + QByteArray(1024 - m_image.size(), '\0');
    QCOMPARE(state(), "OK flash - 0 1024 " + sha256(padded));
    QVERIFY(log.events.contains("firmware installed 1024 " + sha256(padded)));
}

// A file named by its board path (a stick under /run/media, say), copied with cp.
void tst_iocTools::updateWithCp()
{
    QDir().mkpath(m_board->root() + "/run/media/sdb1");
    QVERIFY(QFile::copy(m_work->path() + "/fw.bin", m_board->root() + "/run/media/sdb1/fw.bin"));
    QCOMPARE(hwmaint({ "-c", "iocupdate", "/run/media/sdb1/fw.bin" }), 0);
    QCOMPARE(m_errors, QString());
    QVERIFY(journal().contains("/bin/cp /run/media/sdb1/fw.bin /run/media/sda/firmware.bin"));
    QCOMPARE(state(), "OK flash - 0 1000 " + sha256(m_image));
}

void tst_iocTools::badArguments_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("message");
    QTest::newRow("two files") << QStringList { "fw.bin", "b.bin" }
                               << "hwmaint: iocupdate takes exactly one firmware file\n";
    QTest::newRow("none") << QStringList {}
                          << "hwmaint: iocupdate takes exactly one firmware file\n";
    QTest::newRow("missing") << QStringList { "missing.bin" }
                             << "hwmaint: cannot read missing.bin\n";
    QTest::newRow("folder") << QStringList { "." } << "hwmaint: cannot read .\n";
    QTest::newRow("empty") << QStringList { "empty.bin" } << "hwmaint: empty.bin is empty\n";
}

void tst_iocTools::badArguments()
{
    QFETCH(QStringList, files);
    QFETCH(QString, message);
    QFile empty(m_work->path() + "/empty.bin");
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QCOMPARE(hwmaint(QStringList { "-c", "iocupdate" } + files), 2);
    QCOMPARE(m_errors, message);
    QCOMPARE(journal(), QStringList());
    QCOMPARE(BootLog::read(*m_board).frames.size(), 0);
    QVERIFY(!QFileInfo::exists(m_board->root() + "/sys/class/gpio/gpio111"));
}

void tst_iocTools::refusedWhileTheLockIsHeld()
{
    platform::InstanceLock instrument;
    QCOMPARE(instrument.tryLock(), 0);
    for (const QStringList &command : { QStringList { "-c", "iocboot", "-i" },
             QStringList { "-c", "usbswitch", "--init" },
             QStringList { "-c", "iocupdate", "fw.bin" } }) {
        QCOMPARE(hwmaint(command), 2);
        QVERIFY2(m_errors.startsWith("hwmaint: the power board is in use by pid "),
            qPrintable(m_errors));
        QVERIFY2(m_errors.contains("/var/lock/Vek3r.lock"), qPrintable(m_errors));
    }
    QCOMPARE(BootLog::read(*m_board).frames.size(), 0);
    QVERIFY(!QFileInfo::exists(m_board->root() + "/sys/class/gpio/gpio111"));
    instrument.unlock();
    QCOMPARE(hwmaint({ "-c", "iocboot", "-i" }), 0);
    QVERIFY(state().startsWith("OK isp "));
}

void tst_iocTools::missingDevice()
{
    QVERIFY(QFile::remove(m_board->root() + "/dev/spidev1.0"));
    QCOMPARE(hwmaint({ "-c", "iocboot", "-i" }), 2);
    QCOMPARE(m_errors, QString("hwmaint: cannot open /dev/spidev1.0: No such file or directory\n"));
    // The update gives up before touching the disk and puts the USB host back.
    QCOMPARE(hwmaint({ "-c", "iocupdate", "fw.bin" }), 2);
    QCOMPARE(journal(), QStringList());
    QCOMPARE(gpio(111), QString("0"));
}

// In-process, to shorten the wait for the disk.
void tst_iocTools::diskNeverAppears()
{
    QCOMPARE(m_board->command("boot diskdelay never"), QString("OK"));
    IocToolsTiming timing;
    timing.diskTimeoutMs = 500;
    QTextStream errors(&m_errors);
    iocTools tools(timing, &errors);
    QDir::setCurrent(m_work->path());
    QCOMPARE(tools.update({ "fw.bin" }), int(iocTools::Failed));
    QCOMPARE(m_errors,
        QString("hwmaint: the IOC's ISP disk did not appear within 500 ms; nothing was written\n"));
    QCOMPARE(journal(), QStringList());
    QCOMPARE(state(), QString("OK flash - 0 0 -"));
    QCOMPARE(gpio(111), QString("0"));
}

// A mount that reports success without mounting must not lead to a copy into the bare folder.
void tst_iocTools::unconfirmedMountWritesNothing()
{
    standIn("/bin/mount", "echo \"/bin/mount $*\" >> \"$BOARD_ROOT/var/log/standin.log\"");
    QCOMPARE(hwmaint({ "-c", "iocupdate", "fw.bin" }), 1);
    QCOMPARE(m_errors,
        QString("hwmaint: /dev/sda is not mounted writable on /run/media/sda; nothing was "
                "written\n"));
    for (const QString &line : journal())
        QVERIFY2(!line.startsWith("/bin/cp") && !line.startsWith("/bin/dd"), qPrintable(line));
    QVERIFY(!QFileInfo::exists(m_board->root() + "/run/media/sda/firmware.bin"));
    QCOMPARE(state(), QString("OK flash - 0 0 -"));
    QCOMPARE(gpio(111), QString("0"));
}

void tst_iocTools::failedCopyStaysInIspMode_data()
{
    QTest::addColumn<QByteArray>("cp");
    QTest::addColumn<QString>("message");
    QTest::newRow("cp fails") << QByteArray("echo 'cp: write error' >&2; exit 1")
                              << "hwmaint: /bin/cp: exit status 1\n";
    QTest::newRow("short copy") << QByteArray("head -c 10 \"$1\" > \"$2\"")
                                << "hwmaint: verify failed: /run/media/sda/firmware.bin differs "
                                   "from fw.bin\n";
}

void tst_iocTools::failedCopyStaysInIspMode()
{
    QFETCH(QByteArray, cp);
    QFETCH(QString, message);
    standIn("/bin/cp", cp);
    QCOMPARE(hwmaint({ "-c", "iocupdate", "fw.bin" }), 1);
    QVERIFY2(m_errors.contains(message), qPrintable(m_errors));
    QVERIFY2(m_errors.endsWith("hwmaint: the IOC stays in ISP mode with the USB host switched to "
                               "it; run iocupdate again\n"),
        qPrintable(m_errors));
    // Not booted from flash: the half-written firmware never runs; the disk is unmounted.
    QVERIFY(state().startsWith("OK isp sda 0 0 -"));
    QCOMPARE(gpio(111), QString("1"));
    QCOMPARE(journal().last(), QString("/bin/umount /run/media/sda"));
}

QTEST_GUILESS_MAIN(tst_iocTools)
#include "tst_iocTools.moc"
