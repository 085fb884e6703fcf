#include "sim/BootControl.h"

#include <QCryptographicHash>

#include <functional>

namespace sim {

namespace {
struct SubCommand
{
    const char *name;
    const char *usage;
    std::function<QStringList(BootController &, const QStringList &)> run; // empty: usage error
};

QStringList ok(const QString &rest = QString())
{
    return { rest.isEmpty() ? QStringLiteral("OK") : QStringLiteral("OK ") + rest };
}

QStringList state(BootController &boot, const QStringList &)
{
    const QByteArray image = boot.firmware();
    const QString hash = image.isEmpty()
        ? QStringLiteral("-")
        : QString::fromLatin1(QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex());
    return ok(QStringLiteral("%1 %2 %3 %4 %5")
                  .arg(BootController::modeName(boot.mode()),
                      boot.disk().isAttached() ? boot.disk().name() : QStringLiteral("-"))
                  .arg(boot.badFrames())
                  .arg(image.size())
                  .arg(hash));
}

QStringList corrupt(BootController &boot, const QStringList &args)
{
    bool good = false;
    const int n = args.size() == 1 ? args.at(0).toInt(&good) : 0;
    if (!good || n < 0)
        return {};
    boot.corruptNextFrames(n);
    return ok();
}

QStringList diskDelay(BootController &boot, const QStringList &args)
{
    if (args == QStringList { QStringLiteral("never") }) {
        boot.setDiskDelayMs(-1);
        return ok();
    }
    bool good = false;
    const int ms = args.size() == 1 ? args.at(0).toInt(&good) : 0;
    if (!good || ms < 0)
        return {};
    boot.setDiskDelayMs(ms);
    return ok();
}

QStringList log(BootController &boot, const QStringList &args)
{
    if (args == QStringList { QStringLiteral("clear") }) {
        boot.clearLog();
        return ok();
    }
    if (!args.isEmpty())
        return {};
    return boot.log() << QStringLiteral("END");
}

const SubCommand s_commands[] = {
    { "", "boot", state },
    { "corrupt", "boot corrupt N", corrupt },
    { "diskdelay", "boot diskdelay MS|never", diskDelay },
    { "log", "boot log [clear]", log },
};
} // namespace

QStringList BootControl::handle(BootController &boot, const QStringList &args)
{
    const QString name = args.isEmpty() ? QString() : args.first().toLower();
    for (const SubCommand &c : s_commands) {
        if (name != QLatin1String(c.name))
            continue;
        const QStringList rest = args.mid(1);
        if (name.isEmpty() && !rest.isEmpty())
            break;
        const QStringList reply = c.run(boot, rest);
        return reply.isEmpty()
            ? QStringList { QStringLiteral("ERR usage: ") + QLatin1String(c.usage) }
            : reply;
    }
    return { QStringLiteral("ERR usage: boot [corrupt N | diskdelay MS|never | log [clear]]") };
}

} // namespace sim
