#pragma once

#include "remote/ZOKeywordBridge.h"

// Keyword enumerations of DISPlay: the measurement screen's views.
// The index of a keyword is its enumeration value; setup and program files store it.

class KeywordBridge_NumCharTabl : public zostd::ZOKeywordBridge<3>
{
public:
    enum values { NUM, CHAR, TABL };
    KeywordBridge_NumCharTabl();
};
