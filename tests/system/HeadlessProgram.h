#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

class QTcpSocket;

// The headless instrument program (vek-remote), or the front-panel program (Vek3r), as a process
// on a board root, for the system tests. start() waits (bounded) until it reports its raw-socket and telnet ports; stop() ends it with
// SIGTERM and tells whether it exited cleanly. Every wait has a bound.
class HeadlessProgram
{
public:
    // exe: the program to run; vek-remote when empty.
    explicit HeadlessProgram(const QString &exe = {});
    ~HeadlessProgram();
    HeadlessProgram(const HeadlessProgram &) = delete;
    HeadlessProgram &operator=(const HeadlessProgram &) = delete;

    // extraArgs go to vek-remote (for example "--port", "0"). launcher: a program that runs
    // vek-remote in its own process (prlimit with its options and "--"), none when empty.
    bool start(
        const QString &root, const QStringList &extraArgs = {}, const QStringList &launcher = {});
    // SIGTERM, then kill after a bound; true when it had run and exited with status 0.
    bool stop();

    quint16 port() const { return m_port; }
    quint16 telnetPort() const { return m_telnetPort; }
    // 0 when the program does not serve HiSLIP.
    quint16 hislipPort() const { return m_hislipPort; }
    qint64 pid() const { return m_process.processId(); }
    QString errorString() const { return m_error; }
    // Resident memory in KiB (VmRSS), -1 when it cannot be read.
    qint64 residentKib() const;

    static QString executable();
    static QString panelExecutable();

private:
    const QString m_executable;
    QProcess m_process;
    QByteArray m_output;
    QString m_error;
    quint16 m_port = 0;
    quint16 m_telnetPort = 0;
    quint16 m_hislipPort = 0;
};

// Client helpers over blocking sockets.
namespace rawclient {

bool connectTo(QTcpSocket &socket, quint16 port);
// connectTo() with the error queue emptied (a fresh root's -315 entries for its missing stored
// files are no test's business).
bool connectClean(QTcpSocket &socket, quint16 port);
// Reads until n newline-ended lines arrived or timeoutMs passed; returns what came.
QByteArray readLines(QTcpSocket &socket, int n, int timeoutMs = 10000);
// Writes a query line and returns its answer line (newline included).
QByteArray query(QTcpSocket &socket, const QByteArray &line);
// The session's error queue, oldest first, read with SYST:ERR? until it is empty (at most
// 20 entries); each entry without its line end.
QStringList errors(QTcpSocket &socket);

} // namespace rawclient
