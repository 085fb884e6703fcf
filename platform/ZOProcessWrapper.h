#pragma once

#include "platform/ChildProcess.h"

#include <QByteArray>
#include <QProcess>
#include <QStringList>

namespace zostd {

// Runs an auxiliary program and hands its output on as lines. Whatever the program writes on
// standard output or standard error is cut at line feeds (a CR before the LF is dropped) and
// announced by readyReadLines(); lines() then holds the complete lines of that chunk only.
// A line cut between two reads is kept back and handed on whole with the next chunk of its
// channel, or on its own when the program ends (before progFinished()).
//
// Subclasses name their program by its board path through startProgram(), so that it runs
// through the board-path seam like every other child process. Lives and signals in the thread
// it belongs to; may be started again after it finished.
class ZOProcessWrapper : public QProcess
{
    Q_OBJECT

public:
    ZOProcessWrapper();
    // Ends a child that still runs (SIGKILL) while the object is whole; its end reaches no
    // slot of this object.
    ~ZOProcessWrapper() override;

    // Starts the board program with the arguments (mapped as platform::ChildProcess does).
    // Returns 0, or a negative errno as ChildProcess::resolve() when the program (or its
    // stand-in under a board root) cannot be run; then nothing starts and no signal follows.
    int startProgram(const QString &boardProgram,
        const QStringList &arguments,
        platform::ChildProcess::Arguments mapping = platform::ChildProcess::Arguments::BoardPaths);

    // The lines of the chunk announced last, from either channel.
    const QStringList &lines() const { return m_lines; }

signals:
    void progStarted();
    void readyReadLines();
    // The exit code and status are QProcess's to ask for.
    void progFinished();

public slots:
    virtual void onStart();
    virtual void onFinish(int exitcode, QProcess::ExitStatus exitstatus);
    virtual void splitLinesStdOutput();
    virtual void splitLinesStdError();

private:
    // The complete lines of tail + bytes become the list and are announced; what follows the
    // last line feed becomes the new tail.
    void splitChunk(QByteArray &tail, const QByteArray &bytes);

    QStringList m_lines;
    QByteArray m_outTail; // unterminated end of standard output, kept for its next chunk
    QByteArray m_errTail; // the same for standard error
};

} // namespace zostd
