#pragma once

namespace zo4882 {

struct ZO_SCPI_DICT_ENTRY;

// Finds dictionary rows by the first characters of a header.
class IDictIndex
{
public:
    virtual ~IDictIndex() = default;
    virtual int getNumEntry() const = 0;
    // Row i, or null when i is outside the table.
    virtual const ZO_SCPI_DICT_ENTRY *getDict(int i) const = 0;
    // First and last row whose first-letter set holds the header's first character ('*' or a
    // letter); 0 and 0 for any other character or when no row has it.
    virtual void getRange(const char *header, int *first, int *last) const = 0;
    // 1 when the header's first (and, when the row restricts it, second) character is allowed.
    virtual int checkPossibility(const char *header, int i) const = 0;
};

} // namespace zo4882
