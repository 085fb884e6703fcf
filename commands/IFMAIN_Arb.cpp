#include "commands/IFMAIN_Arb.h"

#include "commands/ValueObjects.h"
#include "engine/ArbitraryModel.h"
#include "remote/ZOCmdArg.h"

#include <QtEndian>

#include <cmath>
#include <functional>

namespace {

using vek::ARBITRARY_DATA;
using vek::ArbitraryModel;
using vek::SCPIERR_T;
using zo4882::ZO_PARSER_RESULT;
using zo4882::ZOCmdArg;

constexpr int PointBytes = 8;

short run(const ZO_PARSER_RESULT *result, const std::function<short(ArbitraryModel *)> &work)
{
    ArbitraryModel *model = valueEngine().arbitrary;
    if (!model)
        return zo4882::notAvailable(result);
    return work(model);
}

// The n-th argument as a number, 0 when missing.
double argument(const ZO_PARSER_RESULT *result, int n)
{
    const ZOCmdArg *arg = result->args;
    for (int i = 0; arg && i < n; ++i)
        arg = arg->next();
    return arg ? double(*arg) : 0.0;
}

// x * 1e6 to the nearest integer, halves away from zero, within the signed 32-bit range.
qint32 micro(double x)
{
    const double scaled = std::round(x * 1e6);
    if (!(scaled > -2147483648.0))
        return std::numeric_limits<qint32>::min();
    if (scaled > 2147483647.0)
        return std::numeric_limits<qint32>::max();
    return qint32(scaled);
}

} // namespace

short IFMAIN_ArbAppl::OnSet(const ZO_PARSER_RESULT *result) const
{
    return run(result, [](ArbitraryModel *m) {
        return short(m->transmit(vek::UpdateIfChanged));
    });
}

short IFMAIN_ArbCle::OnSet(const ZO_PARSER_RESULT *result) const
{
    return run(result, [](ArbitraryModel *m) {
        return short(m->clear());
    });
}

short IFMAIN_ArbCoun::OnSet(const ZO_PARSER_RESULT *result) const
{
    const double n = std::round(argument(result, 0));
    return run(result, [n](ArbitraryModel *m) {
        if (!(n >= ArbitraryModel::MinPoints && n <= ArbitraryModel::MaxPoints))
            return short(-222);
        return short(m->setCount(int(n)));
    });
}

short IFMAIN_ArbCoun::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return run(result, [answer](ArbitraryModel *m) {
        *answer = new ZOCmdArg(m->getCount(), ZOCmdArg::KIND_INT);
        return short(0);
    });
}

QList<ARBITRARY_DATA> IFMAIN_ArbData::decode(const QByteArray &block)
{
    QList<ARBITRARY_DATA> points;
    const auto *bytes = reinterpret_cast<const uchar *>(block.constData());
    for (int at = 0; at + PointBytes <= block.size(); at += PointBytes) {
        ARBITRARY_DATA p;
        p.voltage = qFromLittleEndian<qint32>(bytes + at) * 1e-6;
        p.current = qFromLittleEndian<qint32>(bytes + at + 4) * 1e-6;
        points << p;
    }
    return points;
}

QByteArray IFMAIN_ArbData::encode(const QList<ARBITRARY_DATA> &points)
{
    QByteArray block(points.size() * PointBytes, '\0');
    auto *bytes = reinterpret_cast<uchar *>(block.data());
    for (const ARBITRARY_DATA &p : points) {
        qToLittleEndian<qint32>(micro(p.voltage), bytes);
        qToLittleEndian<qint32>(micro(p.current), bytes + 4);
        bytes += PointBytes;
    }
    return block;
}

short IFMAIN_ArbData::OnSet(const ZO_PARSER_RESULT *result) const
{
    const QByteArray block = result->args ? result->args->text() : QByteArray();
    return run(result, [&block](ArbitraryModel *m) {
        QList<ARBITRARY_DATA> points = decode(block);
        return short(m->setTable(points));
    });
}

short IFMAIN_ArbData::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return run(result, [answer](ArbitraryModel *m) {
        const QByteArray block = encode(m->getData());
        *answer = new ZOCmdArg(block.constData(), block.size(), ZOCmdArg::KIND_BLOCK_ANSWER);
        return short(0);
    });
}

short IFMAIN_ArbMap::OnSet(const ZO_PARSER_RESULT *result) const
{
    const double index = std::round(argument(result, 0));
    ARBITRARY_DATA point;
    point.voltage = argument(result, 1);
    point.current = argument(result, 2);
    return run(result, [index, &point](ArbitraryModel *m) {
        // An index beyond any table is out of range like one beyond this table.
        const int n = (index >= 0 && index <= ArbitraryModel::MaxPoints + 1) ? int(index) : -1;
        return short(m->setTablePoint(n, point));
    });
}

short IFMAIN_ArbMap::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    const double index = std::round(argument(result, 0));
    return run(result, [index, answer](ArbitraryModel *m) {
        ARBITRARY_DATA point;
        const int n = (index >= 1 && index <= ArbitraryModel::MaxPoints) ? int(index) : -1;
        if (const SCPIERR_T e = m->getTablePoint(n, &point))
            return short(e);
        *answer = ZOCmdArg::linkChains(2,
            new ZOCmdArg(point.voltage, ZOCmdArg::KIND_REAL),
            new ZOCmdArg(point.current, ZOCmdArg::KIND_REAL));
        return short(0);
    });
}

short IFMAIN_ArbMapList::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return run(result, [answer](ArbitraryModel *m) {
        QByteArray text;
        for (const ARBITRARY_DATA &p : m->getData()) {
            if (!text.isEmpty())
                text += ',';
            text += ZOCmdArg::formatReal(p.voltage) + ',' + ZOCmdArg::formatReal(p.current);
        }
        *answer = new ZOCmdArg(text.constData(), ZOCmdArg::KIND_CHAR);
        return short(0);
    });
}
