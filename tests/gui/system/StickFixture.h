#pragma once

#include "platform/BoardPath.h"
#include "tests/support/SeededBoardRoot.h"

#include <QDir>
#include <QFile>
#include <QStringList>

// A seeded board root with the media tree the storage pages show: the link /run/media/setups to
// /etc/instr/panels, and test sticks (plain folders under /run/media, which the mount stand-ins
// treat as mounted sticks and list in their journal).
class StickFixture
{
public:
    StickFixture()
    {
        m_valid = m_root.isValid() && QDir().mkpath(path("/etc/instr/panels"))
            && QFile::link(path("/etc/instr/panels"), path("/run/media/setups"));
    }
    bool isValid() const { return m_valid; }
    QString error() const { return m_root.error(); }

    // The host path of a board path.
    static QString path(const QString &boardPath) { return platform::BoardPath::map(boardPath); }

    bool makeStick(const QString &name) { return QDir().mkpath(path("/run/media/" + name)); }
    bool write(const QString &boardPath, const QByteArray &content = QByteArray())
    {
        QFile f(path(boardPath));
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) >= 0;
    }
    static QByteArray read(const QString &boardPath)
    {
        QFile f(path(boardPath));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The stand-ins' journal, one line a run (and one for each listing of a stick).
    static QStringList journal()
    {
        return QString::fromLocal8Bit(read("/var/log/standin.log")).split('\n', Qt::SkipEmptyParts);
    }
    // Makes the next remounts fail as a write-protected stick's do.
    bool failRemounts()
    {
        return QDir().mkpath(path("/run/standin")) && write("/run/standin/fail-remount");
    }

private:
    SeededBoardRoot m_root;
    bool m_valid = false;
};
