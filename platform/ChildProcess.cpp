#include "platform/ChildProcess.h"

#include "platform/BoardPath.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {
constexpr int KillWaitMs = 5000;
} // namespace

int ChildProcess::resolve(const QString &program, QString *path)
{
    if (!program.startsWith(QLatin1Char('/')))
        return -EINVAL;
    const QString mapped = BoardPath::map(program);
    const QFileInfo info(mapped);
    if (!info.exists())
        return -ENOENT;
    if (info.isDir() || !info.isExecutable())
        return -EACCES;
    *path = mapped;
    return 0;
}

int ChildProcess::prepare(
    QProcess *process, const QString &program, const QStringList &arguments, Arguments mapping)
{
    QString path;
    const int rc = resolve(program, &path);
    if (rc != 0)
        return rc;
    process->setProgram(path);
    process->setArguments(
        mapping == Arguments::BoardPaths ? BoardPath::mapArguments(arguments) : arguments);
    const QString root = BoardPath::root();
    if (!root.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("BOARD_ROOT"), root);
        process->setProcessEnvironment(env);
    }
    return 0;
}

ChildProcess::Result ChildProcess::run(
    const QString &program, const QStringList &arguments, int timeoutMs, Output output)
{
    Result result;
    QProcess process;
    result.error = prepare(&process, program, arguments);
    if (result.error != 0)
        return result;
    if (output == Output::Forward)
        process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QIODevice::ReadWrite);
    if (!process.waitForStarted(timeoutMs)) {
        result.error = -EIO;
        return result;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(KillWaitMs);
        result.error = -ETIMEDOUT;
    } else if (process.exitStatus() == QProcess::CrashExit) {
        result.error = -ECHILD;
    } else {
        result.exitCode = process.exitCode();
    }
    if (output == Output::Capture) {
        result.output = process.readAllStandardOutput();
        result.errorOutput = process.readAllStandardError();
    }
    return result;
}

int ChildProcess::startDetached(const QString &program, const QStringList &arguments, qint64 *pid)
{
    QProcess process;
    const int rc = prepare(&process, program, arguments);
    if (rc != 0)
        return rc;
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached(pid) ? 0 : -EIO;
}

QString ChildProcess::describe(const QString &program, const Result &result)
{
    QString what;
    switch (result.error) {
    case 0:
        what = QStringLiteral("exit status %1").arg(result.exitCode);
        break;
    case -ENOENT:
        what = QStringLiteral("no such program");
        break;
    case -ETIMEDOUT:
        what = QStringLiteral("did not finish in time and was killed");
        break;
    case -ECHILD:
        what = QStringLiteral("ended by a signal");
        break;
    default:
        what = QString::fromLocal8Bit(std::strerror(-result.error));
        break;
    }
    return program + QStringLiteral(": ") + what;
}

} // namespace platform
