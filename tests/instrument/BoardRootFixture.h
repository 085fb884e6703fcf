#pragma once

#include "platform/BoardPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

// A private board root for one test: files are written under it by their board paths.
class BoardRootFixture
{
public:
    BoardRootFixture() { platform::BoardPath::setRoot(m_dir.path()); }
    ~BoardRootFixture() { platform::BoardPath::setRoot(QString()); }

    bool isValid() const { return m_dir.isValid(); }
    QString path(const QString &boardPath) const { return platform::BoardPath::map(boardPath); }

    bool write(const QString &boardPath, const QByteArray &content) const
    {
        const QString file = path(boardPath);
        QDir().mkpath(QFileInfo(file).path());
        QFile f(file);
        return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
    }

    // The files every start needs besides the model file: /etc and an EEPROM image.
    bool prepareBoard() const
    {
        QByteArray eeprom(256, '\xff');
        eeprom.replace(16, 12, QByteArray("TEST0001\0\0\0\0", 12));
        eeprom.replace(60, 6, QByteArray("\x02\x00\x00\x00\x00\x01", 6));
        return QDir().mkpath(path("/etc")) && write("/sys/bus/i2c/devices/0-0050/eeprom", eeprom);
    }

    QByteArray read(const QString &boardPath) const
    {
        QFile f(path(boardPath));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private:
    QTemporaryDir m_dir;
};
