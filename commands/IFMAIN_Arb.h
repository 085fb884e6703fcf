#pragma once

#include "remote/ZOCommand.h"

#include <QByteArray>
#include <QList>

namespace vek {
struct ARBITRARY_DATA;
}

// ARBitrary: the arbitrary I-V table, in dictionary order. The table is the engine's
// arbitrary-table model; its checks give the errors (121 to 126, -222). Without the model every
// command answers -200.

// ARBitrary:APPLy: sends the table to the controller (when it changed since the last transfer).
class IFMAIN_ArbAppl : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};

// ARBitrary:CLEar: back to the three-point table.
class IFMAIN_ArbCle : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};

// ARBitrary:COUNt n: the number of points, 3 to 100 (-222); the query answers it.
class IFMAIN_ArbCoun : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// ARBitrary:DATA block: the whole table as 8 bytes a point, the voltage in microvolts then the current
// in microamperes, each a signed 32-bit little-endian integer (trailing bytes short of a point are
// ignored). The query answers the table in the same form, rounded half away from zero.
class IFMAIN_ArbData : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;

    static QList<vek::ARBITRARY_DATA> decode(const QByteArray &block);
    static QByteArray encode(const QList<vek::ARBITRARY_DATA> &points);
};

// ARBitrary:MAP i,v,c: point i (1-based; point 1 is fixed); ARBitrary:MAP? i answers v and c.
class IFMAIN_ArbMap : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// ARBitrary:MAP:LIST?: every point's voltage and current, all joined by ",".
class IFMAIN_ArbMapList : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};
