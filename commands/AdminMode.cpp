#include "commands/AdminMode.h"

#include "platform/BoardPath.h"

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

QByteArray AdminMode::storedPassword()
{
    QFile file(platform::BoardPath::map(QString::fromLatin1(PasswordPath)));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QByteArray text = file.read(256);
    const int nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    const int newline = text.indexOf('\n');
    if (newline >= 0)
        text.truncate(newline);
    return text.trimmed();
}
