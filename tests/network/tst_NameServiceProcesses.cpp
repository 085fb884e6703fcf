#include "network/AvahiDaemonProcess.h"
#include "network/AvahiPublishProcess.h"
#include "network/NbnsProcess.h"
#include "network/NtpDateProcess.h"

#include "instrument/PreferenceInfo.h"
#include "network/NetworkInfo.h"
#include "platform/BoardPath.h"
#include "remote/IModelInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <memory>

namespace {

class FakeModel : public zostd::IModelInfo
{
public:
    QString getManufacturer() const override { return QStringLiteral("Acme Loads"); }
    QString getModel() const override { return QStringLiteral("VL-300"); }
    QString getSerial() const override { return QStringLiteral("SN0042"); }
    QString getRevision() const override { return QStringLiteral("1.02.3"); }
    QString getProductDescription() const override { return QString(); }
    QString getIviDriverIdentifier() const override { return QString(); }
    quint16 getUsbVID() const override { return 0; }
    quint16 getUsbPID() const override { return 0; }
    QString getHwAdr() const override { return QString(); }
};

// Each stand-in logs "name [arg] [arg]..." to var/log/tools.log, then acts as the board's
// program would as far as the system relies on it.
const struct
{
    const char *path;
    const char *body;
} StandIns[] = {
    { "usr/sbin/avahi-daemon",
        "host=$(sed -n 's/^host-name=//p' \"$BOARD_ROOT/etc/avahi/avahi-daemon.conf\")\n"
        "echo \"Server startup complete. Host name is ${host:-none}.local. Local service cookie "
        "is 42.\" >&2\n"
        "exec sleep 30\n" },
    { "usr/bin/avahi-publish",
        "echo \"Established under name '$2'\" >&2\n"
        "exec sleep 30\n" },
    { "usr/bin/zonbns",
        "if [ \"$1\" = -kill:1 ]; then kill \"$(cat \"$BOARD_ROOT/var/run/zonbns.pid\")\"; exit 0; "
        "fi\n"
        "echo $$ > \"$BOARD_ROOT/var/run/zonbns.pid\"\n"
        "echo \"${1#-hostname:} has been advertized\"\n"
        "exec sleep 30\n" },
    { "usr/bin/zontpdate", "echo 'offset 0.002 s'\nexit 0\n" },
};

} // namespace

// The mDNS daemon, DNS-SD publisher, NetBIOS and NTP runners on a board root whose programs are
// logging stand-ins: the files and command lines they produce, and their running state.
class tst_NameServiceProcesses : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void daemonConfigurationTakesCachedElsePreferredHostname_data();
    void daemonConfigurationTakesCachedElsePreferredHostname();
    void daemonRefusesHostnameThatWouldAddConfigurationLines();
    void daemonWithoutTemplateStartsAllTheSame();
    void daemonEndRemovesItsFolderButNoLinkTarget();
    void publisherArgumentsAndRecords_data();
    void publisherArgumentsAndRecords();
    void publisherTakesCachedNameElseDescription();
    void publishWhileRunningStartsNothing();
    void nbnsArgumentsFollowTheWinsServers_data();
    void nbnsArgumentsFollowTheWinsServers();
    void nbnsStartStopAndSecondStart();
    void nbnsAdvertisedName_data();
    void nbnsAdvertisedName();
    void ntpArguments_data();
    void ntpArguments();

private:
    QString path(const QString &relative) const { return m_root->filePath(relative); }
    void write(const QString &relative, const QByteArray &content);
    QString read(const QString &relative) const;
    // The logged runs, one "name [arg]..." per run.
    QStringList journal() const;

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<PreferenceInfo> m_preferences;
    std::unique_ptr<NetworkInfo> m_info;
    FakeModel m_model;
};

