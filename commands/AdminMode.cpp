#include "commands/AdminMode.h"

#include "platform/BoardPath.h"
#include "remote/QueueError.h"

#include <QFile>

#include <atomic>

namespace {

std::atomic<bool> s_adminLoggedIn { false };

} // namespace

bool AdminMode::isOn()
{
    return s_adminLoggedIn.load();
}

void AdminMode::setOn(bool on)
{
    s_adminLoggedIn.store(on);
}

QByteArray AdminMode::storedPassword(QString *failure)
{
    QFile file(platform::BoardPath::map(QString::fromLatin1(PasswordPath)));
    if (!file.open(QIODevice::ReadOnly)) {
        if (failure)
            *failure = QStringLiteral("Password file: ") + file.errorString();
        return QByteArray();
    }
    QByteArray text = file.read(256);
    if (file.error() != QFileDevice::NoError) {
        if (failure)
            *failure = QStringLiteral("Password file: ") + file.errorString();
        return QByteArray();
    }
    const int nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    const int newline = text.indexOf('\n');
    if (newline >= 0)
        text.truncate(newline);
    return text.trimmed();
}

bool AdminMode::matches(const QByteArray &given, zo4882::INTF_TYPE_ENUM intf)
{
    QString failure;
    const QByteArray stored = storedPassword(&failure);
    if (!failure.isEmpty())
        zo4882::queueErrorFrom(intf, -310, failure);
    // An empty stored password would let anyone in with "" and is refused like a wrong one.
    return !stored.isEmpty() && given == stored;
}
