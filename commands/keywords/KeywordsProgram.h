#pragma once

#include "remote/ZOKeywordBridge.h"

// Keyword enumerations of PROGram and TRANsient: run states and step continuation.
// The index of a keyword is its enumeration value; setup and program files store it.

class KeywordBridge_DefNextEnd : public zostd::ZOKeywordBridge<3>
{
public:
    enum values { DEF, NEXT, END };
    KeywordBridge_DefNextEnd();
};

class KeywordBridge_IdleWtgRun : public zostd::ZOKeywordBridge<6>
{
public:
    enum values { IDLE, WTG, SUSP, RUN, PULS, SINE };
    KeywordBridge_IdleWtgRun();
};
