#pragma once

#include "platform/BoardPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

// A temporary board root for the tests of child processes, set as the process's root while it
// lives; stand-in programs are small shell scripts written into it.
class StandInRoot
{
public:
    StandInRoot()
    {
        if (m_dir.isValid())
            platform::BoardPath::setRoot(m_dir.path());
    }

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }

    // Writes "#!/bin/sh", body and a line end as an executable at the board path.
    bool standIn(const QString &boardPath, const QByteArray &body)
    {
        const QString path = platform::BoardPath::map(boardPath);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write("#!/bin/sh\n" + body + "\n") < 0)
            return false;
        f.close();
        return f.setPermissions(f.permissions() | QFile::ExeOwner);
    }

private:
    QTemporaryDir m_dir;
};
