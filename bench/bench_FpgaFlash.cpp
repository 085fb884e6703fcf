// Programming and verifying the FPGA configuration flash from an MCS file (fpgaupdate,
// fpgaverify) against the simulated board, compared with a baseline in the same run: the same
// number of bytes exchanged raw through one open SPI port in page-sized messages.
//   bench_FpgaFlash [KiB] [record bytes]   (default 2048 KiB in 16-byte records)

#include "platform/SpiPort.h"
#include "tests/support/PowerBoard.h"
#include "tools/hwmaint/Console.h"
#include "tools/hwmaint/PanelControl.h"
#include "tools/hwmaint/fpgaTools.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <linux/spi/spidev.h>

namespace {
QByteArray record(int type, quint16 address, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(address >> 8));
    bytes.append(char(address));
    bytes.append(char(type));
    bytes.append(data);
    quint8 sum = 0;
    for (char c : bytes)
        sum = quint8(sum + quint8(c));
    bytes.append(char(quint8(-sum)));
    return ':' + bytes.toHex().toUpper() + "\r\n";
}

QByteArray mcsFile(int size, int recordBytes)
{
    QByteArray file;
    quint32 x = 12345;
    for (int offset = 0; offset < size; offset += recordBytes) {
        if (offset % 0x10000 == 0)
            file += record(4,
                0,
                QByteArray::fromHex(QByteArray::number(offset >> 16, 16).rightJustified(4, '0')));
        QByteArray data(qMin(recordBytes, size - offset), '\0');
        for (char &c : data) {
            x = x * 1103515245u + 12345u;
            c = char(x >> 16);
        }
        file += record(0, quint16(offset), data);
    }
    return file + ":00000001FF\r\n";
}

// Seconds for size bytes of READ exchanges of one page each through one open port.
double rawExchange(int size)
{
    platform::SpiPort port;
    if (port.open(QStringLiteral("/dev/spidev1.1")) != 0 || port.configure({ 0, 8, 24000000 }) != 0)
        return -1;
    QByteArray buffer(4 + 256, '\0');
    buffer[0] = 0x03;
    spi_ioc_transfer xfer {};
    xfer.tx_buf = quintptr(buffer.data());
    xfer.rx_buf = quintptr(buffer.data());
    xfer.len = quint32(buffer.size());
    xfer.speed_hz = 12000000;
    xfer.bits_per_word = 8;
    QElapsedTimer timer;
    timer.start();
    for (int offset = 0; offset < size; offset += 256) {
        buffer[0] = 0x03;
        if (port.message(&xfer, 1) != 0)
            return -1;
    }
    return timer.nsecsElapsed() * 1e-9;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int size = (args.size() > 1 ? args.at(1).toInt() : 2048) * 1024;
    const int recordBytes = args.size() > 2 ? args.at(2).toInt() : 16;
    if (size <= 0 || size > 2 * 1024 * 1024 || recordBytes < 1 || recordBytes > 255) {
        std::fprintf(stderr, "usage: bench_FpgaFlash [KiB 1..2048] [record bytes 1..255]\n");
        return 2;
    }

    PowerBoard board;
    if (!board.start()) {
        std::fprintf(stderr, "bench_FpgaFlash: %s\n", qPrintable(board.errorString()));
        return 1;
    }
    QTemporaryDir work;
    const QString path = work.path() + QStringLiteral("/image.mcs");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(mcsFile(size, recordBytes)) < 0)
        return 1;
    file.close();

    QString sink;
    QTextStream out(&sink);
    Console::redirect(&out, &out);
    fpgaTools tools;
    QElapsedTimer timer;
    timer.start();
    const int updated = tools.update({ path });
    const double update = timer.nsecsElapsed() * 1e-9;
    timer.restart();
    const int verified = tools.verify({ path });
    const double verify = timer.nsecsElapsed() * 1e-9;
    Console::redirect(nullptr, nullptr);

    PanelControl::spiFlashEnable(true);
    const double raw = rawExchange(size);
    PanelControl::spiFlashEnable(false);
    board.stop();
    if (updated != 0 || verified != 0 || raw <= 0) {
        std::fprintf(
            stderr, "bench_FpgaFlash: update %d, verify %d, raw %.3f s\n", updated, verified, raw);
        return 1;
    }
    std::printf("image %d KiB in %d-byte records\n", size / 1024, recordBytes);
    std::printf("baseline: raw exchange of the same bytes   %8.3f s\n", raw);
    std::printf(
        "fpgaupdate (erase, program, read back)     %8.3f s  ratio %7.1f\n", update, update / raw);
    std::printf(
        "fpgaverify (read back)                     %8.3f s  ratio %7.1f\n", verify, verify / raw);
    return 0;
}
