#include "commands/IFMAIN_Mem.h"

#include "commands/NotAvailable.h"

namespace {

constexpr long long FirstPreset = 1; // A
constexpr long long LastPreset = 3; // C

} // namespace

short IFMAIN_MemRec::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    return notAvailableAfterCheck(result, FirstPreset, LastPreset);
}

short IFMAIN_MemSave::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    return notAvailableAfterCheck(result, FirstPreset, LastPreset);
}
