#include "tests/support/PowerBoard.h"

#include "platform/BoardPath.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
constexpr int StartTimeoutMs = 10000;
constexpr int ReplyTimeoutMs = 10000;
constexpr int StopTimeoutMs = 5000;
} // namespace

PowerBoard::PowerBoard()
    : m_root(QDir::tempPath() + QStringLiteral("/vekpb-XXXXXX"))
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

PowerBoard::~PowerBoard()
{
    stop();
}

QString PowerBoard::executable()
{
    return QStringLiteral(VEK_POWERBOARD_EXE);
}

bool PowerBoard::start(const QStringList &extraArgs)
{
    if (!m_root.isValid()) {
        m_error = QStringLiteral("cannot create a temporary board root");
        return false;
    }
    m_process.start(
        executable(), QStringList { QStringLiteral("--root"), m_root.path() } + extraArgs);
    if (!m_process.waitForStarted(StartTimeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(executable(), m_process.errorString());
        return false;
    }
    // The control socket is bound last, so once it answers all three are there.
    QDeadlineTimer deadline(StartTimeoutMs);
    while (!connectControl()) {
        if (m_process.waitForFinished(0) || m_process.state() == QProcess::NotRunning) {
            m_error = QStringLiteral("vek-powerboard exited at start: ") + describeExit();
            return false;
        }
        if (deadline.hasExpired()) {
            m_error = QStringLiteral("vek-powerboard did not open its sockets within %1 ms")
                          .arg(StartTimeoutMs);
            stop();
            return false;
        }
        QThread::msleep(10);
    }
    platform::BoardPath::setRoot(m_root.path());
    return true;
}

bool PowerBoard::isRunning()
{
    if (m_process.state() == QProcess::NotRunning)
        return false;
    return !m_process.waitForFinished(0);
}

bool PowerBoard::stop()
{
    disconnectControl();
    if (isRunning()) {
        ::kill(pid_t(m_process.processId()), SIGTERM);
        if (!m_process.waitForFinished(StopTimeoutMs)) {
            m_process.kill();
            m_process.waitForFinished(StopTimeoutMs);
            m_error = QStringLiteral("vek-powerboard ignored SIGTERM and was killed");
            return false;
        }
    }
    const bool clean = m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    if (!clean)
        m_error = QStringLiteral("vek-powerboard ended badly: ") + describeExit();
    return clean;
}

QString PowerBoard::describeExit()
{
    m_output += QString::fromLocal8Bit(m_process.readAll());
    const QString how = m_process.exitStatus() == QProcess::CrashExit
        ? QStringLiteral("crashed")
        : QStringLiteral("exit code %1").arg(m_process.exitCode());
    const QString output = m_output.trimmed();
    return output.isEmpty() ? how : how + QStringLiteral("; output: ") + output;
}

QString PowerBoard::failure(const QString &what)
{
    if (isRunning())
        return what;
    return what + QStringLiteral(": vek-powerboard is not running (") + describeExit()
        + QLatin1Char(')');
}

bool PowerBoard::connectControl()
{
    if (m_ctl >= 0)
        return true;
    const QByteArray path =
        QFile::encodeName(m_root.path() + QStringLiteral("/run/powerboard.ctl"));
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof(addr.sun_path))
        return false;
    std::memcpy(addr.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof(addr)) != 0) {
        ::close(fd);
        return false;
    }
    m_ctl = fd;
    m_pending.clear();
    return true;
}

void PowerBoard::disconnectControl()
{
    if (m_ctl >= 0)
        ::close(m_ctl);
    m_ctl = -1;
    m_pending.clear();
}

bool PowerBoard::sendLine(const QString &line)
{
    if (!connectControl()) {
        m_error = failure(QStringLiteral("cannot connect to the control socket"));
        return false;
    }
    const QByteArray data = line.toUtf8() + '\n';
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::send(m_ctl, data.constData() + done, size_t(data.size() - done), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            disconnectControl();
            m_error = failure(QStringLiteral("control socket write failed"));
            return false;
        }
        done += n;
    }
    return true;
}

bool PowerBoard::readLine(QString *line, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const int end = m_pending.indexOf('\n');
        if (end >= 0) {
            *line = QString::fromUtf8(m_pending.left(end));
            m_pending.remove(0, end + 1);
            return true;
        }
        pollfd pfd { m_ctl, POLLIN, 0 };
        const int ready = ::poll(&pfd, 1, int(std::max<qint64>(deadline.remainingTime(), 0)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            m_error = failure(QStringLiteral("no reply within %1 ms").arg(timeoutMs));
            disconnectControl();
            return false;
        }
        char chunk[65536];
        const ssize_t n = ::recv(m_ctl, chunk, sizeof(chunk), 0);
        if (n <= 0) {
            disconnectControl();
            m_error = failure(QStringLiteral("control connection closed"));
            return false;
        }
        m_pending.append(chunk, int(n));
    }
}

QString PowerBoard::command(const QString &line)
{
    QString reply;
    if (!sendLine(line) || !readLine(&reply, ReplyTimeoutMs))
        return QStringLiteral("ERR ") + m_error;
    return reply;
}

QStringList PowerBoard::commandLines(const QString &line)
{
    QStringList lines;
    if (!sendLine(line))
        return {};
    QString reply;
    while (readLine(&reply, ReplyTimeoutMs)) {
        if (reply == QLatin1String("END"))
            return lines;
        if (reply.startsWith(QLatin1String("ERR"))) {
            m_error = reply;
            return {};
        }
        lines << reply;
    }
    return {};
}

bool PowerBoard::parseLogLine(const QString &line, LogEntry *entry)
{
    const QStringList f = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (f.size() < 4)
        return false;
    bool good[4] = {};
    LogEntry e;
    e.timeUs = f.at(0).toLongLong(&good[0]);
    e.message = f.at(1).toULongLong(&good[1]);
    e.address = f.at(2).toUInt(&good[2], 16);
    const int count = f.at(3).toInt(&good[3]);
    if (!good[0] || !good[1] || !good[2] || !good[3] || count != f.size() - 4)
        return false;
    for (int i = 0; i < count; ++i) {
        bool wordGood = false;
        e.words << f.at(4 + i).toUInt(&wordGood, 16);
        if (!wordGood)
            return false;
    }
    *entry = e;
    return true;
}

QList<PowerBoard::LogEntry> PowerBoard::log()
{
    QList<LogEntry> entries;
    for (const QString &line : commandLines(QStringLiteral("log"))) {
        LogEntry e;
        if (!parseLogLine(line, &e)) {
            m_error = QStringLiteral("malformed log line: ") + line;
            return {};
        }
        entries << e;
    }
    return entries;
}
