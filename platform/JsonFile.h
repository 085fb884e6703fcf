#pragma once

#include <QJsonObject>
#include <QString>

namespace platform {

// The settings files are flat JSON objects. A file that cannot be opened, does not parse or
// holds something other than an object is unreadable: the caller keeps its present values.
// The path is a file-system path (map board paths first).
bool readJsonObject(const QString &path, QJsonObject *object);

} // namespace platform
