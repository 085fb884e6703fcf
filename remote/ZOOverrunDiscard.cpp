#include "remote/ZOOverrunDiscard.h"

#include <algorithm>

namespace zo4882 {

void ZOOverrunDiscard::begin(const char *data, int len)
{
    m_state = Text;
    if (data && len > 0)
        scan(data, len);
    // The refused bytes cannot end the message: a terminator among them would have cut it.
    if (m_state == Idle)
        m_state = Text;
}

int ZOOverrunDiscard::skip(const char *data, int len, bool endIsMessage)
{
    if (m_state == Idle || !data || len <= 0)
        return 0;
    const int used = scan(data, len);
    if (endIsMessage && used == len)
        m_state = Idle;
    return used;
}

int ZOOverrunDiscard::scan(const char *data, int len)
{
    int i = 0;
    while (i < len) {
        const char c = data[i];
        switch (m_state) {
        case Idle:
            return i;
        case Text:
            ++i;
            if (c == '\n') {
                m_state = Idle;
                return i;
            }
            if (c == '#')
                m_state = Hash;
            break;
        case Hash:
            // "#0" and a '#' without digits are plain text; the byte after it is looked at anew.
            if (c >= '1' && c <= '9') {
                m_digits = c - '0';
                m_count = 0;
                m_state = Digits;
                ++i;
            } else {
                m_state = Text;
            }
            break;
        case Digits:
            if (c < '0' || c > '9') {
                m_state = Text;
                break;
            }
            m_count = m_count * 10 + (c - '0');
            ++i;
            if (--m_digits == 0)
                m_state = m_count > 0 ? Block : Text;
            break;
        case Block: {
            const long long take = std::min<long long>(m_count, len - i);
            i += int(take);
            m_count -= take;
            if (m_count == 0)
                m_state = Text;
            break;
        }
        }
    }
    return len;
}

} // namespace zo4882
