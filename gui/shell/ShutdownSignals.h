#pragma once

#include <QObject>

class QSocketNotifier;

// The process signals of the front-panel program. SIGTERM, SIGQUIT, SIGUSR1 and SIGUSR2 reach
// the GUI thread through a self-pipe as shutdownRequested(); only a write() runs in the
// handler, so the shut-down itself (saves, child processes) runs outside signal context and a
// second signal runs it again. SIGINT is ignored. SIGSEGV and SIGFPE end the process at once
// with status 1 by _exit(): nothing more is saved, the files stay as last saved.
// One object per process; it restores the default dispositions when destroyed.
class ShutdownSignals : public QObject
{
    Q_OBJECT

public:
    explicit ShutdownSignals(QObject *parent = nullptr);
    ~ShutdownSignals() override;

    // False when the pipe could not be made or another object is installed (no handler then).
    bool isValid() const { return m_notifier != nullptr; }

    // The program's exit code for a shut-down signal: SIGTERM 0, SIGUSR1 2, SIGUSR2 3,
    // any other 1.
    static int exitCodeFor(int sig);

Q_SIGNALS:
    void shutdownRequested(int sig);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};
