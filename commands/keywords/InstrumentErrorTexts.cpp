#include "commands/keywords/InstrumentErrorTexts.h"

namespace {

struct DescPair
{
    short code;
    const char *text;
};

const DescPair s_desc_pairs[] = {
    { 101, "Setting conflicts due to PROTection state" },
    { 102, "Setting conflicts while INPut is ON" },
    { 103, "Setting conflicts while INPUt:SHORt is ON" },
    { 104, "Setting conflicts while PROGram is running" },
    { 105, "Setting conflicts while PULSe is running" },
    { 106, "Setting conflicts due to invalid FUNCtion:MODE" },
    { 107, "Setting conflicts while CVOPtion is OFF" },
    { 108, "Wrong password given" },
    { 109, "Illegal password format" },
    { 110, "Mutual-sync is not established" },
    { 111, "Setting conflicts while EXTernal:FCONtrol is ON" },
    { 112, "Setting conflicts while MEASure is in progress" },
    { 113, "Setting conflicts while SINE is running" },
    { 121, "ARBitrary map index out of range" },
    { 122, "ARBitrary map voltage out of range" },
    { 123, "ARBitrary map current out of range" },
    { 124, "ARBitrary map data conflict" },
    { 125, "Too less ARBitrary map data" },
    { 126, "Too many ARBitrary map data" },
    { 201, "Illegal buffers size due to not in 2^N" },
    { 202, "Same items is specified more than once" },
    { 203, "NONE is invalid in multiple item settings" },
    { 204, "IMMediate is invalid in multiple item settings" },
    { 205, "BUS is invalid in multiple item settings" },
    { 301, "Illegal PROGram name" },
    { 302, "PROGram name already exists" },
    { 303, "PROGram not found" },
    { 304, "PROGram not selected" },
    { 305, "Selected PROGram cannot be deleted" },
    { 306, "Recursive PROGram specified" },
    { 307, "STEP number out of range" },
    { 308, "Execution error due to non-existing PROGram specified" },
    { 309, "Execution error due to value range conflict" },
    { 310, "TRANsient not operating" },
    { 311, "TRANsient not suspending" },
    { 312, "Invalid while SUBProgram is being specified" },
    { 313, "PROGram cannot be created during selection" },
};

} // namespace

const char *InstrumentErrorTexts::text(short code)
{
    for (const DescPair &pair : s_desc_pairs) {
        if (pair.code == code)
            return pair.text;
    }
    return nullptr;
}

int InstrumentErrorTexts::count()
{
    return int(sizeof s_desc_pairs / sizeof s_desc_pairs[0]);
}
