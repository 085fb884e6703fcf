// The headless instrument program's start-up and memory: the time from starting the built
// program (warm: a first run fills the caches) to its first *IDN? answer over the raw socket,
// against the plain C line server's start to its first answer in the same run (target: under
// 3 s), and its resident memory after the given number of *IDN? queries over each transport
// (target: under 80 MB), against the line server's. USBTMC takes fewer queries: the service
// waits 100 ms from the gadget's "data waiting" to reading each message. Binds the instrument's
// fixed ports: run it through bench/remote_startup.sh, which gives it a network namespace.
//   bench_RemoteStartup [queries [usbtmc-queries]]   (default 10000 and 300)
#include "platform/BoardPath.h"
#include "platform/UsbGadgetStandIn.h"
#include "tests/support/PowerBoard.h"
#include "tests/support/UsbtmcHostRecords.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <functional>

namespace {

constexpr int WaitMs = 30000;
constexpr double TargetStartSeconds = 3.0;
constexpr double TargetResidentMib = 80.0;

[[noreturn]] void fail(const QString &why)
{
    std::fprintf(stderr, "bench_RemoteStartup: %s\n", qPrintable(why));
    std::exit(1);
}

QString program(const char *relative)
{
    return QCoreApplication::applicationDirPath() + QLatin1String("/../") + QLatin1String(relative);
}

double residentMib(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// Connects (retrying while nothing listens yet) and reads the answer to one query line.
QByteArray firstAnswer(quint16 port, QProcess &server)
{
    QElapsedTimer clock;
    clock.start();
    server.waitForStarted(WaitMs);
    while (clock.elapsed() < WaitMs && server.state() == QProcess::Running) {
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        if (!socket.waitForConnected(1000)) {
            QThread::msleep(2);
            continue;
        }
        socket.write("*IDN?\n");
        while (!socket.canReadLine() && socket.waitForReadyRead(WaitMs)) { }
        return socket.readLine();
    }
    return {};
}

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(process.processId()), SIGTERM);
    if (!process.waitForFinished(WaitMs)) {
        process.kill();
        process.waitForFinished(WaitMs);
    }
}

// Runs count exchanges and prints their rate; one exchange returns false on a failure.
void measure(const char *name, int count, const std::function<bool()> &exchange)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i) {
        if (!exchange())
            fail(QStringLiteral("%1: query %2 failed").arg(QLatin1String(name)).arg(i + 1));
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    std::printf("queries   %-8s %d in %.2f s (%.0f/s)\n", name, count, seconds, count / seconds);
    std::fflush(stdout);
}

// A query line on a stream, answered when the identity has come once more.
bool streamQuery(QIODevice &device, QByteArray &seen, const QByteArray &identity, int &answered)
{
    device.write("*IDN?\n");
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const int at = seen.indexOf(identity);
        if (at >= 0) {
            seen.remove(0, at + identity.size());
            ++answered;
            return true;
        }
        if (clock.elapsed() > WaitMs || !device.waitForReadyRead(WaitMs))
            return false;
        seen += device.readAll();
    }
}

