#pragma once

#include "remote/IKeywordBridge.h"

#include <cctype>
#include <cstddef>

namespace zostd {

// A keyword bridge over N alias lists such as "MED|MEDIUM" (the first alias answers queries).
// The texts are not owned: pass string literals.
template <int N> class ZOKeywordBridge : public IKeywordBridge
{
public:
    // count alias lists follow; slots from count on stay null. A count beyond the lists given
    // is cut to their number.
    template <typename... Lists>
    explicit ZOKeywordBridge(int count, Lists... lists)
        : m_keywords { lists... }
        , m_count(count < 0 ? 0 : (count > int(sizeof...(Lists)) ? int(sizeof...(Lists)) : count))
    {
        static_assert(sizeof...(Lists) <= std::size_t(N), "more alias lists than slots");
        for (int i = m_count; i < N; ++i)
            m_keywords[i] = nullptr;
    }

    int getCount() const override { return m_count; }

    int getMappedValue(const std::string &text) const override
    {
        for (int i = 0; i < N && m_keywords[i]; ++i) {
            const char *alias = m_keywords[i];
            while (const char *end = nextAlias(alias)) {
                if (equalsNoCase(alias, end, text))
                    return i;
                alias = *end ? end + 1 : end;
            }
        }
        return -1;
    }

    std::string getMappedKeyword(int index) const override
    {
        if (index < 0 || index >= m_count || !m_keywords[index])
            return std::string();
        const char *alias = m_keywords[index];
        const char *end = nextAlias(alias);
        return end ? std::string(alias, end) : std::string();
    }

private:
    // Moves `alias` past separators, blanks and control characters to the next alias and
    // returns where that alias ends ('|' or the terminator); null when no alias is left.
    static const char *nextAlias(const char *&alias)
    {
        while (*alias && (static_cast<unsigned char>(*alias) <= ' ' || *alias == '|'))
            ++alias;
        if (!*alias)
            return nullptr;
        const char *end = alias;
        while (*end && *end != '|')
            ++end;
        return end;
    }
    static bool equalsNoCase(const char *begin, const char *end, const std::string &text)
    {
        if (std::size_t(end - begin) != text.size())
            return false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(begin[i]))
                != std::tolower(static_cast<unsigned char>(text[i])))
                return false;
        }
        return true;
    }

    const char *m_keywords[N];
    int m_count;
};

} // namespace zostd
