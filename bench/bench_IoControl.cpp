// CPU cost of the two controller link threads while the instrument idles: the writer waits,
// the monitor reads the status block every cycle and a monitor record every 4th. Measured
// against the simulated board and compared with a baseline in the same run: one bare thread
// making the same exchanges on its own SPI port connection.
//   bench_IoControl [seconds]   (default 10)

#include "engine/ioc/IoControl.h"
#include "platform/SpiPort.h"
#include "tests/support/PowerBoard.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <thread>

namespace {

QSet<QString> tasks()
{
    const QStringList ids =
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return QSet<QString>(ids.cbegin(), ids.cend());
}

// Nanoseconds a thread of this process has run, from the scheduler's statistics.
qint64 taskCpuNs(const QString &tid)
{
    QFile f(QStringLiteral("/proc/self/task/%1/schedstat").arg(tid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return f.readAll().split(' ').value(0).toLongLong();
}

qint64 cpuNs(const QSet<QString> &tids)
{
    qint64 sum = 0;
    for (const QString &t : tids)
        sum += taskCpuNs(t);
    return sum;
}

qint64 threadCpuNs()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

struct Result
{
    double seconds = 0.0;
    double cpuShare = 0.0; // of one core
    double exchangesPerSecond = 0.0;
};

Result measureLinks(int seconds)
{
    const ioc::LinkTiming timing;
    const QSet<QString> before = tasks();
    ioc::IoControl writer(ioc::IoControl::Writer, timing);
    ioc::IoControl monitor(ioc::IoControl::Monitor, timing);
    writer.start();
    monitor.start();
    monitor.getModelsInfo();
    writer.transfer();
    QThread::msleep(500);
    const QSet<QString> links = tasks() - before;

    QElapsedTimer wall;
    const qint64 cpu0 = cpuNs(links);
    const quint64 ex0 = ioc::IoControl::exchangeCount();
    wall.start();
    QThread::sleep(ulong(seconds));
    const qint64 ns = wall.nsecsElapsed();
    const qint64 cpu = cpuNs(links) - cpu0;
    const quint64 ex = ioc::IoControl::exchangeCount() - ex0;

    Result r;
    r.seconds = double(ns) * 1e-9;
    r.cpuShare = double(cpu) / double(ns);
    r.exchangesPerSecond = double(ex) / r.seconds;
    return r;
}

// The same traffic from one plain thread on a port of its own: status read every 20 ms, the
// monitor record every 4th cycle.
Result measureBaseline(int seconds)
{
    std::atomic<qint64> cpu { 0 };
    std::atomic<quint64> exchanges { 0 };
    QElapsedTimer wall;
    wall.start();
    std::thread t([&] {
        platform::SpiPort port;
        port.open(QStringLiteral("/dev/spidev1.0"));
        const qint64 cpu0 = threadCpuNs();
        QElapsedTimer clock;
        clock.start();
        int cycle = 0;
        QVector<quint32> rx;
        while (clock.elapsed() < seconds * 1000) {
            port.transfer(ioc::readUnit(ioc::Address::StatusBlock, ioc::Words::StatusBlock), &rx);
            ++exchanges;
            if (++cycle == 4) {
                cycle = 0;
                port.transfer(
                    ioc::readUnit(ioc::Address::MonitorRecord, ioc::Words::TraceRecord), &rx);
                ++exchanges;
            }
            QThread::msleep(20);
        }
        cpu = threadCpuNs() - cpu0;
    });
    t.join();
    Result r;
    r.seconds = double(wall.nsecsElapsed()) * 1e-9;
    r.cpuShare = double(cpu) / (r.seconds * 1e9);
    r.exchangesPerSecond = double(exchanges) / r.seconds;
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10;

    PowerBoard board;
    if (!board.start()) {
        std::fprintf(stderr, "bench_IoControl: %s\n", qPrintable(board.errorString()));
        return 1;
    }
    const Result base = measureBaseline(seconds);
    const Result link = measureLinks(seconds);

    std::printf("idle monitoring, %d s against vek-powerboard\n", seconds);
    std::printf("  link threads:  %.3f %% of one core (target < 1 %%), %.1f exchanges/s\n",
        link.cpuShare * 100.0,
        link.exchangesPerSecond);
    std::printf("  baseline:      %.3f %% of one core, %.1f exchanges/s (bare port, one thread)\n",
        base.cpuShare * 100.0,
        base.exchangesPerSecond);
    std::printf("  ratio link/baseline CPU: %.2f\n",
        base.cpuShare > 0.0 ? link.cpuShare / base.cpuShare : 0.0);
    return link.cpuShare < 0.01 ? 0 : 2;
}
