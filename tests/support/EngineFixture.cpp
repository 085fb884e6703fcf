#include "tests/support/EngineFixture.h"

#include "engine/Source.h"
#include "engine/ioc/IocProtocol.h"

#include <QCoreApplication>

using ioc::IoControl;

bool EngineFixture::startBoard()
{
    vek::Source::resetState();
    config.clear();
    board = std::make_unique<PowerBoard>();
    if (!board->start()) {
        m_error = board->errorString();
        return false;
    }
    const QString units = board->command(QStringLiteral("units"));
    if (units != QLatin1String("OK")) {
        m_error = QStringLiteral("units: ") + units;
        return false;
    }
    return true;
}

bool EngineFixture::buildLinks(bool threaded, const ioc::LinkTiming &timing)
{
    writer = std::make_unique<IoControl>(IoControl::Writer, timing);
    monitor = std::make_unique<IoControl>(IoControl::Monitor, timing);
    info = std::make_unique<ModelInformation>(writer.get(), monitor.get());
    status = std::make_unique<vek::Status>(writer.get());
    if (threaded) {
        for (IoControl *link : { writer.get(), monitor.get() }) {
            QObject::connect(
                link, &IoControl::statusChanged, status.get(), &vek::Status::onStatusChange);
            QObject::connect(
                link, &IoControl::cutoffChanged, status.get(), &vek::Status::onCutoffChange);
        }
        statusThread = std::make_unique<QThread>();
        status->moveToThread(statusThread.get());
        statusThread->start();
    }
    if (info->modelNames().size() != 1) {
        m_error = QStringLiteral("expected a single unit");
        return false;
    }
    return true;
}

bool EngineFixture::stop()
{
    writer.reset();
    monitor.reset();
    if (statusThread) {
        statusThread->quit();
        statusThread->wait();
    }
    status.reset();
    statusThread.reset();
    info.reset();
    QCoreApplication::sendPostedEvents();
    vek::Source::resetState();
    if (!board)
        return true;
    const bool clean = board->stop();
    m_error = board->errorString();
    board.reset();
    return clean;
}

bool EngineFixture::flushWriter()
{
    writer->transfer();
    qint32 word = 0;
    return writer->readRegister(ioc::Address::StatusBlock, &word) == 0;
}

QVector<quint32> EngineFixture::peek(quint32 address, int count)
{
    QVector<quint32> words;
    if (!flushWriter())
        return words;
    const QString reply =
        board->command(QStringLiteral("peek %1 %2").arg(address, 0, 16).arg(count));
    const QStringList parts = reply.split(' ', Qt::SkipEmptyParts);
    if (parts.value(0) != QLatin1String("OK"))
        return words;
    for (int i = 1; i < parts.size(); ++i) {
        QString word = parts[i];
        if (word.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            word = word.mid(2);
        words << word.toUInt(nullptr, 16);
    }
    return words;
}

quint32 EngineFixture::modeWord()
{
    return peek(ModeWordAddress).value(0);
}

QList<quint32> EngineFixture::writesTo(
    const QList<PowerBoard::LogEntry> &log, quint32 address, int index)
{
    QList<quint32> words;
    for (const PowerBoard::LogEntry &e : log) {
        if (e.address == address && e.words.size() > index)
            words << e.words.at(index);
    }
    return words;
}
