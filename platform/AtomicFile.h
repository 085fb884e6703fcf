#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace platform {

// Replaces a file without ever leaving a half-written one: the data goes to a temporary file in
// the same folder, is flushed to the disk, and the temporary file is then renamed over the
// target. A failure at any step removes the temporary file and leaves the old file as it was.
// Paths are file-system paths; map board paths with BoardPath::map() first.
class AtomicFile
{
public:
    // Returns 0, or -310 (system error) with a reason in *reason when one is given. A new file
    // gets the usual permissions (0666 less the umask); a replaced file keeps its permissions.
    static int write(const QString &path, const QByteArray &data, QString *reason = nullptr);

    // The rename step, replaceable so that a test can make it fail after the temporary file is
    // complete. Install before other threads write files; an empty function restores rename(2).
    using RenameFunction = std::function<bool(const QString &from, const QString &to)>;
    static void setRenameFunction(RenameFunction rename);
};

} // namespace platform
