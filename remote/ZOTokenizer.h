#pragma once

namespace zo4882 {

// Splits a text at a separator, keeping quoted sections ('...' or "..."), parenthesised
// sections and definite-length block data (#<d><length><bytes>) whole.
// M > 0: every token is copied into M bytes of its own (NUL-terminated, at most M - 1 chars).
// M == 0: tokens are views into the text given to eatit(), which must outlive them.
template <int N, int M> class ZOTokenizer
{
    static_assert(N > 0 && M >= 0, "bad tokenizer size");

public:
    enum Result {
        TooLong = -1, // a token does not fit M - 1 bytes; the tokens before it are kept
        TooMany = 0, // a separator follows the Nth token; the rest is ignored
        Done = 1, // the whole text (or everything up to the stop character) was taken
    };

    void clear() { m_count = 0; }
    int count() const { return m_count; }
    const char *token(int i) const { return m_ptr[i]; }
    int length(int i) const { return m_len[i]; }

    // Fills the tokens from text. Characters 0x01..0x20 at the start of a token are skipped;
    // the stop character outside a section ends the last token and the rest is ignored; the
    // last token loses its trailing characters below '!' unless it holds block data. A text
    // with nothing but blanks gives no token.
    int eatit(const char *text, int length, char separator, char stop)
    {
        clear();
        int i = 0;
        for (;;) {
            while (i < length && text[i] >= 0x01 && text[i] <= 0x20)
                ++i;
            const int start = i;
            bool block = false;
            bool stopped = false;
            while (i < length) {
                const char c = text[i];
                if (c == stop) {
                    stopped = true;
                    break;
                }
                if (c == separator)
                    break;
                i = skipSection(text, length, i, &block);
            }
            int end = i;
            const bool last = stopped || i >= length;
            if (last) {
                if (!block) {
                    while (end > start && static_cast<unsigned char>(text[end - 1]) < '!')
                        --end;
                }
                if (m_count == 0 && end == start)
                    return Done;
            }
            if (!store(text + start, end - start))
                return TooLong;
            if (last)
                return Done;
            if (m_count == N)
                return TooMany;
            ++i;
        }
    }

    // Appends a copy (M > 0 only); false when all N tokens are taken or the text is too long.
    bool append(const char *text, int length)
    {
        static_assert(M > 0, "append needs token storage");
        if (m_count >= N)
            return false;
        return store(text, length);
    }

private:
    // Steps over one character or one whole section starting at i; returns the next index.
    static int skipSection(const char *text, int length, int i, bool *block)
    {
        const char c = text[i];
        if (c == '"' || c == '\'') {
            ++i;
            while (i < length && text[i] != c)
                ++i;
            return i < length ? i + 1 : length;
        }
        if (c == '(') {
            int depth = 0;
            while (i < length) {
                if (text[i] == '(')
                    ++depth;
                else if (text[i] == ')' && --depth == 0)
                    return i + 1;
                ++i;
            }
            return length;
        }
        if (c == '#' && i + 1 < length && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const int digits = text[i + 1] - '0';
            if (i + 2 + digits > length)
                return i + 1;
            long long n = 0;
            for (int k = 0; k < digits; ++k) {
                const char d = text[i + 2 + k];
                if (d < '0' || d > '9')
                    return i + 1;
                n = n * 10 + (d - '0');
            }
            *block = true;
            const long long end = static_cast<long long>(i) + 2 + digits + n;
            return end < length ? static_cast<int>(end) : length;
        }
        return i + 1;
    }

    bool store(const char *text, int length)
    {
        if constexpr (M > 0) {
            if (length > M - 1)
                return false;
            for (int k = 0; k < length; ++k)
                m_store[m_count][k] = text[k];
            m_store[m_count][length] = '\0';
            m_ptr[m_count] = m_store[m_count];
        } else {
            m_ptr[m_count] = text;
        }
        m_len[m_count] = length;
        ++m_count;
        return true;
    }

    int m_count = 0;
    const char *m_ptr[N] = {};
    int m_len[N] = {};
    char m_store[M > 0 ? N : 1][M > 0 ? M : 1] = {};
};

} // namespace zo4882
