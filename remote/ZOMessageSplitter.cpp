#include "remote/ZOMessageSplitter.h"

#include <algorithm>

namespace zo4882 {

namespace {

// Length of the block starting at buffer[i] ('#' and a digit 1..9), 0 when the text there is
// no block header, -1 when the block is not complete within length.
long long blockLength(const char *buffer, int length, int i)
{
    if (i + 1 >= length || buffer[i + 1] < '1' || buffer[i + 1] > '9')
        return 0;
    const int digits = buffer[i + 1] - '0';
    if (i + 2 + digits > length)
        return -1;
    long long n = 0;
    for (int k = 0; k < digits; ++k) {
        const char c = buffer[i + 2 + k];
        if (c < '0' || c > '9')
            return 0;
        n = n * 10 + (c - '0');
    }
    const long long total = 2 + digits + n;
    return i + total <= length ? total : -1;
}

} // namespace

int ZOMessageSplitter::split(
    char *buffer, int length, bool endIsMessage, PARSER_SPLITTED_PACK *out, int maxMessages)
{
    const int most = std::clamp(maxMessages, 1, int(PARSER_SPLITTED_PACK::MAX_MESSAGES));
    int count = 0;
    int i = 0;
    if (!buffer || length < 0)
        length = 0;
    while (i < length && static_cast<unsigned char>(buffer[i]) < 0x20)
        ++i;
    int start = i;
    while (i < length && count < most) {
        const char c = buffer[i];
        if (c == '#') {
            const long long block = blockLength(buffer, length, i);
            if (block < 0)
                break;
            if (block > 0) {
                i += int(block);
                continue;
            }
        } else if (c == TERMINATOR) {
            buffer[i] = '\0';
            if (i > start) {
                out->messages[count] = buffer + start;
                out->lengths[count] = i - start;
                ++count;
            }
            start = i + 1;
        }
        ++i;
    }
    out->rest = buffer + start;
    out->restLength = length - start;
    // With an end indication the message is complete even when a block in it is not.
    if (endIsMessage && out->restLength > 0 && count < most) {
        out->messages[count] = out->rest;
        out->lengths[count] = out->restLength;
        ++count;
        out->rest = buffer + length;
        out->restLength = 0;
    }
    return count;
}

} // namespace zo4882
