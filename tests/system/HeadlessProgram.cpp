#include "tests/system/HeadlessProgram.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpSocket>

#include <algorithm>
#include <csignal>

namespace {
constexpr int StartTimeoutMs = 15000;
constexpr int StopTimeoutMs = 10000;
} // namespace

HeadlessProgram::HeadlessProgram(const QString &exe)
    : m_executable(exe.isEmpty() ? executable() : exe)
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setReadChannel(QProcess::StandardOutput);
    m_process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
}

HeadlessProgram::~HeadlessProgram()
{
    stop();
}

QString HeadlessProgram::executable()
{
    return QStringLiteral(VEK_REMOTE_EXE);
}

QString HeadlessProgram::panelExecutable()
{
    return QStringLiteral(VEK3R_EXE);
}

bool HeadlessProgram::start(
    const QString &root, const QStringList &extraArgs, const QStringList &launcher)
{
    // A restart reads the new run's port line, not the last run's.
    m_output.clear();
    m_port = m_telnetPort = m_hislipPort = 0;
    QStringList arguments = QStringList { QStringLiteral("--root"), root } + extraArgs;
    if (launcher.isEmpty()) {
        m_process.start(m_executable, arguments);
    } else {
        arguments = launcher.mid(1) + QStringList { m_executable } + arguments;
        m_process.start(launcher.first(), arguments);
    }
    if (!m_process.waitForStarted(StartTimeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(m_executable, m_process.errorString());
        return false;
    }
    QDeadlineTimer deadline(StartTimeoutMs);
    while (!deadline.hasExpired()) {
        m_output += m_process.readAllStandardOutput();
        const int end = m_output.indexOf('\n');
        // "port N telnet M hislip H"
        const QList<QByteArray> words = m_output.left(std::max(end, 0)).split(' ');
        if (end >= 0 && words.size() >= 4 && words[0] == "port" && words[2] == "telnet") {
            m_port = quint16(words[1].toUInt());
            m_telnetPort = quint16(words[3].toUInt());
            if (words.size() >= 6 && words[4] == "hislip")
                m_hislipPort = quint16(words[5].toUInt());
            return m_port != 0 && m_telnetPort != 0;
        }
        if (m_process.state() == QProcess::NotRunning) {
            m_error = QStringLiteral("%1 exited at start: %2")
                          .arg(m_executable, QString::fromLocal8Bit(m_process.readAllStandardError()));
            return false;
        }
        m_process.waitForReadyRead(100);
    }
    m_error = QStringLiteral("%1 reported no port within %2 ms").arg(m_executable).arg(StartTimeoutMs);
    return false;
}

bool HeadlessProgram::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return false;
    ::kill(pid_t(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(StopTimeoutMs)) {
        m_error = QStringLiteral("%1 ignored SIGTERM for %2 ms").arg(m_executable).arg(StopTimeoutMs);
        m_process.kill();
        m_process.waitForFinished(StopTimeoutMs);
        return false;
    }
    if (m_process.exitStatus() != QProcess::NormalExit || m_process.exitCode() != 0) {
        m_error = QStringLiteral("%1 ended with status %2: %3")
                      .arg(m_executable)
                      .arg(m_process.exitCode())
                      .arg(QString::fromLocal8Bit(m_process.readAllStandardError()));
        return false;
    }
    return true;
}

qint64 HeadlessProgram::residentKib() const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

namespace rawclient {

bool connectTo(QTcpSocket &socket, quint16 port)
{
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(5000))
        return false;
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return true;
}

bool connectClean(QTcpSocket &socket, quint16 port)
{
    return connectTo(socket, port) && query(socket, "*CLS;SYST:ERR:COUN?") == "+0\n";
}

QByteArray readLines(QTcpSocket &socket, int n, int timeoutMs)
{
    QByteArray got;
    int lines = 0;
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        while (lines < n && socket.canReadLine()) {
            got += socket.readLine();
            ++lines;
        }
        if (lines == n)
            break;
        // No whole line is buffered, though part of one may be: only a wait reads more.
        if (!socket.waitForReadyRead(100) && socket.state() == QAbstractSocket::UnconnectedState)
            break;
    }
    return got;
}

QByteArray query(QTcpSocket &socket, const QByteArray &line)
{
    socket.write(line + '\n');
    return readLines(socket, 1);
}

QStringList errors(QTcpSocket &socket)
{
    QStringList queued;
    for (int i = 0; i < 20; ++i) {
        const QByteArray line = query(socket, "SYST:ERR?");
        if (line.isEmpty() || line == QByteArrayLiteral("+0,\"No error\"\n"))
            break;
        queued << QString::fromLatin1(line.trimmed());
    }
    return queued;
}

} // namespace rawclient
