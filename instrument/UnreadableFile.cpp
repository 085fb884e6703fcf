#include "instrument/UnreadableFile.h"

#include "platform/BoardPath.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>

namespace instrument {

QString keepUnreadableFile(const QString &path, bool *overwrite)
{
    *overwrite = true;
    const QString mapped = platform::BoardPath::map(path);
    if (path.isEmpty() || !QFileInfo::exists(mapped))
        return QString();
    const QString kept = path + QStringLiteral(".bad");
    // rename(2) replaces an older copy in the same step.
    if (std::rename(QFile::encodeName(mapped).constData(),
            QFile::encodeName(platform::BoardPath::map(kept)).constData())
        != 0) {
        *overwrite = false;
        return QStringLiteral("; the unreadable file is left in place (%1)")
            .arg(qt_error_string(errno));
    }
    return QStringLiteral("; the unreadable file is kept as %1").arg(kept);
}

} // namespace instrument
