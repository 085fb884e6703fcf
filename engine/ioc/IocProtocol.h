#pragma once

#include <QMap>
#include <QMetaType>
#include <QVector>
#include <QtGlobal>

// The register protocol of the I/O controller: a unit is [address, word count N, N data words]
// of 32-bit words; one SPI message carries one or more units back to back. A read unit has
// address bit 31 set and N filler words; the reply echoes address and count in words 0 and 1
// and carries the data in words 2 .. N+1. Addresses count bytes.
namespace ioc {

// Controller address map.
namespace Address {
constexpr quint32 ReadBit = 0x80000000;
constexpr quint32 StepData = 0x00000000; // + 64 * slot, 16 words (slot 0 .. 19,999)
constexpr quint32 StepNode = 0x00400000; // + 32 * slot, 8 words
constexpr quint32 ArbBlock = 0x30000000; // + 128 * k, 32 words: table entries 32k .. 32k+31
constexpr quint32 ProgramGroup = 0x50000000; // 2 words
constexpr quint32 CommandRegister = 0x50000004; // 1 word, one-shot
constexpr quint32 TriggerGroup = 0x50000008; // 6 words
constexpr quint32 SineGroup = 0x50000020; // 2 words
constexpr quint32 CutoffGroup = 0x50000040; // 8 words
constexpr quint32 ModeWord = 0x60000000;
constexpr quint32 CalCommand = 0x60000008; // one-shot
constexpr quint32 AlarmCommand = 0x6000000C; // one-shot
constexpr quint32 CalWrite = 0x70000000; // + register offset (multiple of 4)
constexpr quint32 CalRead = 0xF0000000; // + register offset
constexpr quint32 Identification = 0xF0000500; // 6 words
constexpr quint32 UnitBlock = 0xF0000600; // 30 words
constexpr quint32 StatusBlock = 0xE0000000; // 4 words
constexpr quint32 TraceArea = 0x80800000; // + 64 * record index, 16 words per record
constexpr quint32 MonitorRecord = 0x80C00000; // 16 words
} // namespace Address

// Data word counts of the units above.
namespace Words {
constexpr int StepData = 16;
constexpr int StepNode = 8;
constexpr int ArbBlock = 32;
constexpr int ProgramGroup = 2;
constexpr int TriggerGroup = 6;
constexpr int SineGroup = 2;
constexpr int CutoffGroup = 8;
constexpr int StatusBlock = 4;
constexpr int Identification = 6;
constexpr int UnitBlock = 30;
constexpr int TraceRecord = 16;
} // namespace Words

// One trace read carries at most 62 records (8 + 62 * 64 bytes in one buffer); the trace area
// holds as many records as the largest acquisition count.
constexpr int MaxTraceRecordsPerRead = 62;
constexpr int TraceAreaRecords = 65536;
constexpr int UnitCodes = 15;

// Initial register values.
namespace Initial {
constexpr quint32 ModeWord = 0x01000001; // CC, bit 24 always set
constexpr quint32 TriggerWord = 0x101; // transient and acquisition trigger immediate
constexpr quint32 AcqTriggerCount = 1;
constexpr quint32 AcqTriggerTimer = 12500;
constexpr quint32 SenseAperture = 12500;
constexpr quint32 Status = 0x10; // "not a parallel slave"
} // namespace Initial

// Mode word fields (0x60000000).
namespace ModeField {
constexpr quint32 FunctionMask = 0xF;
constexpr quint32 RefExternal = 0x10;
constexpr quint32 CvExternal = 0x20;
constexpr quint32 AddExternal = 0x40;
constexpr quint32 RemoteSense = 0x80;
constexpr quint32 CurrentRangeMask = 0x300;
constexpr quint32 ArbResponseMask = 0x103C00; // bits 10-13 and 20
constexpr quint32 ExtIoOutput = 0x4000;
constexpr quint32 SoftStartMask = 0xF8000; // bits 15-19
constexpr quint32 CvFastResponse = 0x200000;
constexpr quint32 CrFastResponse = 0x400000;
constexpr quint32 VoltageRangeLow = 0x800000;
constexpr quint32 Fixed = 0x1000000;
constexpr quint32 Arb = 0x2000000;
} // namespace ModeField

// Trigger word fields (trigger group word 0).
namespace Trigger {
constexpr quint32 TransientSourceMask = 0xA3;
constexpr quint32 AcquireSourceMask = 0xE700;
constexpr quint32 AcqTimerOn = 0x800;
constexpr quint32 MSyncPriority = 0x10000;
constexpr quint32 TransientMSync = 0x100000;
constexpr quint32 AcquireMSync = 0x200000;
constexpr quint32 OutputMSync = 0x400000;
constexpr quint32 MSyncCommand = 0x800000;
constexpr quint32 IntegralAutoReset = 0x4000000;
constexpr quint32 IntegralGateMask = 0x50000000;
} // namespace Trigger

// Cut-off state word (cut-off group word 0) and cut-off byte (status block word 1, bits 24-31).
namespace Cutoff {
constexpr quint32 VoltageOn = 0x10000000;
constexpr quint32 ElapsedTimeOn = 0x20000000;
constexpr quint32 CapacityOn = 0x40000000;
constexpr quint32 EnergyOn = 0x80000000;
constexpr quint32 VoltageOccurred = 0x10;
constexpr quint32 ElapsedTimeOccurred = 0x20;
constexpr quint32 CapacityOccurred = 0x40;
constexpr quint32 EnergyOccurred = 0x80;
} // namespace Cutoff

// One-shot command words.
namespace Command {
constexpr quint32 ProgramMask = 0x1000FF; // what the controller receives of a program command
constexpr quint32 BusTrigger = 0x10000;
constexpr quint32 IntegralMask = 0x7000000;
constexpr quint32 AcquireMask = 0x18300;
constexpr quint32 AcqInitiate = 0x100;
constexpr quint32 AcqAbort = 0x200;
constexpr quint32 CalCopy = 0x40000000;
constexpr quint32 CalStore = 0x80000000;
constexpr quint32 AlarmLatchCutoff = 0x1;
constexpr quint32 AlarmReleaseLatch = 0x2;
constexpr quint32 AlarmClearCutoff = 0x4;
constexpr quint32 AlarmWatchdog = 0x10000000;
constexpr quint32 AlarmClear = 0x20000000;
} // namespace Command

// Status word bits (status block word 0).
namespace Status {
constexpr quint32 CC = 0x1;
constexpr quint32 CR = 0x2;
constexpr quint32 CV = 0x4;
constexpr quint32 CP = 0x8;
constexpr quint32 NotSlave = 0x10;
constexpr quint32 AlarmCodeMask = 0xE0;
constexpr quint32 AlarmAcFail = 0x20;
constexpr quint32 AlarmSlaveOverTemp = 0x40;
constexpr quint32 AlarmParallelComm = 0x60;
constexpr quint32 AlarmParallelFront = 0x80;
constexpr quint32 AlarmMasterLost = 0xA0;
constexpr quint32 AlarmOther = 0xC0;
constexpr quint32 ExtRangeMask = 0x300; // 0x100 Low, 0x200 Medium, other High
constexpr quint32 AlarmClearBlocked = 0x400; // meaningful together with Protection
constexpr quint32 OverCurrent = 0x1000;
constexpr quint32 OverPower = 0x2000;
constexpr quint32 UnderVoltage = 0x4000;
constexpr quint32 Watchdog = 0x8000;
constexpr quint32 OverVoltage = 0x10000;
constexpr quint32 Reverse = 0x20000;
constexpr quint32 OverTemp = 0x40000;
constexpr quint32 ExternalAlarm = 0x80000;
constexpr quint32 FrontAlarm = 0x100000;
constexpr quint32 LoadOn = 0x200000;
constexpr quint32 Protection = 0x400000;
constexpr quint32 ExtLoadOnInput = 0x800000;
constexpr quint32 SlaveDetected = 0x2000000;
constexpr quint32 MSyncLinked = 0x4000000;
constexpr quint32 OperationBit10 = 0x8000000;
constexpr quint32 AcqWaitTrigger = 0x20000000;
constexpr quint32 TransientRunning = 0x40000000;
constexpr quint32 TransientWaitTrigger = 0x80000000;
constexpr quint32 ProtectionMask = 0x5FF0E0;
} // namespace Status

// Trace record flag word (TRACE_BUFFER word 14).
namespace Flag {
constexpr quint32 EnergyValidMask = 0x7; // all clear: energy over-range
constexpr quint32 CapacityOver = 0x8;
constexpr quint32 VoltageOver = 0x10;
constexpr quint32 CurrentOver = 0x40;
constexpr quint32 CurrentRangeMask = 0x300; // code 3: over-range
constexpr quint32 VoltageNegative = 0x1000;
constexpr quint32 CurrentNegative = 0x4000;
constexpr quint32 VoltageRange = 0x800000;
} // namespace Flag

// The value of an over-range quantity.
constexpr double OverRange = 9.9e37;

// One raw measurement record as the controller keeps it (16 words): sums over SampleCount
// samples, counters since the integral start, 64-bit values low word first.
struct TRACE_BUFFER
{
    qint64 voltageSum = 0;
    qint64 currentSum = 0;
    qint64 capacity = 0; // controller counts
    qint64 elapsed = 0; // microseconds
    qint64 energy = 0; // controller counts
    quint32 flags = 0;
    qint32 sampleCount = 0;

