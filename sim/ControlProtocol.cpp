#include "sim/ControlProtocol.h"

#include "sim/BootControl.h"
#include "sim/FlashControl.h"

#include <QDate>
#include <QRegularExpression>

namespace sim {

namespace {
QString ok(const QString &rest = QString())
{
    return rest.isEmpty() ? QStringLiteral("OK") : QStringLiteral("OK ") + rest;
}

QString err(const QString &reason)
{
    return QStringLiteral("ERR ") + reason;
}

QString hex(quint32 v)
{
    return QStringLiteral("%1").arg(v, 8, 16, QLatin1Char('0'));
}

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

bool parseInt(const QString &text, int min, int max, int *value)
{
    bool good = false;
    const int v = text.toInt(&good, 10);
    if (!good || v < min || v > max)
        return false;
    *value = v;
    return true;
}
} // namespace

QStringList ControlProtocol::handle(const QString &line, qint64 nowUs)
{
    const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return { err(QStringLiteral("empty command")) };
    // The model changes below apply from now on; what happened until now is settled first.
    m_board.advance(nowUs);
    const QString verb = words.first().toLower();
    const QStringList args = words.mid(1);

    if (verb == QLatin1String("log")) {
        if (args == QStringList { QStringLiteral("clear") }) {
            m_board.clearLog();
            return { ok() };
        }
        if (!args.isEmpty())
            return { err(QStringLiteral("usage: log [clear]")) };
        QStringList lines;
        for (const Board::LogEntry &e : m_board.writeLog())
            lines << logLine(e);
        lines << QStringLiteral("END");
        return lines;
    }
    if (verb == QLatin1String("boot") && m_boot)
        return BootControl::handle(*m_boot, args);
    if (verb == QLatin1String("flash") && m_flash)
        return FlashControl::handle(*m_flash, args);
    return { dispatch(verb, args, nowUs) };
}

QString ControlProtocol::dispatch(const QString &verb, const QStringList &args, qint64 nowUs)
{
    int n = 0;
    quint32 h = 0;
    if (verb == QLatin1String("ping"))
        return ok();
    if (verb == QLatin1String("source"))
        return source(args);
    if (verb == QLatin1String("model")) {
        if (args.size() != 1 || !parseInt(args.at(0), 1, 0xFFFF, &n))
            return err(QStringLiteral("usage: model CODE (1..65535)"));
        m_board.identity().modelCode = quint16(n);
        return ok();
    }
    if (verb == QLatin1String("units"))
        return units(args);
    if (verb == QLatin1String("firmware"))
        return version(args, &m_board.identity().firmware);
    if (verb == QLatin1String("fpga"))
        return version(args, &m_board.identity().fpga);
    if (verb == QLatin1String("caldate"))
        return calDate(args);
    if (verb == QLatin1String("calvalid")) {
        if (args.size() != 1 || !parseInt(args.at(0), 0, 1, &n))
            return err(QStringLiteral("usage: calvalid 0|1"));
        m_board.identity().calValid = n == 1;
        return ok();
    }
    if (verb == QLatin1String("status"))
        return status(args);
    if (verb == QLatin1String("cutoff")) {
        if (args.size() != 1 || !parseHex(args.at(0), &h) || h > 0xFF)
            return err(QStringLiteral("usage: cutoff HEX (00..ff)"));
        m_board.setCutoffByte(quint8(h));
        return ok();
    }
    if (verb == QLatin1String("fail"))
        return fail(args);
    if (verb == QLatin1String("corruptid")) {
        if (args.size() != 1
            || (args.at(0) != QLatin1String("on") && args.at(0) != QLatin1String("off")))
            return err(QStringLiteral("usage: corruptid on|off"));
        m_board.setCorruptIdentificationEcho(args.at(0) == QLatin1String("on"));
        return ok();
    }
    if (verb == QLatin1String("loadhold")) {
        if (args.size() != 1
            || (args.at(0) != QLatin1String("on") && args.at(0) != QLatin1String("off")))
            return err(QStringLiteral("usage: loadhold on|off"));
        m_board.setLoadHold(args.at(0) == QLatin1String("on"));
        return ok();
    }
    if (verb == QLatin1String("limits"))
        return ok(QStringLiteral("%1 %2 %3")
                      .arg(hex(m_board.protection()))
                      .arg(hex(m_board.cutoffByte()))
                      .arg(m_board.triggerOutPulses()));
    if (verb == QLatin1String("trace"))
        return trace(args, nowUs);
    if (verb == QLatin1String("counttime")) {
        bool good = false;
        const double us = args.size() == 1 ? args.at(0).toDouble(&good) : 0.0;
        if (!good || !m_board.setMicrosPerCount(us))
            return err(QStringLiteral("usage: counttime US (> 0)"));
        return ok(QString::number(us));
    }
    if (verb == QLatin1String("fullscale"))
        return fullScale(args);
    if (verb == QLatin1String("measure"))
        return measure();
    if (verb == QLatin1String("peek"))
        return peek(args);
    if (verb == QLatin1String("program")) {
        if (!args.isEmpty())
            return err(QStringLiteral("usage: program"));
        return program();
    }
    if (verb == QLatin1String("trigger")) {
        const QString pin = args.size() == 1 ? args.at(0) : QString();
        if (pin == QLatin1String("input"))
            m_board.triggerTransient(ProgramExecutor::Input, nowUs);
        else if (pin == QLatin1String("digital2"))
            m_board.triggerTransient(ProgramExecutor::Digital2, nowUs);
        else
            return err(QStringLiteral("usage: trigger input|digital2"));
        return program();
    }
    if (verb == QLatin1String("reset")) {
        m_board.reset(nowUs);
        return ok();
    }
    return err(QStringLiteral("unknown command: ") + verb);
}

QString ControlProtocol::source(const QStringList &args)
{
    LoadModel &load = m_board.loadModel();
    if (!args.isEmpty()) {
        bool vGood = false;
        bool rGood = false;
        const double voc = args.size() == 2 ? args.at(0).toDouble(&vGood) : 0.0;
        const double rint = args.size() == 2 ? args.at(1).toDouble(&rGood) : 0.0;
        if (!vGood || !rGood || !load.setSource(voc, rint))
            return err(QStringLiteral("usage: source VOC RINT (RINT >= 0)"));
    }
    return ok(QString::number(load.openCircuitVolts()) + QLatin1Char(' ')
        + QString::number(load.internalOhms()));
}

QString ControlProtocol::units(const QStringList &args)
{
    if (args.size() > 15)
        return err(QStringLiteral("at most 15 unit codes"));
    QVector<quint16> codes;
    for (const QString &a : args) {
        int n = 0;
        if (!parseInt(a, 1, 0xFFFF, &n))
            return err(QStringLiteral("usage: units [CODE ...] (1..65535)"));
        codes << quint16(n);
    }
    m_board.identity().unitCodes = codes;
    return ok();
}

QString ControlProtocol::version(const QStringList &args, quint32 *target)
{
    static const QRegularExpression form(QStringLiteral("^(\\d+)\\.(\\d+)\\.(\\d+)$"));
    const QRegularExpressionMatch m =
        args.size() == 1 ? form.match(args.at(0)) : QRegularExpressionMatch();
    if (!m.hasMatch() || m.captured(1).toUInt() > 255 || m.captured(2).toUInt() > 255
        || m.captured(3).toUInt() > 255)
        return err(QStringLiteral("usage: MAJOR.MINOR.BUILD (each 0..255)"));
    *target =
        (m.captured(1).toUInt() << 16) | (m.captured(2).toUInt() << 8) | m.captured(3).toUInt();
    return ok();
}

QString ControlProtocol::calDate(const QStringList &args)
{
    const QDate d = args.size() == 1 ? QDate::fromString(args.at(0), Qt::ISODate) : QDate();
    if (!d.isValid() || d.year() < 0)
        return err(QStringLiteral("usage: caldate YYYY-MM-DD"));
    Identity &id = m_board.identity();
    id.calYear = quint32(d.year());
    id.calMonth = quint16(d.month());
    id.calDay = quint16(d.day());
    return ok();
}

QString ControlProtocol::status(const QStringList &args)
{
    quint32 mask = 0;
    if (!args.isEmpty()) {
        if (args.size() != 2 || !parseHex(args.at(1), &mask))
            return err(QStringLiteral("usage: status [force HEX | clear HEX]"));
        if (args.at(0) == QLatin1String("force"))
            m_board.setStatusMasks(mask, m_board.statusAndNotMask());
        else if (args.at(0) == QLatin1String("clear"))
            m_board.setStatusMasks(m_board.statusOrMask(), mask);
        else
            return err(QStringLiteral("usage: status [force HEX | clear HEX]"));
    }
    return ok(hex(m_board.statusWord()) + QLatin1Char(' ') + hex(m_board.statusOrMask())
        + QLatin1Char(' ') + hex(m_board.statusAndNotMask()));
}

QString ControlProtocol::fail(const QStringList &args)
{
    int n = 0;
    if (args.isEmpty() || args.size() > 2 || !parseInt(args.at(0), 0, 1000000, &n))
        return err(QStringLiteral("usage: fail N [close|silent]"));
    Board::Failure how = Board::Failure::Close;
    if (args.size() == 2) {
        if (args.at(1) == QLatin1String("silent"))
            how = Board::Failure::Silent;
        else if (args.at(1) != QLatin1String("close"))
            return err(QStringLiteral("usage: fail N [close|silent]"));
    }
    m_board.failNext(n, how);
    return ok();
}

QString ControlProtocol::trace(const QStringList &args, qint64 nowUs)
{
    int n = 0;
    if (args.size() == 2 && args.at(0) == QLatin1String("inject")
        && parseInt(args.at(1), 0, Acquisition::Capacity, &n)) {
        m_board.injectTraceRecords(n);
    } else if (args == QStringList { QStringLiteral("trigger") }) {
        m_board.triggerAcquisition(nowUs);
    } else if (!args.isEmpty()) {
        return err(QStringLiteral("usage: trace [inject N | trigger]"));
    }
    return ok(QString::number(m_board.acquisition().written()));
}

QString ControlProtocol::fullScale(const QStringList &args)
{
    int code = 0;
    bool good = false;
    const double value = args.size() == 3 ? args.at(2).toDouble(&good) : 0.0;
    if (!good || !parseInt(args.at(1), 0, 2, &code))
        return err(QStringLiteral("usage: fullscale voltage|current CODE VALUE"));
    LoadModel &load = m_board.loadModel();
    if (args.at(0) == QLatin1String("voltage") && load.setVoltageFullScale(code, value))
        return ok();
    if (args.at(0) == QLatin1String("current") && load.setCurrentFullScale(code, value))
        return ok();
    return err(QStringLiteral("usage: fullscale voltage 0|1 V, fullscale current 0|1|2 A"));
}

QString ControlProtocol::measure()
{
    const LoadModel::Point p = m_board.operatingPoint();
    const StepRecord step = m_board.activeStep();
    return ok(QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                  .arg(p.volts, 0, 'g', 9)
                  .arg(p.amps, 0, 'g', 9)
                  .arg(step.loadOn() ? 1 : 0)
                  .arg(hex(step.nodeAddress))
                  .arg(m_board.elapsedMicros() * 1e-6, 0, 'g', 9)
                  .arg(m_board.capacityMicroAh() * 1e-6, 0, 'g', 9)
                  .arg(m_board.energyMicroWh() * 1e-6, 0, 'g', 9));
}

QString ControlProtocol::program()
{
    const ProgramExecutor &exec = m_board.executor();
    QString phase;
    switch (exec.phase()) {
    case ProgramExecutor::Phase::Idle:
        phase = QStringLiteral("idle");
        break;
    case ProgramExecutor::Phase::StartWait:
        phase = QStringLiteral("trigger");
        break;
    case ProgramExecutor::Phase::StartDelay:
        phase = QStringLiteral("delay");
        break;
    case ProgramExecutor::Phase::WaitBefore:
    case ProgramExecutor::Phase::WaitAfter:
        phase = QStringLiteral("wait");
        break;
    case ProgramExecutor::Phase::Dwell:
        phase = QStringLiteral("run");
        break;
    }
    if (exec.paused())
        phase = QStringLiteral("pause");
    return ok(phase + QLatin1Char(' ') + hex(exec.nodeAddress()) + QLatin1Char(' ')
        + QString::number(exec.loopCounter()));
}

QString ControlProtocol::peek(const QStringList &args)
{
    quint32 address = 0;
    int n = 1;
    if (args.isEmpty() || args.size() > 2 || !parseHex(args.at(0), &address)
        || (args.size() == 2 && !parseInt(args.at(1), 1, 4096, &n)))
        return err(QStringLiteral("usage: peek ADDR [N] (N 1..4096)"));
    QStringList words;
    // Read addresses answer as a read unit would; others show the words stored.
    if (address & 0x80000000) {
        for (quint32 w : m_board.read(address, n))
            words << hex(w);
    } else {
        for (int j = 0; j < n; ++j)
            words << hex(m_board.memory().word(address + 4 * quint32(j)));
    }
    return ok(words.join(QLatin1Char(' ')));
}

QString ControlProtocol::logLine(const Board::LogEntry &entry)
{
    QString line = QStringLiteral("%1 %2 %3 %4")
                       .arg(entry.timeUs)
                       .arg(entry.message)
                       .arg(hex(entry.address))
                       .arg(entry.words.size());
    for (quint32 w : entry.words)
        line += QLatin1Char(' ') + hex(w);
    return line;
}

} // namespace sim
