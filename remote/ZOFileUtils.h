#pragma once

#include <QString>

namespace zostd {

// File checks for the start-up's tests of auxiliary programs and scripts, and one recursive
// delete. Paths are file-system paths: a caller holding a board path maps it first
// (platform::BoardPath). Usable from any thread.
class ZOFileUtils
{
public:
    // The file or directory exists (a symbolic link counts by its target).
    static bool checkExistence(const QString &path);
    // Executable, writable, readable by this process.
    static bool checkExecutable(const QString &path);
    static bool checkWritable(const QString &path);
    static bool checkReadable(const QString &path);
    // The text up to its first NUL byte holds no "\r\n" (a script saved with Windows line ends
    // does not run); false also when the file cannot be read.
    static bool checkScriptNewLine(const QString &path);
    // Deletes the directory tree at path, depth first, directories before files; true on
    // success and when nothing is at path. A symbolic link in the tree (or path itself being
    // one) is removed as a link: nothing it points to is touched. The first entry that cannot
    // be deleted stops the walk (the rest stays) and gives false.
    static bool removeDir(const QString &path);
};

} // namespace zostd
