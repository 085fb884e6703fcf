#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QIODevice>

// What a socket or process delivers until the text ends with `end` or the bound passed.
inline QByteArray readUntil(QIODevice &device, const QByteArray &end, int timeoutMs = 10000)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (!got.endsWith(end) && clock.elapsed() < timeoutMs) {
        if (device.bytesAvailable() == 0)
            device.waitForReadyRead(100);
        got += device.readAll();
    }
    return got;
}
