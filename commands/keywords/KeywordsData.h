#pragma once

#include "remote/ZOKeywordBridge.h"

// Keyword enumerations of FORMat and DATA: the record logger's column codes.
// The index of a keyword is its enumeration value; setup and program files store it.

class KeywordBridge_CurrVoltPowEtimCapEner : public zostd::ZOKeywordBridge<6>
{
public:
    enum values { CURR, VOLT, POW, ETIM, CAP, ENER };
    KeywordBridge_CurrVoltPowEtimCapEner();
};
