#include "tools/updater/CheckList.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QList>

#include <algorithm>

namespace updater {

namespace {
constexpr int DigestHexSize = 32;

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
} // namespace

bool CheckList::parse(const QByteArray &text, QString *name, QByteArray *digest, QString *reason)
{
    int entries = 0;
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        // md5sum marks names it had to escape with a leading backslash; none of ours needs it.
        const bool wellFormed = line.size() > DigestHexSize + 2
            && std::all_of(line.begin(), line.begin() + DigestHexSize, isHex)
            && line.at(DigestHexSize) == ' '
            && (line.at(DigestHexSize + 1) == ' ' || line.at(DigestHexSize + 1) == '*');
        if (!wellFormed || line.contains('\0')) {
            *reason = QStringLiteral("line %1 of the check list is not an MD5 entry").arg(i + 1);
            return false;
        }
        if (++entries > 1) {
            *reason = QStringLiteral("the check list holds more than one entry");
            return false;
        }
        *digest = QByteArray::fromHex(line.left(DigestHexSize));
        *name = QString::fromUtf8(line.mid(DigestHexSize + 2));
    }
    if (entries == 0) {
        *reason = QStringLiteral("the check list is empty");
        return false;
    }
    return true;
}

bool CheckList::verify(
    const QString &dir, const QString &listName, const QString &file, QString *reason)
{
    QFile list(QDir(dir).filePath(listName));
    if (!list.open(QIODevice::ReadOnly)) {
        *reason = QStringLiteral("cannot open %1: %2").arg(listName, list.errorString());
        return false;
    }
    const QByteArray text = list.read(MaxListSize + 1);
    if (text.size() > MaxListSize) {
        *reason = QStringLiteral("%1 is too long for a check list").arg(listName);
        return false;
    }
    QString named;
    QByteArray expected;
    if (!parse(text, &named, &expected, reason))
        return false;
    if (named != file && named != QLatin1String("./") + file) {
        *reason = QStringLiteral("the check list names %1, not %2").arg(named, file);
        return false;
    }
    QFile image(QDir(dir).filePath(file));
    if (!image.open(QIODevice::ReadOnly)) {
        *reason = QStringLiteral("cannot open %1: %2").arg(file, image.errorString());
        return false;
    }
    QCryptographicHash md5(QCryptographicHash::Md5);
    if (!md5.addData(&image) || image.error() != QFileDevice::NoError) {
        *reason = QStringLiteral("cannot read %1: %2").arg(file, image.errorString());
        return false;
    }
    if (md5.result() != expected) {
        *reason = QStringLiteral("the MD5 of %1 does not match its check list").arg(file);
        return false;
    }
    return true;
}

} // namespace updater
