#include "commands/keywords/KeywordsDisplay.h"

KeywordBridge_NumCharTabl::KeywordBridge_NumCharTabl()
    : zostd::ZOKeywordBridge<3>(3, "NUM|NUMERIC", "CHAR|CHART", "TABL|TABLE")
{ }