    // words points at Words::TraceRecord words.
    static TRACE_BUFFER fromWords(const quint32 *words);
    QVector<quint32> toWords() const;
};

// One measurement record; an over-range quantity is +/-OverRange. Range codes are the
// controller's: voltage High 0, Low 1; current High 0, Low 1, Medium 2, 3 over-range.
struct TRACE_DATA
{
    double voltage = 0.0; // V
    double current = 0.0; // A
    double power = 0.0; // W
    double elapsedTime = 0.0; // s
    double capacity = 0.0; // Ah
    double energy = 0.0; // Wh
    qint32 voltageRange = 0;
    qint32 currentRange = 0;
};

// Register value -> physical value, per controller range code, as the model information keeps
// them; handed down at start-up. A missing key converts with 1.0.
struct AcqFactors
{
    QMap<int, double> current; // key: current range code
    QMap<int, double> voltage; // key: voltage range code
    QMap<int, double> capacity; // key: current range code
    QMap<int, double> energy; // key: current code + 4 * voltage code (see traceToData)

    static double factor(const QMap<int, double> &map, int key) { return map.value(key, 1.0); }
};

// A version as major.minor.build.
struct IOC_VERSION
{
    quint8 major = 0;
    quint8 minor = 0;
    quint8 build = 0;
    quint8 reserved = 0;

