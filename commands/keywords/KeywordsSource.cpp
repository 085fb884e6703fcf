#include "commands/keywords/KeywordsSource.h"

KeywordBridge_CcCrCvCpArb::KeywordBridge_CcCrCvCpArb()
    : zostd::ZOKeywordBridge<5>(5, "CC", "CR", "CV", "CP", "ARB")
{ }

KeywordBridge_ImmRamp::KeywordBridge_ImmRamp()
    : zostd::ZOKeywordBridge<2>(2, "IMM|IMMEDIATE", "RAMP")
{ }

KeywordBridge_LimitTrip::KeywordBridge_LimitTrip()
    : zostd::ZOKeywordBridge<2>(2, "LIM|LIMIT", "TRIP")
{ }

KeywordBridge_LowHigh::KeywordBridge_LowHigh()
    : zostd::ZOKeywordBridge<2>(2, "LOW", "HIGH")
{ }

KeywordBridge_LowMedHigh::KeywordBridge_LowMedHigh()
    : zostd::ZOKeywordBridge<3>(3, "LOW", "MED|MEDIUM", "HIGH")
{ }

KeywordBridge_NoneOcOpUvWdog::KeywordBridge_NoneOcOpUvWdog()
    : zostd::ZOKeywordBridge<5>(5, "NONE", "OC", "OP", "UV", "WDOG")
{ }

KeywordBridge_NormFast::KeywordBridge_NormFast()
    : zostd::ZOKeywordBridge<2>(2, "NORM|NORMAL", "FAST")
{ }

KeywordBridge_NormWoutBout::KeywordBridge_NormWoutBout()
    : zostd::ZOKeywordBridge<3>(3, "NORM|NORMAL", "WOUT", "BOUT")
{ }

KeywordBridge_PosNeg::KeywordBridge_PosNeg()
    : zostd::ZOKeywordBridge<2>(2, "POS|POSITIVE", "NEG|NEGATIVE")
{ }
