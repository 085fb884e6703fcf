#include "sim/FlashControl.h"

#include <QSaveFile>

#include <functional>

namespace sim {

namespace {
struct SubCommand
{
    const char *name;
    const char *usage;
    int arguments;
    std::function<QString(ConfigFlash &, const QStringList &)> run; // empty: usage error
};

bool parseHex(QString text, quint32 *value)
{
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text = text.mid(2);
    bool good = false;
    const uint v = text.toUInt(&good, 16);
    if (good)
        *value = v;
    return good && !text.isEmpty();
}

QString ok(const QString &rest = QString())
{
    return rest.isEmpty() ? QStringLiteral("OK") : QStringLiteral("OK ") + rest;
}

QString state(ConfigFlash &flash, const QStringList &)
{
    return ok(QStringLiteral("%1 %2 %3 %4 %5 %6")
                  .arg(flash.id(), 6, 16, QLatin1Char('0'))
                  .arg(flash.size())
                  .arg(flash.status(), 2, 16, QLatin1Char('0'))
                  .arg(flash.programs())
                  .arg(flash.erases())
                  .arg(flash.reachable() ? 1 : 0));
}

QString id(ConfigFlash &flash, const QStringList &args)
{
    quint32 value = 0;
    return parseHex(args.at(0), &value) && flash.setId(value) ? ok() : QString();
}

QString fill(ConfigFlash &flash, const QStringList &args)
{
    quint32 value = 0;
    if (!parseHex(args.at(0), &value) || value > 0xFF)
        return {};
    flash.fill(quint8(value));
    return ok();
}

QString busy(ConfigFlash &flash, const QStringList &args)
{
    bool good = false;
    const int n = args.at(0).toInt(&good);
    if (!good || n < 0 || n > 100000000)
        return {};
    flash.setBusyReadings(n);
    return ok();
}

QString stuck(ConfigFlash &flash, const QStringList &args)
{
    const QString how = args.at(0);
    if (how == QLatin1String("now"))
        flash.setStuck(ConfigFlash::Stuck::Now);
    else if (how == QLatin1String("write"))
        flash.setStuck(ConfigFlash::Stuck::AfterWrite);
    else if (how == QLatin1String("program"))
        flash.setStuck(ConfigFlash::Stuck::AfterProgram);
    else if (how == QLatin1String("off"))
        flash.setStuck(ConfigFlash::Stuck::Off);
    else
        return {};
    return ok();
}

QString bitError(ConfigFlash &flash, const QStringList &args)
{
    quint32 address = 0;
    quint32 mask = 0;
    if (!parseHex(args.at(0), &address) || !parseHex(args.at(1), &mask) || mask > 0xFF
        || address >= quint32(flash.size()))
        return {};
    flash.setBitError(address, quint8(mask));
    return ok();
}

QString protect(ConfigFlash &flash, const QStringList &args)
{
    if (args.at(0) != QLatin1String("on") && args.at(0) != QLatin1String("off"))
        return {};
    flash.setProtected(args.at(0) == QLatin1String("on"));
    return ok();
}

QString image(ConfigFlash &flash, const QStringList &args)
{
    QSaveFile file(args.at(0));
    if (!file.open(QIODevice::WriteOnly) || file.write(flash.image()) != flash.size()
        || !file.commit())
        return QStringLiteral("ERR %1: %2").arg(args.at(0), file.errorString());
    return ok(QString::number(flash.size()));
}

const SubCommand s_commands[] = {
    { "", "flash", 0, state },
    { "id", "flash id HEX (density 10..18)", 1, id },
    { "fill", "flash fill HEX", 1, fill },
    { "busy", "flash busy N", 1, busy },
    { "stuck", "flash stuck now|write|program|off", 1, stuck },
    { "biterror", "flash biterror ADDR MASK", 2, bitError },
    { "protect", "flash protect on|off", 1, protect },
    { "image", "flash image PATH", 1, image },
};
} // namespace

QStringList FlashControl::handle(ConfigFlash &flash, const QStringList &args)
{
    const QString name = args.isEmpty() ? QString() : args.first().toLower();
    for (const SubCommand &c : s_commands) {
        if (name != QLatin1String(c.name))
            continue;
        const QStringList rest = args.mid(1);
        const QString reply = rest.size() == c.arguments ? c.run(flash, rest) : QString();
        return { reply.isEmpty() ? QStringLiteral("ERR usage: ") + QLatin1String(c.usage) : reply };
    }
    return { QStringLiteral(
        "ERR usage: flash [id HEX | fill HEX | busy N | stuck now|write|program|off"
        " | biterror ADDR MASK | protect on|off | image PATH]") };
}

} // namespace sim
