#include "engine/ioc/IocProtocol.h"

#include <algorithm>

namespace ioc {

namespace {

qint64 join64(quint32 low, quint32 high)
{
    return qint64((quint64(high) << 32) | quint64(low));
}

void split64(qint64 value, QVector<quint32> *words, int at)
{
    (*words)[at] = quint32(quint64(value) & 0xFFFFFFFFu);
    (*words)[at + 1] = quint32(quint64(value) >> 32);
}

} // namespace

TRACE_BUFFER TRACE_BUFFER::fromWords(const quint32 *w)
{
    TRACE_BUFFER r;
    r.voltageSum = join64(w[0], w[1]);
    r.currentSum = join64(w[2], w[3]);
    r.capacity = join64(w[4], w[5]);
    r.elapsed = join64(w[6], w[7]);
    r.energy = join64(w[8], w[9]);
    r.flags = w[14];
    r.sampleCount = qint32(w[15]);
    return r;
}

QVector<quint32> TRACE_BUFFER::toWords() const
{
    QVector<quint32> w(Words::TraceRecord, 0);
    split64(voltageSum, &w, 0);
    split64(currentSum, &w, 2);
    split64(capacity, &w, 4);
    split64(elapsed, &w, 6);
    split64(energy, &w, 8);
    w[14] = flags;
    w[15] = quint32(sampleCount);
    return w;
}

IOC_VERSION IOC_VERSION::fromWord(quint32 word)
{
    IOC_VERSION v;
    v.major = quint8(word >> 16);
    v.minor = quint8(word >> 8);
    v.build = quint8(word);
    return v;
}

StatusBlock StatusBlock::fromData(const quint32 *data)
{
    StatusBlock s;
    s.status = data[0];
    s.writtenCount = data[1] & 0xFFFFFF;
    s.cutoff = data[1] >> 24;
    s.nodeAddress = data[2];
    s.loopCount = data[3];
    return s;
}

QVector<quint32> writeUnit(quint32 address, const QVector<quint32> &data)
{
    QVector<quint32> unit;
    unit.reserve(data.size() + 2);
    unit << address << quint32(data.size());
    unit += data;
    return unit;
}

QVector<quint32> readUnit(quint32 address, int count)
{
    QVector<quint32> unit(count + 2, 0);
    unit[0] = address;
    unit[1] = quint32(count);
    return unit;
}

// The lowest bit of the ARB response field (10) and of the soft-start field (15) are also
// derived from the function mode: ARB with response bit 20 needs bit 10, CC with soft-start
// bit 19 needs bit 15.
quint32 combineFunctionMode(quint32 modeWord, quint32 functionMode)
{
    quint32 word = (functionMode & 0x0200840F) | (modeWord & 0xFDFF7BF0);
    if ((word & 0x2100000) == 0x2100000)
        word |= 0x400;
    else if ((word & 0x80001) == 0x80001)
        word |= 0x8000;
    return word;
}

quint32 combineSoftStartTime(quint32 modeWord, quint32 code)
{
    quint32 word = (code & ModeField::SoftStartMask) | (modeWord & ~ModeField::SoftStartMask);
    if ((word & 0x80000) && !(word & ModeField::Arb))
        word |= 0x8000;
    return word;
}

quint32 combineArbResponseTime(quint32 modeWord, quint32 code)
{
    quint32 word = (code & ModeField::ArbResponseMask) | (modeWord & ~ModeField::ArbResponseMask);
    if ((word & 0x2100000) == 0x2100000)
        word |= 0x400;
    return word;
}

TRACE_DATA traceToData(const TRACE_BUFFER &raw, const AcqFactors &factors)
{
    const quint32 f = raw.flags;
    TRACE_DATA d;
    d.voltageRange = (f & Flag::VoltageRange) ? 1 : 0;
    d.currentRange = qint32((f & Flag::CurrentRangeMask) >> 8);

    const bool noSamples = raw.sampleCount <= 0;
    const double samples = double(raw.sampleCount);

    const bool currentOver = noSamples || d.currentRange == 3 || (f & Flag::CurrentOver);
    const bool currentNegBit = f & Flag::CurrentNegative;
    if (currentOver)
        d.current = currentNegBit ? -OverRange : OverRange;
    else
        d.current =
            double(raw.currentSum) * AcqFactors::factor(factors.current, d.currentRange) / samples;

    const bool voltageOver = noSamples || (f & Flag::VoltageOver);
    const bool voltageNegBit = f & Flag::VoltageNegative;
    if (voltageOver)
        d.voltage = voltageNegBit ? -OverRange : OverRange;
    else
        d.voltage =
            double(raw.voltageSum) * AcqFactors::factor(factors.voltage, d.voltageRange) / samples;

    if (!currentOver && !voltageOver) {
        const double p = d.voltage * d.current;
        d.power = p > 0.0 ? p : 0.0;
    } else {
        const bool vNeg = voltageOver ? voltageNegBit : d.voltage < 0.0;
        const bool iNeg = currentOver ? currentNegBit : d.current < 0.0;
        d.power = vNeg == iNeg ? OverRange : 0.0;
    }

    if (f & Flag::CapacityOver)
        d.capacity = OverRange;
    else
        d.capacity = double(raw.capacity) * AcqFactors::factor(factors.capacity, d.currentRange);

    if (!(f & Flag::EnergyValidMask)) {
        d.energy = OverRange;
    } else {
        // Bits 8-10 and 21-23 together: current code + 4 * voltage code when 10, 21, 22 are clear.
        const int key = int(((f >> 8) | (f >> 21)) & 7);
        d.energy = double(raw.energy) * AcqFactors::factor(factors.energy, key);
    }

    d.elapsedTime = double(raw.elapsed) * 1e-6;
    return d;
}

int traceReadCount(quint32 written, quint32 read)
{
    written = std::min<quint32>(written, TraceAreaRecords);
    if (written <= read)
        return 0;
    return int(std::min<quint32>(written - read, MaxTraceRecordsPerRead));
}

quint32 traceReadAddress(quint32 read)
{
    return Address::TraceArea + 64u * read;
}

bool decodeIdentification(const QVector<quint32> &reply, MODELS_INFO *info, CAL_INFO *cal)
{
    if (reply.size() < 2 + Words::Identification || reply[0] != Address::Identification
        || reply[1] != quint32(Words::Identification))
        return false;
    const quint32 *d = reply.constData() + 2;
    info->modelCode = quint16(d[1] >> 16);
    info->versions = { IOC_VERSION::fromWord(d[4]), IOC_VERSION::fromWord(d[5]) };
    cal->year = qint32(d[2]);
    cal->month = quint16(d[3] >> 16);
    cal->day = quint16(d[3]);
    cal->valid = (d[4] >> 24) == 0;
    return true;
}

void decodeUnitBlock(const QVector<quint32> &reply, MODELS_INFO *info)
{
    for (int k = 0; k < UnitCodes; ++k) {
        const int at = 2 + 2 * k + 1;
        if (at >= reply.size())
            return;
        const quint16 code = quint16(reply[at] >> 16);
        if (code == 0)
            return;
        info->unitModelCodes.append(code);
    }
}

} // namespace ioc
