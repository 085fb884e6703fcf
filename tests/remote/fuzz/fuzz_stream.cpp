// libFuzzer target: a session's byte stream as reads of varying sizes into a fixed receive
// buffer, through the input rules every byte-stream transport keeps (ZOStreamInput): messages
// cut as the parser cuts them, overruns and the discard of the refused message.

#include "remote/ZOMessageSplitter.h"
#include "remote/ZOStreamInput.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr int Limit = 256; // small, so that overruns and blocks across buffers are common

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2 || size > 65536)
        return 0;
    // First byte: read sizes; second: the message budget and whether the stream ends with END.
    const int chunk = 1 + data[0] % 97;
    const int budget = 1 + (data[1] & 0x0f);
    const bool endAtLast = (data[1] & 0x10) != 0;
    data += 2;
    size -= 2;

    zo4882::ZOStreamInput input(Limit);
    std::vector<char> buffer(Limit);
    int fill = 0;
    size_t at = 0;
    const zo4882::ZOStreamInput::Poster post =
        [](char *text, int len, bool end, int most, int *posted) {
            zo4882::PARSER_SPLITTED_PACK pack;
            const int n = zo4882::ZOMessageSplitter::split(text, len, end, &pack, most);
            for (int i = 0; i < n; ++i) {
                if (pack.lengths[i] <= 0 || pack.lengths[i] > Limit)
                    __builtin_trap();
            }
            *posted = n;
            return int(pack.rest - text);
        };
    for (int rounds = 0; rounds < 1000000; ++rounds) {
        const int got = int(std::min<size_t>(size_t(std::min(chunk, Limit - fill)), size - at));
        std::memcpy(buffer.data() + fill, data + at, size_t(got));
        fill += got;
        at += size_t(got);
        const bool end = endAtLast && at == size;
        const zo4882::ZOStreamInput::Taken taken =
            input.take(buffer.data(), fill, end, budget, post);
        if (taken.used < 0 || taken.used > fill || taken.posted > budget)
            __builtin_trap();
        std::memmove(buffer.data(), buffer.data() + taken.used, size_t(fill - taken.used));
        fill -= taken.used;
        // A full buffer is either taken in part or holds messages held back by the budget.
        if (fill == Limit && taken.used == 0)
            __builtin_trap();
        if (got == 0 && taken.used == 0)
            break;
    }
    // With an end indication nothing of the stream is left over.
    if (endAtLast && (fill != 0 || input.discarding()) && at == size)
        __builtin_trap();
    return 0;
}
