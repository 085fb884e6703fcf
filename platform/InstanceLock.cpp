#include "platform/InstanceLock.h"

#include "platform/BoardPath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

InstanceLock::InstanceLock(const QString &boardPath)
    : m_path(BoardPath::map(boardPath))
{ }

InstanceLock::~InstanceLock()
{
    unlock();
}

int InstanceLock::tryLock()
{
    if (m_fd >= 0)
        return 0;
    QDir().mkpath(QFileInfo(m_path).path());
    const int fd =
        ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return -errno;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        return err == EWOULDBLOCK ? -EWOULDBLOCK : -err;
    }
    m_fd = fd;
    // Who holds it, for the message of a refused process; the lock itself does not depend on it.
    QString name = QCoreApplication::instance()
        ? QFileInfo(QCoreApplication::applicationFilePath()).fileName()
        : QString();
    if (name.isEmpty())
        name = QStringLiteral("unknown");
    const QByteArray text =
        QByteArray::number(qint64(::getpid())) + ' ' + name.toLocal8Bit().replace('\n', ' ') + '\n';
    if (::ftruncate(fd, 0) == 0)
        (void)!::pwrite(fd, text.constData(), size_t(text.size()), 0);
    return 0;
}

void InstanceLock::unlock()
{
    if (m_fd < 0)
        return;
    (void)!::ftruncate(m_fd, 0);
    ::close(m_fd); // releases the lock
    m_fd = -1;
}

QString InstanceLock::holder() const
{
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(f.read(256)).trimmed();
}

} // namespace platform
