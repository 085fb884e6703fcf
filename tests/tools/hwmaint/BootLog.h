#pragma once

#include "tests/support/PowerBoard.h"

#include <QStringList>
#include <QVector>

// The simulated board's maintenance log ("boot log"), split into its frames and events.
struct BootLog
{
    struct Frame
    {
        qint64 timeUs = 0;
        quint64 message = 0;
        QString verdict; // ok, crc, length
        QVector<quint32> words;
    };

    QVector<Frame> frames;
    QStringList events; // the text after "<µs> event "

    static BootLog read(PowerBoard &board)
    {
        BootLog log;
        for (const QString &line : board.commandLines(QStringLiteral("boot log"))) {
            const QStringList f = line.split(QLatin1Char(' '));
            if (f.value(1) == QLatin1String("event")) {
                log.events << line.section(QLatin1Char(' '), 2);
            } else if (f.value(1) == QLatin1String("frame") && f.size() >= 4) {
                Frame frame;
                frame.timeUs = f.at(0).toLongLong();
                frame.message = f.at(2).toULongLong();
                frame.verdict = f.at(3);
                for (const QString &w : f.mid(4))
                    frame.words << w.toUInt(nullptr, 16);
                log.frames << frame;
            }
        }
        return log;
    }
};
