// libFuzzer target: arbitrary bytes as an MCS-86 file for the maintenance tool's reader. Byte 0
// chooses the bit order; a file the reader takes must hold one end record and no overlap.

#include "tools/hwmaint/McsReader.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    McsReader reader(data[0] & 1);
    const QByteArray file(reinterpret_cast<const char *>(data + 1), int(size - 1));
    QVector<McsReader::Line> lines;
    McsReader::Line bad;
    if (!reader.read(file, &lines, &bad)) {
        if (bad.error.isEmpty())
            std::abort();
        return 0;
    }
    const bool ended = std::any_of(lines.cbegin(), lines.cend(), [](const McsReader::Line &l) {
        return l.kind == McsReader::Kind::EndOfFile;
    });
    if (!ended)
        std::abort();
    for (const McsReader::Line &l : lines) {
        if (l.kind == McsReader::Kind::Error
            || (l.kind == McsReader::Kind::Data && (l.data.isEmpty() || l.data.size() > 255)))
            std::abort();
    }
    return 0;
}
