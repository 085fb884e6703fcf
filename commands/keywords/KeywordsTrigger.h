#pragma once

#include "remote/ZOKeywordBridge.h"

// Keyword enumerations of TRIGger: trigger sources of acquisition and program steps.
// The index of a keyword is its enumeration value; setup and program files store it.

class KeywordBridge_ImmBusAndMore : public zostd::ZOKeywordBridge<11>
{
public:
    enum values {
        IMM,
        BUS,
        TRIGIN,
        TRIGOUT,
        DIGITAL0,
        DIGITAL1,
        DIGITAL2,
        TAL,
        MSYN,
        LOADOFF,
        CUTOFF
    };
    KeywordBridge_ImmBusAndMore();
};