void tst_NameServiceProcesses::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    platform::BoardPath::setRoot(m_root->path());
    QDir dir(m_root->path());
    for (const char *sub : { "usr/sbin", "usr/bin", "etc/instr", "var/run", "var/log" })
        QVERIFY(dir.mkpath(sub));
    for (const auto &standIn : StandIns) {
        write(standIn.path,
            QByteArray(
                "#!/bin/sh\n{ printf '%s' \"$(basename \"$0\")\"; for a in \"$@\"; do "
                "printf ' [%s]' \"$a\"; done; echo; } >> \"$BOARD_ROOT/var/log/tools.log\"\n")
                + standIn.body);
        QFile::setPermissions(path(standIn.path), QFile::ReadOwner | QFile::ExeOwner);
    }
    write("usr/bin/avahi-daemon.conf.template",
        "[server]\nhost-name=%1\nuse-ipv6=yes\n\n[publish]\npublish-workstation=no\n");
    m_preferences = std::make_unique<PreferenceInfo>();
    m_preferences->modify([](PreferenceInfo::Values &v) {
        v.hostname = QStringLiteral("VEK3R-00042");
        v.description = QStringLiteral("Acme Loads VL-300 DC Load - SN0042");
        v.ntpServerHostname = QStringLiteral("ntp.lab.test");
    });
    m_info = std::make_unique<NetworkInfo>();
}

void tst_NameServiceProcesses::cleanup()
{
    m_info.reset();
    m_preferences.reset();
    platform::BoardPath::setRoot(QString());
    m_root.reset();
}

