#include "commands/keywords/KeywordsTrigger.h"

KeywordBridge_ImmBusAndMore::KeywordBridge_ImmBusAndMore()
    : zostd::ZOKeywordBridge<11>(11,
        "IMM|IMMEDIATE",
        "BUS",
        "TRIGIN",
        "TRIGOUT",
        "DIGITAL0",
        "DIGITAL1",
        "DIGITAL2",
        "TAL|TALINK",
        "MSYN|MSYNC",
        "LOADOFF",
        "CUTOFF")
{ }
