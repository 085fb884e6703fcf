#pragma once

#include "remote/ZOKeywordBridge.h"

// Keyword enumerations of SOURce: function mode, ranges, responses and protections.
// The index of a keyword is its enumeration value; setup and program files store it.

class KeywordBridge_CcCrCvCpArb : public zostd::ZOKeywordBridge<5>
{
public:
    enum values { CC, CR, CV, CP, ARB };
    KeywordBridge_CcCrCvCpArb();
};

class KeywordBridge_ImmRamp : public zostd::ZOKeywordBridge<2>
{
public:
    enum values { IMM, RAMP };
    KeywordBridge_ImmRamp();
};

class KeywordBridge_LimitTrip : public zostd::ZOKeywordBridge<2>
{
public:
    enum values { LIM, TRIP };
    KeywordBridge_LimitTrip();
};

class KeywordBridge_LowHigh : public zostd::ZOKeywordBridge<2>
{
public:
    enum values { LOW, HIGH };
    KeywordBridge_LowHigh();
};

class KeywordBridge_LowMedHigh : public zostd::ZOKeywordBridge<3>
{
public:
    enum values { LOW, MED, HIGH };
    KeywordBridge_LowMedHigh();
};

class KeywordBridge_NoneOcOpUvWdog : public zostd::ZOKeywordBridge<5>
{
public:
    enum values { NONE, OC, OP, UV, WDOG };
    KeywordBridge_NoneOcOpUvWdog();
};

class KeywordBridge_NormFast : public zostd::ZOKeywordBridge<2>
{
public:
    enum values { NORM, FAST };
    KeywordBridge_NormFast();
};

class KeywordBridge_NormWoutBout : public zostd::ZOKeywordBridge<3>
{
public:
    enum values { NORM, WOUT, BOUT };
    KeywordBridge_NormWoutBout();
};

class KeywordBridge_PosNeg : public zostd::ZOKeywordBridge<2>
{
public:
    enum values { POS, NEG };
    KeywordBridge_PosNeg();
};
