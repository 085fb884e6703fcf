#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Every absolute board path goes through map(). On the board the root is empty and paths stay
// as written; on a desktop or in a test the root (environment variable BOARD_ROOT, or set once
// at start-up) is put in front, so the program works on a private copy of the board's files.
class BoardPath
{
public:
    // The root in use; read from BOARD_ROOT on first use unless setRoot() came first.
    static QString root();
    // Sets the root for the whole process; call once at start-up, before any thread starts.
    static void setRoot(const QString &root);
    // "/etc/instr/x" -> root + "/etc/instr/x". Relative paths are returned unchanged.
    static QString map(const QString &boardPath);
    // The reverse of map(): root + "/etc/instr/x" -> "/etc/instr/x"; a path outside the root
    // is returned unchanged.
    static QString unmap(const QString &path);
    // Maps each argument that is an absolute path, and the path of an argument of the form
    // name=/path (as dd's if= and of=, or --option=/path); others pass unchanged.
    static QStringList mapArguments(const QStringList &arguments);
};

} // namespace platform
