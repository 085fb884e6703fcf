#pragma once

#include <QString>

namespace platform {

// An advisory lock on a file (flock(2), exclusive), held from tryLock() until unlock(), the
// destructor or the end of the process, whichever comes first; a process that dies releases it.
// The holder writes "<pid> <program name>" into the file, so that a refused process can say who
// holds it.
//
// PowerBoardLock is the lock of the power board's lines (SPI link, GPIO, PWM): the front-panel
// program holds it while it runs and the maintenance tool while it acts, so the two never drive
// the same lines at once.
// One object per thread; the lock is per object (a second object in the same process is refused
// like another process).
class InstanceLock
{
public:
    static constexpr const char *PowerBoardLock = "/var/lock/Vek3r.lock";

    // boardPath goes through BoardPath::map(); its folder is created when missing.
    explicit InstanceLock(const QString &boardPath = QLatin1String(PowerBoardLock));
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // 0 when the lock is now held; -EWOULDBLOCK when another holder has it; another negative
    // errno when the lock file cannot be opened.
    int tryLock();
    void unlock();
    bool isLocked() const { return m_fd >= 0; }

    // What the current holder wrote ("<pid> <program name>"), empty when unknown.
    QString holder() const;
    QString path() const { return m_path; }

private:
    QString m_path; // mapped
    int m_fd = -1; // open and locked while >= 0
};

} // namespace platform
