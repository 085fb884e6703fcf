// libFuzzer target: arbitrary bytes reach the simulated controller's maintenance side as SPI
// messages of frames. Byte 0 of each chunk is the time step in ms, then a length in words.

#include "sim/BootController.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir root;
    static sim::BootController boot(root.path(), 0);
    static qint64 now = 0;

    while (size >= 2) {
        now += qint64(data[0]) * 1000;
        const size_t words = std::min<size_t>(data[1], (size - 2) / 4);
        QVector<quint32> message(static_cast<int>(words));
        std::memcpy(message.data(), data + 2, words * 4);
        boot.receive(message, now);
        boot.tick(now);
        data += 2 + words * 4;
        size -= 2 + words * 4;
    }
    if (boot.log().size() > 10000)
        boot.clearLog();
    return 0;
}
