#include "remote/StartupFileChecks.h"

#include "platform/BoardPath.h"
#include "remote/StatusRegisters.h"
#include "remote/ZOSystErrCue.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

const char *const Programs[] = { "/usr/bin/zodns6",
    "/usr/bin/zonbns",
    "/usr/bin/zontpdate",
    "/usr/bin/zodhcp2",
    "/usr/bin/zoUpdater",
    "/usr/bin/mac_update" };
const char *const Scripts[] = {
    "/etc/profile.d/qt_env.sh", "/etc/rc5.d/S00mac_update.sh", "/etc/udhcpc.d/50default"
};

constexpr QFileDevice::Permissions Executable =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions Plain = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

void writeFile(const QString &path, const QByteArray &text, QFileDevice::Permissions permissions)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();
    QVERIFY(file.setPermissions(permissions));
}

} // namespace

// The start-up's checks of the board's auxiliary programs and scripts, on a board root of its
// own: what is queued for each defect, in order.
class tst_StartupFileChecks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void defects_data();
    void defects();

private:
    QTemporaryDir m_root;
};

void tst_StartupFileChecks::init()
{
    zo4882::init4882();
    zo4882::s_systErrCue.clear();
    platform::BoardPath::setRoot(m_root.path());
    for (const char *program : Programs)
        writeFile(m_root.path() + QLatin1String(program), "#!/bin/sh\n", Executable);
    for (const char *script : Scripts)
        writeFile(m_root.path() + QLatin1String(script), "#!/bin/sh\nexit 0\n", Executable);
}

void tst_StartupFileChecks::cleanup()
{
    platform::BoardPath::setRoot(QString());
    zo4882::s_systErrCue.clear();
}

void tst_StartupFileChecks::defects_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("permissions");
    QTest::addColumn<QStringList>("queued");
    const int exe = int(Executable);
    const int plain = int(Plain);
    const int unreadable = int(QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QTest::newRow("all in order") << QStringLiteral("/usr/bin/zodns6") << true
                                  << QByteArray("#!/bin/sh\n") << exe << QStringList();
    QTest::newRow("program missing")
        << QStringLiteral("/usr/bin/zoUpdater") << false << QByteArray() << exe
        << QStringList { QStringLiteral("Missing /usr/bin/zoUpdater") };
    QTest::newRow("program not executable")
        << QStringLiteral("/usr/bin/zonbns") << true << QByteArray("#!/bin/sh\n") << plain
        << QStringList { QStringLiteral("Unexecutable /usr/bin/zonbns") };
    QTest::newRow("script missing: one entry")
        << QStringLiteral("/etc/udhcpc.d/50default") << false << QByteArray() << exe
        << QStringList { QStringLiteral("Missing /etc/udhcpc.d/50default") };
    QTest::newRow("script with DOS line ends, not executable")
        << QStringLiteral("/etc/rc5.d/S00mac_update.sh") << true
        << QByteArray("#!/bin/sh\r\nexit 0\r\n") << plain
        << QStringList { QStringLiteral("Unexecutable /etc/rc5.d/S00mac_update.sh"),
               QStringLiteral("Bad Newline in /etc/rc5.d/S00mac_update.sh") };
    QTest::newRow("script unreadable: its line ends unknown")
        << QStringLiteral("/etc/profile.d/qt_env.sh") << true << QByteArray("#!/bin/sh\n")
        << unreadable << QStringList { QStringLiteral("Unreadable /etc/profile.d/qt_env.sh") };
}

void tst_StartupFileChecks::defects()
{
    QFETCH(QString, path);
    QFETCH(bool, present);
    QFETCH(QByteArray, text);
    QFETCH(int, permissions);
    QFETCH(QStringList, queued);
    const QString file = m_root.path() + path;
    if (present)
        writeFile(file, text, QFileDevice::Permissions(permissions));
    else
        QVERIFY(QFile::remove(file));
    if (::geteuid() == 0 && !(permissions & QFileDevice::ReadOwner) && present)
        QSKIP("root reads every file");

    QCOMPARE(zostd::checkStartupFiles(), queued);
    QCOMPARE(zo4882::s_systErrCue.count(), queued.size());
    for (const QString &detail : queued) {
        const zo4882::SYST_ERR_INFO entry = zo4882::s_systErrCue.decue();
        QCOMPARE(entry.code(), short(-310));
        QCOMPARE(int(entry.intf()), 0);
        QCOMPARE(entry.detail(), detail);
    }
}

QTEST_GUILESS_MAIN(tst_StartupFileChecks)
#include "tst_StartupFileChecks.moc"
