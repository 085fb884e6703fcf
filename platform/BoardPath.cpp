#include "platform/BoardPath.h"

#include <QDir>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>

namespace platform {

namespace {
QMutex s_rootMutex; // guards s_root and s_rootKnown
QString s_root;
bool s_rootKnown = false;

QString cleanRoot(QString root)
{
    while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
        root.chop(1);
    return root == QLatin1String("/") ? QString() : root;
}
} // namespace

QString BoardPath::root()
{
    QMutexLocker lock(&s_rootMutex);
    if (!s_rootKnown) {
        s_root = cleanRoot(qEnvironmentVariable("BOARD_ROOT"));
        s_rootKnown = true;
    }
    return s_root;
}

void BoardPath::setRoot(const QString &root)
{
    QMutexLocker lock(&s_rootMutex);
    s_root = cleanRoot(root);
    s_rootKnown = true;
}

QString BoardPath::map(const QString &boardPath)
{
    if (!boardPath.startsWith(QLatin1Char('/')))
        return boardPath;
    const QString r = root();
    if (r.isEmpty() || boardPath == r || boardPath.startsWith(r + QLatin1Char('/')))
        return boardPath;
    return r + boardPath;
}

QString BoardPath::unmap(const QString &path)
{
    const QString r = root();
    if (r.isEmpty())
        return path;
    if (path == r)
        return QStringLiteral("/");
    return path.startsWith(r + QLatin1Char('/')) ? path.mid(r.size()) : path;
}

QStringList BoardPath::mapArguments(const QStringList &arguments)
{
    QStringList mapped;
    mapped.reserve(arguments.size());
    // name=/path: the name is a plain word, optionally with leading dashes.
    static const QRegularExpression assignment(QStringLiteral("^(-{0,2}[A-Za-z0-9_.-]+=)(/.*)$"));
    for (const QString &a : arguments) {
        const QRegularExpressionMatch m = assignment.match(a);
        mapped << (m.hasMatch() ? m.captured(1) + map(m.captured(2)) : map(a));
    }
    return mapped;
}

} // namespace platform
