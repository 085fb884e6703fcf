#include "commands/IFMAIN_Syst.h"

#include "commands/AnswerList.h"
#include "instrument/PreferenceInfo.h"
#include "platform/BoardPath.h"
#include "platform/ChildProcess.h"
#include "platform/SystemClock.h"
#include "platform/ZOProcessWrapper.h"
#include "remote/QueueError.h"
#include "remote/ZOCmdArg.h"

#include <QDate>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QTimeZone>

#include <ctime>

namespace {

constexpr int FirstYear = 2016;
constexpr int LastYear = 2037;
constexpr const char *ZoneDatabase = "/usr/share/zoneinfo/";
constexpr const char *NoServer = "Server did not respond";

PreferenceInfo *preferences()
{
    return static_cast<PreferenceInfo *>(PreferenceInfo::s_pSelf);
}

// The three integers of a date or time setting (the dictionary passes exactly three).
void threeInts(const zo4882::ZO_PARSER_RESULT *result, int out[3])
{
    const zo4882::ZOCmdArg *arg = result->args;
    for (int i = 0; i < 3; ++i) {
        out[i] = arg ? int(*arg) : -1;
        arg = arg ? arg->next() : nullptr;
    }
}

// Sets the board's clock to the present local time changed by change, then copies it into the
// hardware clock in the background (its result is not looked at). -224 when the clock refuses.
template <class Change> short setLocalClock(Change change)
{
    std::tm local {};
    platform::SystemClock::toLocal(platform::SystemClock::now(), &local);
    change(&local);
    const qint64 seconds = platform::SystemClock::makeLocal(&local);
    if (seconds == -1 || platform::SystemClock::set(seconds) != 0)
        return -224;
    platform::ChildProcess::startDetached(
        QStringLiteral("/sbin/hwclock"), { QStringLiteral("--utc"), QStringLiteral("--systohc") });
    return 0;
}

zo4882::ZOCmdArg *threeIntAnswer(int a, int b, int c)
{
    using zo4882::ZOCmdArg;
    return ZOCmdArg::linkChains(3,
        new ZOCmdArg(a, ZOCmdArg::KIND_INT),
        new ZOCmdArg(b, ZOCmdArg::KIND_INT),
        new ZOCmdArg(c, ZOCmdArg::KIND_INT));
}

std::tm localNow()
{
    std::tm local {};
    platform::SystemClock::toLocal(platform::SystemClock::now(), &local);
    return local;
}

QMutex s_launcherMutex; // guards s_launcher
IFMAIN_SystTimeAdj::Launcher s_launcher;

QMutex s_zoneMutex; // guards s_zoneList
QList<QByteArray> s_zoneList;

} // namespace

short IFMAIN_SystDate::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    int ymd[3];
    threeInts(result, ymd);
    if (!QDate::isValid(ymd[0], ymd[1], ymd[2]) || ymd[0] < FirstYear || ymd[0] > LastYear)
        return -224;
    return setLocalClock([&ymd](std::tm *t) {
        t->tm_year = ymd[0] - 1900;
        t->tm_mon = ymd[1] - 1;
        t->tm_mday = ymd[2];
    });
}

short IFMAIN_SystDate::OnQuery(const zo4882::ZO_PARSER_RESULT *, zo4882::ZOCmdArg **answer) const
{
    const std::tm local = localNow();
    *answer = threeIntAnswer(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return 0;
}

short IFMAIN_SystTime::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    int hms[3];
    threeInts(result, hms);
    if (hms[0] < 0 || hms[0] > 23 || hms[1] < 0 || hms[1] > 59 || hms[2] < 0 || hms[2] > 59)
        return -224;
    return setLocalClock([&hms](std::tm *t) {
        t->tm_hour = hms[0];
        t->tm_min = hms[1];
        t->tm_sec = hms[2];
    });
}

short IFMAIN_SystTime::OnQuery(const zo4882::ZO_PARSER_RESULT *, zo4882::ZOCmdArg **answer) const
{
    const std::tm local = localNow();
    *answer = threeIntAnswer(local.tm_hour, local.tm_min, local.tm_sec);
    return 0;
}

void IFMAIN_SystTimeAdj::setLauncher(Launcher launcher)
{
    QMutexLocker lock(&s_launcherMutex);
    s_launcher = std::move(launcher);
}

short IFMAIN_SystTimeAdj::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    Launcher launch;
    {
        QMutexLocker lock(&s_launcherMutex);
        launch = s_launcher;
    }
    if (!launch)
        return zo4882::notAvailable(result);
    zostd::ZOProcessWrapper *ntp = launch();
    if (!ntp)
        return -310;
    // The process signals in this thread through its event loop, so nothing is lost between
    // the start and this connection.
    QObject::connect(
        ntp,
        &zostd::ZOProcessWrapper::readyReadLines,
        ntp,
        [ntp] {
            for (const QString &line : ntp->lines()) {
                if (line == QLatin1String(NoServer))
                    zo4882::queueErrorFrom(
                        zo4882::INTF_PANEL, -221, QStringLiteral("SYST:TIME:ADJ"));
            }
        },
        Qt::DirectConnection);
    return 0;
}

QList<QByteArray> IFMAIN_SystTzon::zoneList()
{
    QMutexLocker lock(&s_zoneMutex);
    if (s_zoneList.isEmpty()) {
        for (const QByteArray &id : QTimeZone::availableTimeZoneIds()) {
            const QString file = platform::BoardPath::map(QLatin1String(ZoneDatabase) + id);
            if (QFileInfo(file).isFile())
                s_zoneList << id;
        }
    }
    return s_zoneList;
}

short IFMAIN_SystTzon::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    const zo4882::ZOCmdArg *arg = result->args;
    const QByteArray zone = arg ? QByteArray(static_cast<const char *>(*arg)) : QByteArray();
    if (zone.isEmpty() || !zoneList().contains(zone))
        return -224;
    return short(platform::SystemClock::setZone(zone));
}

short IFMAIN_SystTzon::OnQuery(const zo4882::ZO_PARSER_RESULT *, zo4882::ZOCmdArg **answer) const
{
    *answer = new zo4882::ZOCmdArg(
        QTimeZone::systemTimeZoneId().constData(), zo4882::ZOCmdArg::KIND_STRING);
    return 0;
}

short IFMAIN_SystTzonCat::OnQuery(const zo4882::ZO_PARSER_RESULT *, zo4882::ZOCmdArg **answer) const
{
    const QByteArray text = joinWithinLimit(IFMAIN_SystTzon::zoneList(), CatalogLimit);
    *answer = new zo4882::ZOCmdArg(text.constData(), zo4882::ZOCmdArg::KIND_STRING);
    return 0;
}

short IFMAIN_SystCommZostdSafu::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    PreferenceInfo *target = preferences();
    if (!target)
        return -200;
    target->setZostdSafuEnabled(result->args && result->args->isTrue());
    return 0;
}

short IFMAIN_SystCommZostdSafu::OnQuery(
    const zo4882::ZO_PARSER_RESULT *, zo4882::ZOCmdArg **answer) const
{
    const PreferenceInfo *source = preferences();
    if (!source)
        return -200;
    *answer =
        new zo4882::ZOCmdArg(source->getZostdSafuEnabled() ? 1 : 0, zo4882::ZOCmdArg::KIND_BOOL);
    return 0;
}
