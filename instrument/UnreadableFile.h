#pragma once

#include <QString>

namespace instrument {

// Keeps a settings file that exists but could not be read, before defaults replace it: the file
// becomes <path>.bad, replacing an older one, so that nothing the user had is lost. path is a
// board path. Returns the text that the -315 report adds to the path ("" when there was no
// file); *overwrite is false when the file could not be kept and must stay where it is.
QString keepUnreadableFile(const QString &path, bool *overwrite);

} // namespace instrument