// Runs a client program to its end and echoes its figures.
void runClient(const char *name, const QString &path, const QStringList &args)
{
    QProcess client;
    client.start(path, args);
    if (!client.waitForFinished(600000) || client.exitCode() != 0)
        fail(QStringLiteral("%1 client failed: %2")
                 .arg(QLatin1String(name), QString::fromUtf8(client.readAllStandardError())));
    std::printf("queries   %-8s %s", name, client.readAllStandardOutput().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int queries = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;
    const int usbtmcQueries = argc > 2 ? QByteArray(argv[2]).toInt() : 300;
    if (queries <= 0 || usbtmcQueries <= 0)
        fail(QStringLiteral("usage: bench_RemoteStartup [queries [usbtmc-queries]]"));

    // Baseline: the plain line server's start to its first answer, and its memory.
    QProcess baseline;
    QElapsedTimer clock;
    clock.start();
    baseline.start(
        program("bench/baseline_line_server"), { QStringLiteral("-p"), QStringLiteral("5199") });
    if (firstAnswer(5199, baseline).isEmpty())
        fail(QStringLiteral("the baseline line server did not answer"));
    const double baselineSeconds = clock.nsecsElapsed() / 1e9;
    const double baselineMib = residentMib(baseline.processId());
    stop(baseline);

    PowerBoard board;
    if (!board.start())
        fail(board.errorString());
    const QString root = board.root();
    const QString vekRemote = program("sim/remote/vek-remote");
    const QStringList options { QStringLiteral("--root"), root, QStringLiteral("--vxi11") };

    // A first run fills the caches; it has no serial line or gadget yet.
    {
        QProcess cold;
        cold.start(vekRemote, options);
        if (firstAnswer(5025, cold).isEmpty())
            fail(QStringLiteral("vek-remote did not answer"));
        stop(cold);
    }

    const QString socatPath = QStandardPaths::findExecutable(QStringLiteral("socat"));
    if (socatPath.isEmpty())
        fail(QStringLiteral("socat is not installed"));
    const QString hostEnd = root + QStringLiteral("/serial-host");
    QProcess socat;
    socat.start(socatPath,
        { QStringLiteral("pty,raw,echo=0,link=") + root + QStringLiteral("/dev/ttyO1"),
            QStringLiteral("pty,raw,echo=0,link=") + hostEnd });
    for (int i = 0; i < 1000 && !QFileInfo::exists(hostEnd); ++i)
        QThread::msleep(10);
    platform::UsbGadgetStandIn usbHost;
    if (!usbHost.isListening())
        fail(QStringLiteral("the USB gadget stand-in does not listen"));

    QProcess instrument;
    clock.restart();
    instrument.start(vekRemote, options);
    const QByteArray identity = firstAnswer(5025, instrument);
    const double startSeconds = clock.nsecsElapsed() / 1e9;
    if (identity.isEmpty())
        fail(QStringLiteral("vek-remote did not answer"));
    std::printf(
        "start     line server %.3f s, vek-remote %.3f s (ratio %.1f; target under %.0f s: %s)\n",
        baselineSeconds,
        startSeconds,
        startSeconds / baselineSeconds,
        TargetStartSeconds,
        startSeconds < TargetStartSeconds ? "met" : "MISSED");
    std::fflush(stdout);
    if (!usbHost.waitConnected(WaitMs))
        fail(QStringLiteral("the USBTMC service did not open the gadget"));

    QTcpSocket raw;
    raw.connectToHost(QStringLiteral("127.0.0.1"), 5025);
    raw.waitForConnected(WaitMs);
    QByteArray rawSeen;
    int answered = 0;
    measure("raw", queries, [&] {
        return streamQuery(raw, rawSeen, identity, answered);
    });
    QTcpSocket telnet;
    telnet.connectToHost(QStringLiteral("127.0.0.1"), 5024);
    telnet.waitForConnected(WaitMs);
    QByteArray telnetSeen;
    measure("telnet", queries, [&] {
        return streamQuery(telnet, telnetSeen, identity, answered);
    });
    const QString n = QString::number(queries);
    runClient("hislip",
        program("bench/line_rtt"),
        { QStringLiteral("-H"),
            QStringLiteral("-h"),
            QStringLiteral("127.0.0.1"),
            QStringLiteral("-p"),
            QStringLiteral("4880"),
            QStringLiteral("-n"),
            n,
            QStringLiteral("-w"),
            QStringLiteral("0"),
            QStringLiteral("-q"),
            QStringLiteral("*IDN?") });
    runClient("vxi11",
        program("bench/vxi11_rtt"),
        { QStringLiteral("-h"),
            QStringLiteral("127.0.0.1"),
            QStringLiteral("-n"),
            n,
            QStringLiteral("-w"),
            QStringLiteral("0") });
    QSerialPort serial(hostEnd);
    if (!serial.open(QIODevice::ReadWrite))
        fail(QStringLiteral("cannot open %1: %2").arg(hostEnd, serial.errorString()));
    QByteArray serialSeen;
    measure("rs232", queries, [&] {
        return streamQuery(serial, serialSeen, identity, answered);
    });
    unsigned char tag = 1;
    measure("usbtmc", usbtmcQueries, [&] {
        const unsigned char out = tag;
        const unsigned char in = tag == 255 ? 1 : tag + 1;
        tag = in == 255 ? 1 : in + 1;
        if (!usbHost.sendBulkOut(usbtmchost::out("*IDN?\n", out))
            || !usbHost.sendBulkOut(usbtmchost::requestIn(in)))
            return false;
        return usbHost.take('I', WaitMs).data.mid(12, identity.size()) == identity;
    });

    const double mib = residentMib(instrument.processId());
    std::printf("memory    line server %.1f MiB, vek-remote %.1f MiB after the queries above "
                "(ratio %.1f; target under %.0f MB: %s)\n",
        baselineMib,
        mib,
        mib / baselineMib,
        TargetResidentMib,
        mib * 1.048576 < TargetResidentMib ? "met" : "MISSED");
    stop(instrument);
    stop(socat);
    return 0;
}
