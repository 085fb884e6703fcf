#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
AtomicFile::RenameFunction s_rename; // set only by tests, before threads start

constexpr int SystemError = -310;

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

int fail(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return SystemError;
}

bool writeAll(int fd, const QByteArray &data)
{
    const char *p = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// Makes the rename itself durable; a folder that cannot be opened or synced is not an error,
// the data already reached the disk.
void syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}
} // namespace

int AtomicFile::write(const QString &path, const QByteArray &data, QString *reason)
{
    const QFileInfo target(path);
    const QByteArray folder = QFile::encodeName(target.absolutePath());
    const QByteArray targetName = QFile::encodeName(target.absoluteFilePath());

    // A hidden name next to the target: the rename stays inside one file system.
    QByteArray tempName;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        tempName = folder + "/." + QFile::encodeName(target.fileName()) + '.'
            + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return fail(reason, errnoText(errno));

    struct stat old;
    if (::stat(targetName.constData(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);

    if (!writeAll(fd, data) || ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(tempName.constData());
        return fail(reason, errnoText(error));
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(tempName.constData());
        return fail(reason, errnoText(error));
    }

    bool renamed;
    int error = 0;
    if (s_rename) {
        renamed = s_rename(QFile::decodeName(tempName), QFile::decodeName(targetName));
        error = EIO;
    } else {
        renamed = ::rename(tempName.constData(), targetName.constData()) == 0;
        error = errno;
    }
    if (!renamed) {
        ::unlink(tempName.constData());
        return fail(reason, errnoText(error));
    }
    syncFolder(folder);
    return 0;
}

void AtomicFile::setRenameFunction(RenameFunction rename)
{
    s_rename = std::move(rename);
}

} // namespace platform
