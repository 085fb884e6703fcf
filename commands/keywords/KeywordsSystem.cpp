#include "commands/keywords/KeywordsSystem.h"

KeywordBridge_InpOutp::KeywordBridge_InpOutp()
    : zostd::ZOKeywordBridge<2>(2, "INP|INPUT", "OUTP|OUTPUT")
{ }

KeywordBridge_LocRemRwl::KeywordBridge_LocRemRwl()
    : zostd::ZOKeywordBridge<3>(3, "LOC|LOCAL", "REM|REMOTE", "RWL|RWLOCK")
{ }

KeywordBridge_NoneLoadonProgran::KeywordBridge_NoneLoadonProgran()
    : zostd::ZOKeywordBridge<3>(3, "NONE", "LOAD_ON", "PROG_RUN")
{ }

KeywordBridge_RstRcl0Auto::KeywordBridge_RstRcl0Auto()
    : zostd::ZOKeywordBridge<3>(3, "RST", "RCL0", "AUTO")
{ }
