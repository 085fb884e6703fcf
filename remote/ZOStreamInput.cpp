#include "remote/ZOStreamInput.h"

#include <algorithm>

namespace zo4882 {

ZOStreamInput::ZOStreamInput(int limit)
    : m_limit(std::max(limit, 1))
{ }

ZOStreamInput::Taken ZOStreamInput::take(
    char *data, int len, bool endIsMessage, int maxMessages, const Poster &post)
{
    Taken taken;
    if (!data || len <= 0)
        return taken;
    if (m_discard.active()) {
        taken.used = m_discard.skip(data, len, endIsMessage);
        if (m_discard.active())
            return taken;
    }
    if (maxMessages > 0 && taken.used < len && post) {
        taken.used +=
            post(data + taken.used, len - taken.used, endIsMessage, maxMessages, &taken.posted);
    }
    // Control bytes between messages (a lone carriage return, blank lines) are used up too.
    while (taken.used < len && static_cast<unsigned char>(data[taken.used]) < 0x20)
        ++taken.used;
    // Held bytes that reach the limit without a complete message can never complete. Not so
    // when the posting stopped at its bound: complete messages may still wait there.
    const int held = len - taken.used;
    if (held >= m_limit && taken.posted < maxMessages) {
        taken.overrun = true;
        m_discard.begin(data + taken.used, held);
        taken.used = len;
    }
    return taken;
}

} // namespace zo4882
