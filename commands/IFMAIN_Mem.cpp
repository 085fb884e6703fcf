#include "commands/IFMAIN_Mem.h"

#include "engine/AbcMemory.h"
#include "engine/ELoad.h"
#include "remote/ZOCmdArgRange.h"

namespace {

constexpr long long FirstPreset = 1; // A
constexpr long long LastPreset = 3; // C

// The preset's index 0 to 2 and the engine root; -109 or -222 from the argument's check.
short presetOf(const zo4882::ZO_PARSER_RESULT *result, int *index, vek::ELoad **root)
{
    long long n = 0;
    if (const short e = zo4882::zoRoundedArg(result->args, FirstPreset, LastPreset, &n))
        return e;
    *index = int(n - FirstPreset);
    *root = vek::ELoad::s_pSelf;
    return *root ? 0 : zo4882::notAvailable(result);
}

} // namespace

short IFMAIN_MemRec::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    int index = 0;
    vek::ELoad *root = nullptr;
    if (const short e = presetOf(result, &index, &root); e != 0 || !root)
        return e;
    return root->presets()->recall(index, *root->basic());
}

short IFMAIN_MemSave::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    int index = 0;
    vek::ELoad *root = nullptr;
    if (const short e = presetOf(result, &index, &root); e != 0 || !root)
        return e;
    return root->presets()->store(index, *root->basic());
}
