#include "platform/SystemClock.h"

#include "tests/platform/StandInRoot.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <cstdlib>

using platform::SystemClock;

// The clock and time-zone seam on a board root: the clock is the root's stand-in, the zone files
// are the root's, and a failed zone change leaves the old zone whole.
class tst_SystemClock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void clockIsTheRootsStandIn();
    void zoneChangeReplacesLinkAndFile();
    void zoneChangeFailingAtTheRenameKeepsTheOldZone();

private:
    QString path(const char *boardPath) const { return m_root->path() + QLatin1String(boardPath); }
    // "/etc/localtime" linked to zone and "/etc/timezone" holding it, as a board has them.
    void installZone(const QByteArray &zone);
    QByteArray zoneFile() const;

    std::unique_ptr<StandInRoot> m_root;
    QByteArray m_savedTz;
};

void tst_SystemClock::init()
{
    m_root = std::make_unique<StandInRoot>();
    QVERIFY(m_root->isValid());
    QVERIFY(QDir().mkpath(path("/etc")));
    QVERIFY(QDir().mkpath(path("/run")));
    m_savedTz = qgetenv("TZ");
    qputenv("TZ", "UTC");
}

void tst_SystemClock::cleanup()
{
    SystemClock::setZoneRenameFunction({});
    if (m_savedTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", m_savedTz);
    m_root.reset();
}

void tst_SystemClock::installZone(const QByteArray &zone)
{
    QVERIFY(QFile::link("/usr/share/zoneinfo/" + zone, path("/etc/localtime")));
    QFile file(path("/etc/timezone"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(zone);
}

QByteArray tst_SystemClock::zoneFile() const
{
    QFile file(path("/etc/timezone"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void tst_SystemClock::clockIsTheRootsStandIn()
{
    const qint64 host = QDateTime::currentSecsSinceEpoch();
    QVERIFY(qAbs(SystemClock::now() - host) < 60);
    const qint64 target = 2145916800; // 2038-01-01 00:00:00 UTC
    QCOMPARE(SystemClock::set(target), 0);
    QVERIFY(qAbs(SystemClock::now() - target) < 60);
    QVERIFY(QFileInfo::exists(path("/run/clock.offset")));
    QVERIFY(qAbs(QDateTime::currentSecsSinceEpoch() - host) < 60);

    std::tm local {};
    SystemClock::toLocal(target, &local);
    QCOMPARE(local.tm_year + 1900, 2038);
    QCOMPARE(SystemClock::makeLocal(&local), target);
}

void tst_SystemClock::zoneChangeReplacesLinkAndFile()
{
    installZone("Europe/Berlin");
    QCOMPARE(SystemClock::setZone("Asia/Tokyo"), 0);
    QCOMPARE(QFileInfo(path("/etc/localtime")).symLinkTarget(),
        QStringLiteral("/usr/share/zoneinfo/Asia/Tokyo"));
    QCOMPARE(zoneFile(), QByteArray("Asia/Tokyo"));
    QCOMPARE(qgetenv("TZ"), QByteArray("Asia/Tokyo"));
    QCOMPARE(QDir(path("/etc")).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot),
        (QStringList { "localtime", "timezone" }));
}

void tst_SystemClock::zoneChangeFailingAtTheRenameKeepsTheOldZone()
{
    installZone("Europe/Berlin");
    bool linkBuilt = false;
    SystemClock::setZoneRenameFunction([&linkBuilt](const QString &from, const QString &) {
        linkBuilt = QFileInfo(from).symLinkTarget().endsWith("Asia/Tokyo");
        return false;
    });
    QString reason;
    QCOMPARE(SystemClock::setZone("Asia/Tokyo", &reason), -310);
    QVERIFY(linkBuilt);
    QVERIFY(reason.contains("localtime"));
    QCOMPARE(QFileInfo(path("/etc/localtime")).symLinkTarget(),
        QStringLiteral("/usr/share/zoneinfo/Europe/Berlin"));
    QCOMPARE(zoneFile(), QByteArray("Europe/Berlin"));
    QCOMPARE(qgetenv("TZ"), QByteArray("UTC"));
    // No temporary link is left behind.
    QCOMPARE(QDir(path("/etc")).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot),
        (QStringList { "localtime", "timezone" }));
}

QTEST_GUILESS_MAIN(tst_SystemClock)
#include "tst_SystemClock.moc"