void tst_NameServiceProcesses::write(const QString &relative, const QByteArray &content)
{
    QFile file(path(relative));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QString tst_NameServiceProcesses::read(const QString &relative) const
{
    QFile file(path(relative));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<missing>");
    return QString::fromUtf8(file.readAll());
}

QStringList tst_NameServiceProcesses::journal() const
{
    const QString text = read("var/log/tools.log");
    return text == QLatin1String("<missing>") ? QStringList()
                                              : text.split('\n', Qt::SkipEmptyParts);
}

void tst_NameServiceProcesses::daemonConfigurationTakesCachedElsePreferredHostname_data()
{
    QTest::addColumn<QByteArray>("cache");
    QTest::addColumn<QString>("hostname");
    QTest::newRow("no cache") << QByteArray() << "VEK3R-00042";
    QTest::newRow("empty cache") << QByteArray("  \n") << "VEK3R-00042";
    QTest::newRow("name after a collision") << QByteArray("VEK3R-00042-2") << "VEK3R-00042-2";
    QTest::newRow("cache with a line end") << QByteArray("VEK3R-7\nhost-name=x") << "VEK3R-7";
    QTest::newRow("damaged cache") << QByteArray("a;b=c") << "VEK3R-00042";
}

void tst_NameServiceProcesses::daemonConfigurationTakesCachedElsePreferredHostname()
{
    QFETCH(QByteArray, cache);
    QFETCH(QString, hostname);
    if (!cache.isNull())
        write("etc/instr/avahi-hostname-cache", cache);
    AvahiDaemonProcess daemon(m_preferences.get());
    QSignalSpy lines(&daemon, &AvahiDaemonProcess::readyReadLines);
    QCOMPARE(daemon.startService(), 0);
    QCOMPARE(read("etc/avahi/avahi-daemon.conf"),
        QStringLiteral(
            "[server]\nhost-name=%1\nuse-ipv6=yes\n\n[publish]\npublish-workstation=no\n")
            .arg(hostname));
    QCOMPARE(QDir(path("etc/avahi")).entryList(QDir::Files), QStringList("avahi-daemon.conf"));
    QVERIFY(lines.wait(5000));
    QCOMPARE(daemon.lines(),
        QStringList(QStringLiteral(
            "Server startup complete. Host name is %1.local. Local service cookie is 42.")
                        .arg(hostname)));
    QVERIFY(daemon.runningPid() > 0);
    // A second start leaves the running daemon and its configuration alone.
    QCOMPARE(daemon.startService(), 0);
    QCOMPARE(journal(), QStringList("avahi-daemon"));
    daemon.stopService();
    QVERIFY(daemon.waitForFinished(5000));
}

void tst_NameServiceProcesses::daemonRefusesHostnameThatWouldAddConfigurationLines()
{
    m_preferences->modify([](PreferenceInfo::Values &v) {
        v.hostname = QStringLiteral("vek\nenable-reflector=yes");
    });
    AvahiDaemonProcess daemon(m_preferences.get());
    QString detail;
    QCOMPARE(daemon.startService(&detail), -224);
    QVERIFY(detail.contains("not a valid host name"));
    QCOMPARE(read("etc/avahi/avahi-daemon.conf"), QStringLiteral("<missing>"));
    QCOMPARE(daemon.state(), QProcess::NotRunning);
    QCOMPARE(journal(), QStringList());
    for (const char *bad : { "", "-vek", "vek-", "vek.local", "v\x01k", "vek name" })
        QVERIFY2(!AvahiDaemonProcess::isValidHostname(QString::fromLatin1(bad)), bad);
    QVERIFY(!AvahiDaemonProcess::isValidHostname(QString(64, 'a')));
    QVERIFY(AvahiDaemonProcess::isValidHostname(QString(63, 'a')));
}

void tst_NameServiceProcesses::daemonWithoutTemplateStartsAllTheSame()
{
    QVERIFY(QFile::remove(path("usr/bin/avahi-daemon.conf.template")));
    AvahiDaemonProcess daemon(m_preferences.get());
    QString detail;
    QCOMPARE(daemon.startService(&detail), -256);
    QVERIFY(detail.contains("avahi-daemon.conf.template"));
    QVERIFY(daemon.waitForStarted(5000));
    QVERIFY(!QFileInfo::exists(path("etc/avahi/avahi-daemon.conf")));
    daemon.stopService();
    QVERIFY(daemon.waitForFinished(5000));
}

void tst_NameServiceProcesses::daemonEndRemovesItsFolderButNoLinkTarget()
{
    QDir dir(m_root->path());
    QVERIFY(dir.mkpath("etc/keep"));
    write("etc/keep/precious", "x");
    AvahiDaemonProcess daemon(m_preferences.get());
    QSignalSpy finished(&daemon, &AvahiDaemonProcess::progFinished);
    QCOMPARE(daemon.stopService(), 0); // nothing runs: nothing to do
    QCOMPARE(daemon.startService(), 0);
    QVERIFY(daemon.waitForStarted(5000));
    QVERIFY(QFile::link(path("etc/keep"), path("etc/avahi/services")));
    QCOMPARE(daemon.stopService(), 0);
    QVERIFY(finished.wait(5000));
    QCOMPARE(daemon.runningPid(), 0);
    QVERIFY(!QFileInfo::exists(path("etc/avahi")));
    QCOMPARE(read("etc/keep/precious"), QStringLiteral("x"));
}

void tst_NameServiceProcesses::publisherArgumentsAndRecords_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("port");
    QTest::addColumn<QStringList>("records");
    const QStringList identity { "txtvers=1",
        "Manufacturer=Acme Loads",
        "Model=VL-300",
        "SerialNumber=SN0042",
        "FirmwareVersion=1.02.3" };
    QTest::newRow("http") << "_http._tcp" << 80 << QStringList { "txtvers=1", "path=/" };
    QTest::newRow("lxi") << "_lxi._tcp" << 80 << identity;
    QTest::newRow("vxi-11") << "_vxi-11._tcp" << 111 << identity;
    QTest::newRow("scpi-raw") << "_scpi-raw._tcp" << 5025 << identity;
    QTest::newRow("scpi-telnet") << "_scpi-telnet._tcp" << 5024 << identity;
    QTest::newRow("hislip") << "_hislip._tcp" << 4880 << identity;
}

