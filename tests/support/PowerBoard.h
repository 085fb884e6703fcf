#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

// The simulated power board (vek-powerboard) as a process on a temporary board root, for tests.
// start() seeds the root, waits (bounded) for the board's sockets and points
// platform::BoardPath at the root. Every call is bounded in time; a board that died shows as an
// "ERR ..." reply and in errorString(), never as a hang.
class PowerBoard
{
public:
    // One register write unit as the board received it; units of one message share `message`.
    struct LogEntry
    {
        qint64 timeUs = 0; // monotonic clock of the board, µs
        quint64 message = 0;
        quint32 address = 0;
        QVector<quint32> words;
    };

    PowerBoard();
    ~PowerBoard();
    PowerBoard(const PowerBoard &) = delete;
    PowerBoard &operator=(const PowerBoard &) = delete;

    // Starts the board; extraArgs go to vek-powerboard (for example "--template", dir).
    bool start(const QStringList &extraArgs = {});
    // Stops the board with SIGTERM (then kill); true when it had run and exited cleanly.
    bool stop();
    bool isRunning();

    QString root() const { return m_root.path(); }
    QString errorString() const { return m_error; }
    qint64 pid() const { return m_process.processId(); }

    // One control command; returns the reply line ("OK ..." / "ERR ..."), or an "ERR" line that
    // says why there was none (board gone, timeout).
    QString command(const QString &line);
    // All lines of a reply that ends with "END" (the log); empty with errorString() on failure.
    QStringList commandLines(const QString &line);
    QList<LogEntry> log();
    bool clearLog() { return command(QStringLiteral("log clear")) == QLatin1String("OK"); }

    // Path of the vek-powerboard executable this fixture starts.
    static QString executable();
    static bool parseLogLine(const QString &line, LogEntry *entry);

private:
    bool connectControl();
    void disconnectControl();
    bool sendLine(const QString &line);
    bool readLine(QString *line, int timeoutMs);
    QString describeExit();
    // what, plus how the board ended when it is no longer running.
    QString failure(const QString &what);

    QTemporaryDir m_root;
    QProcess m_process;
    QString m_error;
    QString m_output; // what the board printed, kept for the failure messages
    int m_ctl = -1;
    QByteArray m_pending;
};
