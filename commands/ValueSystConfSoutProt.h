#pragma once

#include "commands/Value_keyword_multi.h"
#include "commands/keywords/KeywordsSource.h"

// SYSTem:CONFigure:SOUTput:PROTection: the protections that drive the signal output, as a list
// of NONE, OC, OP, UV, WDOG. One list for the whole process, NONE,OC,OP,UV,WDOG at start; the
// handler checks the words, this value stores the list as given. Not saved.
class ValueSystConfSoutProt : public Value_keyword_multi, public KeywordBridge_NoneOcOpUvWdog
{
public:
    static constexpr unsigned Id = 1213;
    ValueSystConfSoutProt();

    int setValue(const QVector<unsigned char> &indexes) override;
    QVector<unsigned char> getValue() const override;
};