void tst_NameServiceProcesses::publisherArgumentsAndRecords()
{
    QFETCH(QString, type);
    QFETCH(int, port);
    QFETCH(QStringList, records);
    AvahiPublishProcess publisher(type, quint16(port), &m_model, m_preferences.get());
    QCOMPARE(publisher.txtRecords(), records);
    QSignalSpy lines(&publisher, &AvahiPublishProcess::readyReadLines);
    QCOMPARE(publisher.publish(), 0);
    QVERIFY(lines.wait(5000));
    QCOMPARE(publisher.lines(),
        QStringList("Established under name 'Acme Loads VL-300 DC Load - SN0042'"));
    // What the program got, word for word: "path=/" is a record, not a board path.
    QString expected =
        QStringLiteral("avahi-publish [-s] [Acme Loads VL-300 DC Load - SN0042] [%1] [%2]")
            .arg(type)
            .arg(port);
    for (const QString &record : records)
        expected += QStringLiteral(" [%1]").arg(record);
    QCOMPARE(journal(), QStringList(expected));
    QCOMPARE(publisher.unpublish(), 0);
    QVERIFY(publisher.waitForFinished(5000));
    QCOMPARE(publisher.runningPid(), 0);
}

void tst_NameServiceProcesses::publisherTakesCachedNameElseDescription()
{
    AvahiPublishProcess publisher("_lxi._tcp", 80, &m_model, m_preferences.get());
    QCOMPARE(publisher.arguments().at(1), QStringLiteral("Acme Loads VL-300 DC Load - SN0042"));
    QCOMPARE(AvahiPublishProcess::writeServiceCache("Acme Loads VL-300 #2"), 0);
    QCOMPARE(read("etc/instr/avahi-service-cache"), QStringLiteral("Acme Loads VL-300 #2"));
    QCOMPARE(publisher.arguments().at(1), QStringLiteral("Acme Loads VL-300 #2"));
    QVERIFY(AvahiPublishProcess::deleteCache());
    QCOMPARE(publisher.arguments().at(1), QStringLiteral("Acme Loads VL-300 DC Load - SN0042"));
    QVERIFY(AvahiPublishProcess::deleteCache()); // already gone
}

void tst_NameServiceProcesses::publishWhileRunningStartsNothing()
{
    AvahiPublishProcess publisher("_hislip._tcp", 4880, &m_model, m_preferences.get());
    QSignalSpy lines(&publisher, &AvahiPublishProcess::readyReadLines);
    QCOMPARE(publisher.publish(), 0);
    QVERIFY(lines.wait(5000));
    QCOMPARE(publisher.publish(), -EBUSY);
    publisher.unpublish();
    QVERIFY(publisher.waitForFinished(5000));
    QCOMPARE(journal().size(), 1);
    QCOMPARE(publisher.publish(), 0); // after its end it starts again
    QVERIFY(lines.wait(5000));
    publisher.unpublish();
    QVERIFY(publisher.waitForFinished(5000));
    QCOMPARE(journal().size(), 2);
}

void tst_NameServiceProcesses::nbnsArgumentsFollowTheWinsServers_data()
{
    QTest::addColumn<QString>("wins1");
    QTest::addColumn<QString>("wins2");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("static IPv4") << "0.0.0.0"
                                 << "0.0.0.0" << QStringList { "-hostname:VEK3R-00042" };
    QTest::newRow("option 44, one server")
        << "10.77.0.44"
        << "0.0.0.0" << QStringList { "-hostname:VEK3R-00042", "-wins1:10.77.0.44" };
    QTest::newRow("two servers") << "10.77.0.44"
                                 << "10.77.0.45"
                                 << QStringList { "-hostname:VEK3R-00042",
                                        "-wins1:10.77.0.44",
                                        "-wins2:10.77.0.45" };
}

