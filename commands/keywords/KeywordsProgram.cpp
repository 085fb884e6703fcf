#include "commands/keywords/KeywordsProgram.h"

KeywordBridge_DefNextEnd::KeywordBridge_DefNextEnd()
    : zostd::ZOKeywordBridge<3>(3, "DEF|DEFAULT", "NEXT", "END")
{ }

KeywordBridge_IdleWtgRun::KeywordBridge_IdleWtgRun()
    : zostd::ZOKeywordBridge<6>(6, "IDLE", "WTG", "SUSP", "RUN", "PULS", "SINE")
{ }
