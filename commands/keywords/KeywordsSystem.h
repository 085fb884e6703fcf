#pragma once

#include "remote/ZOKeywordBridge.h"

// Keyword enumerations of SYSTem: power-on setting, remote state and the digital port.
// The index of a keyword is its enumeration value; setup and program files store it.

class KeywordBridge_InpOutp : public zostd::ZOKeywordBridge<2>
{
public:
    enum values { INP, OUTP };
    KeywordBridge_InpOutp();
};

class KeywordBridge_LocRemRwl : public zostd::ZOKeywordBridge<3>
{
public:
    enum values { LOC, REM, RWL };
    KeywordBridge_LocRemRwl();
};

class KeywordBridge_NoneLoadonProgran : public zostd::ZOKeywordBridge<3>
{
public:
    enum values { NONE, LOAD_ON, PROG_RUN };
    KeywordBridge_NoneLoadonProgran();
};

class KeywordBridge_RstRcl0Auto : public zostd::ZOKeywordBridge<3>
{
public:
    enum values { RST, RCL0, AUTO };
    KeywordBridge_RstRcl0Auto();
};
