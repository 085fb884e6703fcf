#pragma once

#include <string>

namespace zostd {

// Maps the keywords of an SCPI character parameter to their index and back. The index is the
// keyword's position and doubles as the enumeration value the engine uses.
class IKeywordBridge
{
public:
    virtual ~IKeywordBridge() = default;
    virtual int getCount() const = 0;
    // Index of the keyword one of whose aliases equals text, any case; -1 when none does.
    virtual int getMappedValue(const std::string &text) const = 0;
    // The first (short) alias of keyword index; empty when index is out of range.
    virtual std::string getMappedKeyword(int index) const = 0;
};

} // namespace zostd