    static IOC_VERSION fromWord(quint32 word);
    bool operator==(const IOC_VERSION &o) const
    {
        return major == o.major && minor == o.minor && build == o.build;
    }
};

// The controller's identification; the defaults stand when the identification block is invalid.
struct MODELS_INFO
{
    quint16 modelCode = 1205;
    QVector<quint16> unitModelCodes;
    QVector<IOC_VERSION> versions; // controller firmware first, FPGA second; empty when invalid
};

// Calibration date and validity as the controller reports them.
struct CAL_INFO
{
    qint32 year = 2007;
    quint16 month = 7;
    quint16 day = 11;
    bool valid = false;
};

// Decoded status block (4 data words).
struct StatusBlock
{
    quint32 status = 0;
    quint32 writtenCount = 0; // trace records written since the last acquisition initiate
    quint32 cutoff = 0; // cut-off byte
    quint32 nodeAddress = 0; // step node being executed
    quint32 loopCount = 0;

    // data points at Words::StatusBlock data words.
    static StatusBlock fromData(const quint32 *data);
};

// Units: a write [address, N, data...] and a read [address, N, N zeros].
QVector<quint32> writeUnit(quint32 address, const QVector<quint32> &data);
QVector<quint32> readUnit(quint32 address, int count);

// The three mode-word writers that combine fields rather than set them.
quint32 combineFunctionMode(quint32 modeWord, quint32 functionMode);
quint32 combineSoftStartTime(quint32 modeWord, quint32 code);
quint32 combineArbResponseTime(quint32 modeWord, quint32 code);
inline quint32 withBits(quint32 word, quint32 mask, bool on)
{
    return on ? (word | mask) : (word & ~mask);
}

// Converts one raw record. A record without samples (count <= 0) has no defined mean: voltage
// and current are then reported over-range rather than divided by zero.
TRACE_DATA traceToData(const TRACE_BUFFER &raw, const AcqFactors &factors);

// Trace read: with w records written and r read since the initiate, the number of records to
// read now (0 when none) and the address of record r. A written count beyond the trace area
// (the word has 24 bits) reads no further than its last record.
int traceReadCount(quint32 written, quint32 read);
quint32 traceReadAddress(quint32 read);

// Identification decode. reply is the received identification unit (2 + 6 words); returns
// whether its echo matched, in which case info and cal are filled, else they are left as they
// are. The unit block reply (2 + 30 words, echo not checked) appends codes up to the first zero.
bool decodeIdentification(const QVector<quint32> &reply, MODELS_INFO *info, CAL_INFO *cal);
void decodeUnitBlock(const QVector<quint32> &reply, MODELS_INFO *info);

} // namespace ioc

Q_DECLARE_METATYPE(ioc::TRACE_DATA)
Q_DECLARE_METATYPE(ioc::MODELS_INFO)
