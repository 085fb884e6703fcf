#pragma once

#include "remote/IDictIndex.h"
#include "remote/ZO_SCPI_DICT_ENTRY.h"

#include <QRegularExpression>
#include <QString>

#include <cstring>
#include <memory>

namespace zo4882 {

// Index over a table of N dictionary rows (unused rows are all zero). Building it compiles
// every row's pattern into the row and records, per row, a mask of its first characters
// ('*' bit 0, A..Z bits 1..26) and, per first character, the first and last row that has it.
// The index owns the compiled patterns and takes them out of the rows again when destroyed;
// one index per table at a time.
template <int N> class ZODictIndex : public IDictIndex
{
public:
    explicit ZODictIndex(ZO_SCPI_DICT_ENTRY *table)
        : m_table(table)
    {
        for (int i = 0; i < N; ++i) {
            ZO_SCPI_DICT_ENTRY &row = m_table[i];
            row.regex = nullptr;
            if (row.pattern) {
                auto re = std::make_unique<QRegularExpression>(
                    QRegularExpression::anchoredPattern(QString::fromLatin1(row.pattern)),
                    QRegularExpression::CaseInsensitiveOption);
                if (re->isValid()) {
                    re->optimize();
                    m_regex[i] = std::move(re);
                    row.regex = m_regex[i].get();
                }
            }
            m_mask[i] = 0;
            for (const char *p = row.firstLetters; p && *p; ++p) {
                const int slot = letterSlot(*p);
                if (slot >= 0)
                    m_mask[i] |= 1u << slot;
            }
        }
        for (int c = 0; c < 27; ++c) {
            m_range[c][0] = m_range[c][1] = 0;
            bool seen = false;
            for (int i = 0; i < N; ++i) {
                if (m_mask[i] & (1u << c)) {
                    if (!seen)
                        m_range[c][0] = static_cast<short>(i);
                    m_range[c][1] = static_cast<short>(i);
                    seen = true;
                }
            }
        }
    }

    ~ZODictIndex() override
    {
        for (int i = 0; i < N; ++i) {
            if (m_table[i].regex == m_regex[i].get())
                m_table[i].regex = nullptr;
        }
    }

    ZODictIndex(const ZODictIndex &) = delete;
    ZODictIndex &operator=(const ZODictIndex &) = delete;

    int getNumEntry() const override { return N; }

    const ZO_SCPI_DICT_ENTRY *getDict(int i) const override
    {
        return (i >= 0 && i < N) ? &m_table[i] : nullptr;
    }

    void getRange(const char *header, int *first, int *last) const override
    {
        const int slot = header ? letterSlot(header[0]) : -1;
        *first = slot >= 0 ? m_range[slot][0] : 0;
        *last = slot >= 0 ? m_range[slot][1] : 0;
    }

    int checkPossibility(const char *header, int i) const override
    {
        if (!header || i < 0 || i >= N || header[0] == '\0')
            return 0;
        const ZO_SCPI_DICT_ENTRY &row = m_table[i];
        if (!row.firstLetters || !std::strchr(row.firstLetters, upper(header[0])))
            return 0;
        if (row.secondLetters) {
            if (header[1] == '\0' || !std::strchr(row.secondLetters, upper(header[1])))
                return 0;
        }
        return 1;
    }

    // The first-character mask of row i (for tests and diagnostics).
    unsigned mask(int i) const { return m_mask[i]; }

private:
    static char upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

    static int letterSlot(char c)
    {
        c = upper(c);
        if (c == '*')
            return 0;
        if (c >= 'A' && c <= 'Z')
            return c - 'A' + 1;
        return -1;
    }

    ZO_SCPI_DICT_ENTRY *m_table;
    unsigned m_mask[N];
    short m_range[27][2];
    std::unique_ptr<QRegularExpression> m_regex[N];
};

} // namespace zo4882
