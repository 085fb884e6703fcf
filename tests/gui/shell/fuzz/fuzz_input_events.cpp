// Input records from the encoder's device, cut into reads of the sizes the input chooses: the
// decoder must not crash, and must report the same changes however the bytes are split.
#include "gui/shell/InputEventDecoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int chunk = 1 + data[0] % 64;
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    const int length = int(size - 1);

    InputEventDecoder whole;
    const QVector<short> expected = whole.decode(bytes, length);
    InputEventDecoder split;
    QVector<short> changes;
    for (int at = 0; at < length; at += chunk)
        changes += split.decode(bytes + at, qMin(chunk, length - at));
    if (changes != expected || split.position() != whole.position())
        std::abort();
    return 0;
}
