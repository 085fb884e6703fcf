#include "commands/keywords/KeywordsData.h"

KeywordBridge_CurrVoltPowEtimCapEner::KeywordBridge_CurrVoltPowEtimCapEner()
    : zostd::ZOKeywordBridge<6>(
        6, "CURR|CURRENT", "VOLT|VOLTAGE", "POW|POWER", "ETIM|ETIME", "CAP|CAPACITY", "ENER|ENERGY")
{ }
