#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QProcess;

namespace platform {

// The board's external programs (mount, umount, dd, cp, ifup, reboot, ...), started by their
// absolute board path with an argument list; no shell ever sees a command text.
//
// The program path goes through BoardPath::map(), and so does every argument that is an
// absolute path or has the form name=/path (BoardPath::mapArguments()). Under a board root the
// program therefore resolves to a stand-in inside the root, and a missing stand-in is an error:
// the host's own program is never run in its place. The child gets BOARD_ROOT in its
// environment under a board root, so a stand-in finds the root it belongs to.
// A relative program path is refused (-EINVAL): nothing is looked up in a search path.
//
// Usable from any thread; a call blocks only its caller.
class ChildProcess
{
public:
    static constexpr int DefaultTimeoutMs = 60000;

    enum class Output {
        Capture, // the child's standard output and error are returned in the Result
        Forward, // they go to this process's own standard output and error
    };

    struct Result
    {
        // 0 when the program ran to its end; otherwise -ENOENT (no such program or stand-in),
        // -EACCES (not executable), -EINVAL (relative path), -ETIMEDOUT (killed after the
        // wait), -ECHILD (ended by a signal) or -EIO (could not be started).
        int error = 0;
        int exitCode = -1; // the program's exit code when error is 0
        QByteArray output;
        QByteArray errorOutput;

        bool succeeded() const { return error == 0 && exitCode == 0; }
    };

    // The file that runs for a board program path, or an error as in Result::error.
    static int resolve(const QString &program, QString *path);
    enum class Arguments {
        BoardPaths, // arguments that are board paths are mapped (see above)
        Verbatim, // data that only looks like a path (a TXT record "path=/") passes unchanged
    };

    // Resolves the program and sets it, the (mapped) arguments and, under a board root, the
    // environment on process, which the caller then starts. Returns 0 or an error as in
    // Result::error (process is left untouched then).
    static int prepare(QProcess *process,
        const QString &program,
        const QStringList &arguments,
        Arguments mapping = Arguments::BoardPaths);

    // Runs the program and waits at most timeoutMs for its end; a program still running then
    // is killed. Standard input is closed.
    static Result run(const QString &program,
        const QStringList &arguments,
        int timeoutMs = DefaultTimeoutMs,
        Output output = Output::Capture);

    // Starts the program and returns at once; it outlives this process. Returns 0 or an error as
    // in Result::error; *pid receives the child's process id.
    static int startDetached(
        const QString &program, const QStringList &arguments, qint64 *pid = nullptr);

    // "<program>: <what went wrong>" for messages, e.g. "/bin/mount: exit status 32".
    static QString describe(const QString &program, const Result &result);
};

} // namespace platform
