#include "platform/SysfsFile.h"

#include "platform/BoardPath.h"
#include "platform/SysfsStandIn.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {
int writeAttribute(const QString &path, const QByteArray &text, bool *opened)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    *opened = fd >= 0;
    if (fd < 0)
        return -errno;
    ssize_t n;
    do {
        n = ::write(fd, text.constData(), size_t(text.size()));
    } while (n < 0 && errno == EINTR);
    int rc = n < 0 ? -errno : (n != text.size() ? -EIO : 0);
    // Some attributes act only when the file is closed; a failure there is the write's failure.
    if (::close(fd) != 0 && rc == 0 && errno != EINTR)
        rc = -errno;
    return rc;
}
} // namespace

int SysfsFile::write(const QString &boardPath, const QString &text, bool *opened)
{
    bool ignored = false;
    if (!opened)
        opened = &ignored;
    const QString root = BoardPath::root();
    const QString path = BoardPath::map(boardPath);
    if (root.isEmpty())
        return writeAttribute(path, text.toLatin1(), opened);
    return SysfsStandIn::write(path.mid(root.size()), path, text.toLatin1(), opened);
}

int SysfsFile::read(const QString &boardPath, QString *text)
{
    const QByteArray path = QFile::encodeName(BoardPath::map(boardPath));
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    // Attributes are one page at most.
    char buffer[4096];
    ssize_t n;
    do {
        n = ::read(fd, buffer, sizeof(buffer));
    } while (n < 0 && errno == EINTR);
    const int rc = n < 0 ? -errno : 0;
    ::close(fd);
    if (rc != 0)
        return rc;
    QByteArray data(buffer, int(n));
    while (data.endsWith('\n'))
        data.chop(1);
    *text = QString::fromLatin1(data);
    return 0;
}

bool SysfsFile::exists(const QString &boardPath)
{
    return QFileInfo::exists(BoardPath::map(boardPath));
}

} // namespace platform