void tst_NameServiceProcesses::nbnsArgumentsFollowTheWinsServers()
{
    QFETCH(QString, wins1);
    QFETCH(QString, wins2);
    QFETCH(QStringList, arguments);
    m_info->modify([&](NetworkInfo::Fields &f) {
        f.priWINS4 = wins1;
        f.secWINS4 = wins2;
    });
    NbnsProcess nbns(m_info.get(), m_preferences.get());
    QCOMPARE(nbns.arguments(), arguments);
}

void tst_NameServiceProcesses::nbnsStartStopAndSecondStart()
{
    NbnsProcess nbns(m_info.get(), m_preferences.get());
    QSignalSpy lines(&nbns, &NbnsProcess::readyReadLines);
    QSignalSpy finished(&nbns, &NbnsProcess::progFinished);
    QCOMPARE(nbns.stopService(), 0); // never started: no "-kill:1"
    QCOMPARE(nbns.startService(), 0);
    QVERIFY(lines.wait(5000));
    QCOMPARE(NbnsProcess::advertisedName(nbns.lines().value(0)), QStringLiteral("VEK3R-00042"));
    QCOMPARE(nbns.startService(), -EBUSY);
    QCOMPARE(nbns.stopService(), 0);
    QVERIFY(finished.wait(5000));
    QCOMPARE(nbns.runningPid(), 0);
    QCOMPARE(journal(), QStringList({ "zonbns [-hostname:VEK3R-00042]", "zonbns [-kill:1]" }));
    QCOMPARE(nbns.stopService(), 0); // ended: nothing more
    QCOMPARE(journal().size(), 2);
}

void tst_NameServiceProcesses::nbnsAdvertisedName_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name");
    QTest::newRow("advertized") << "FOO has been advertized"
                                << "FOO";
    QTest::newRow("registered") << "VEK3R-42 registration succeeded at 10.77.0.44 (1 s)"
                                << "VEK3R-42";
    QTest::newRow("other line") << "FOO was refused"
                                << "";
    QTest::newRow("leading blank") << " FOO has been advertized"
                                   << "";
    QTest::newRow("dot in name") << "FOO.BAR has been advertized"
                                 << "";
}

void tst_NameServiceProcesses::nbnsAdvertisedName()
{
    QFETCH(QString, line);
    QFETCH(QString, name);
    QCOMPARE(NbnsProcess::advertisedName(line), name);
}

void tst_NameServiceProcesses::ntpArguments_data()
{
    QTest::addColumn<bool>("hwclock");
    QTest::addColumn<double>("threshold");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("after ifup") << true << 0.1 << "ntp.lab.test"
                                << QStringList {
                                       "-server:ntp.lab.test", "-hwclock:1", "-thresh:0.1"
                                   };
    QTest::newRow("clock command")
        << false << 1.0 << "" << QStringList { "-server:ntp.lab.test", "-hwclock:0", "-thresh:1" };
    QTest::newRow("other server") << false << 2.5 << "10.77.0.123"
                                  << QStringList {
                                         "-server:10.77.0.123", "-hwclock:0", "-thresh:2.5"
                                     };
}

void tst_NameServiceProcesses::ntpArguments()
{
    QFETCH(bool, hwclock);
    QFETCH(double, threshold);
    QFETCH(QString, server);
    QFETCH(QStringList, arguments);
    NtpDateProcess ntp(m_preferences.get());
    QSignalSpy finished(&ntp, &NtpDateProcess::progfinished);
    QSignalSpy lines(&ntp, &NtpDateProcess::readyReadLines);
    QCOMPARE(ntp.launch(hwclock, threshold, server), 0);
    QVERIFY(finished.wait(5000));
    QCOMPARE(lines.count(), 1);
    QStringList logged { "zontpdate" };
    for (const QString &argument : arguments)
        logged.append(QStringLiteral("[%1]").arg(argument));
    QCOMPARE(journal(), QStringList(logged.join(' ')));
}

QTEST_GUILESS_MAIN(tst_NameServiceProcesses)
#include "tst_NameServiceProcesses.moc"
