#pragma once

#include "remote/ZOCommand.h"

#include <QByteArray>
#include <QVector>

// DATA: the measurement-record logger's format and records, in dictionary order.

// DATA:FORMat k{,k}: one to six of CURR, VOLT, POW, ETIM, CAP, ENER, repetitions kept (-224
// for another word, the format unchanged); the query answers the format as "CURR,VOLT".
class IFMAIN_DataForm : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// DATA:R? [n]: removes up to n of the oldest records and answers their items in the data
// format, every value "%+0.5E" and separated by ",". One answer carries at most 3072, 1872,
// 1024, 768, 640 or 512 records for 1 to 6 items, and never more than the room left in the
// message's answer: records that would not fit stay in the logger. -222 for n below 1, -230
// with no record held, -400 when not one record fits (nothing is removed).
class IFMAIN_DataR : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;

    // The most records of `items` values each that one answer carries.
    static int recordLimit(int items);
    // The text of the values: "%+0.5E" each (four decimals where the exponent needs three
    // digits, so that no value takes more than 12 characters), joined by ",".
    static QByteArray formatValues(const QVector<double> &values);
};
