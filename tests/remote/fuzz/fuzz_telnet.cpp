// libFuzzer target: arbitrary bytes, delivered in pieces whose sizes come from the input, go
// through the telnet console's input editing as a session's receive buffer gets them, and the
// edited text through the message splitter.

#include "remote/ZOMessageSplitter.h"
#include "remote/ZOTelnetInput.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr int Capacity = 4096;
    if (size < 1 || size > 16384)
        return 0;
    const unsigned piece = 1 + data[0] % 64;
    ++data;
    --size;

    unsigned char buffer[Capacity];
    int held = 0;
    int edited = 0;
    size_t offset = 0;
    while (offset < size) {
        const int room = Capacity - held;
        const int n = int(std::min<size_t>({ size_t(piece), size - offset, size_t(room) }));
        std::memcpy(buffer + held, data + offset, size_t(n));
        offset += size_t(n);
        const int before = held + n;
        held = zo4882::ZOTelnetInput::edit(buffer, &edited, before);
        if (held > before || edited > held || edited < 0)
            std::abort();
        // A line end hands the edited text to the splitter; what it used leaves the buffer.
        int used = 0;
        if (std::memchr(buffer, '\n', size_t(edited))) {
            zo4882::PARSER_SPLITTED_PACK pack;
            zo4882::ZOMessageSplitter::split(
                reinterpret_cast<char *>(buffer), edited, false, &pack);
            used = int(pack.rest - reinterpret_cast<char *>(buffer));
            if (used < 0 || used > edited)
                std::abort();
        }
        // A full buffer without a message is dropped whole, as the session does.
        if (used == 0 && held == Capacity)
            used = held;
        std::memmove(buffer, buffer + used, size_t(held - used));
        held -= used;
        edited = std::max(0, edited - used);
    }
    return 0;
}
