#pragma once

#include "tools/hwmaint/IoControl.h"
#include "tools/hwmaint/LcIoc.h"

#include <QVector>

namespace ioc {

class RegWriteTransfer;

// Calibration date as the controller stores it: one word, these four bytes in memory order.
struct CAL_DATE
{
    quint16 year;
    quint8 month;
    quint8 day;
};

// The register writer of the maintenance tool: transfers are queued by the caller's thread and
// sent by the worker thread when woken (transfer()), in queue order, at most MaxBatch to one SPI
// message. The queue owns its transfers; m_mutex (IoControl) guards it and stays locked while a
// pass sends, so a producer waits until the pass ends.
//
// It also carries the register setters of other instrument types (withstanding-voltage tests
// Acw and Dcw, insulation resistance Ir, earth continuity Ec and EcDc, partial discharge Pd,
// the leakage-current blocks of the four sub-objects, test start, function mode, calibration).
// Every setter updates its shadow value and queues one write under m_mutex; none wakes the
// worker, so the caller calls transfer() afterwards. Control-word setters queue the family's
// whole control word to its control register; value setters convert with the scale named at
// each (s: signed word, u: unsigned word, see RegWriteTransfer::toSigned) to an offset from it.
// In the Ir, Ec and EcDc words the judgement bits 0-1 and 8-9 exclude each other: changing
// either pair clears the other.
class IocSetting : public IoControl
{
    Q_OBJECT

public:
    static constexpr int MaxBatch = 20;
    static constexpr quint32 BootModeRegister = 0x80006100;

    enum TrigAcquireSource {
        tasImmediate = 0x100,
        tasBus = 0x200,
        tasDigital2 = 0x2000,
        tasTALink = 0x4000,
        tasMSync = 0x8000,
    };
    Q_DECLARE_FLAGS(TrigAcquireSources, TrigAcquireSource)
    Q_FLAG(TrigAcquireSources)

    enum TrigTransientSource {
        ttsImmediate = 0x1,
        ttsBus = 0x2,
        ttsDigital2 = 0x20,
        ttsMSync = 0x80,
    };
    Q_DECLARE_FLAGS(TrigTransientSources, TrigTransientSource)
    Q_FLAG(TrigTransientSources)

    // Control registers of the families; their values lie at offsets from them.
    static constexpr quint32 AcwControl = 0x80004000;
    static constexpr quint32 DcwControl = 0x80004080;
    static constexpr quint32 IrControl = 0x80004100;
    static constexpr quint32 EcControl = 0x80004180;
    static constexpr quint32 PdControl = 0x80004400;
    static constexpr quint32 EcDcControl = 0x80004480;
    static constexpr quint32 TestRegister = 0x80004600;
    static constexpr quint32 FunctionModeRegister = 0x80004700;
    static constexpr quint32 CalDacRegister = 0x80004718;
    static constexpr quint32 CalExecuteRegister = 0x80004720;
    static constexpr quint32 CalModelRegister = 0x80004730;
    static constexpr quint32 CalDateRegister = 0x80004734;

    // Fields of the control words; each value carries its bits in the field's position.
    enum SenseMode : quint32 {
        SenseModeRms = 0x00000,
        SenseModePeak = 0x10000,
        SenseModeAverage = 0x20000
    };
    Q_DECLARE_FLAGS(SenseModes, SenseMode) // bits 16-17
    enum SenseVoltMode : quint32 {
        SenseVoltRms = 0x00000,
        SenseVoltPeak = 0x40000,
        SenseVoltAverage = 0x80000,
    };
    Q_DECLARE_FLAGS(SenseVoltModes, SenseVoltMode) // bits 18-19
    enum VoltRange : quint32 { VoltRangeLow = 0x0000, VoltRangeHigh = 0x2000 }; // bit 13
    enum sourcePattern : quint32 {
        PatternSingle = 0x00000000,
        PatternDouble = 0x10000000,
        PatternRamp = 0x20000000,
    }; // bits 28-29
    enum SenseResponse { ResponseSlow = 0, ResponseMedium = 1, ResponseFast = 2 };
    // Calibration commands, the low 16 bits of the calibration command word.
    enum CalCommand : quint32 { CalStep1 = 0x1, CalStep2 = 0x2, CalStep3 = 0x4, CalStep4 = 0x8 };
    Q_DECLARE_FLAGS(CalCommands, CalCommand)

    explicit IocSetting(QObject *parent = nullptr);
    // Stops the worker when it still runs, then deletes what is still queued, last first.
    ~IocSetting() override;

    void transfer() override;

    // Queues one write of the boot-mode pair (see the table in the source); does not wake the
    // worker. The caller sends the first, waits 100 ms and sends the second.
    void iocBootMode(bool isp, bool first);
    // Queues a transfer and takes it over; does not wake the worker. Every setter ends here.
    void enqueue(RegWriteTransfer *transfer);
    // Waits until the worker has sent everything queued; false when timeoutMs passed first.
    // A boot-mode pair is timed from the moment its first write went out, not from its queueing.
    bool waitUntilSent(int timeoutMs);
    // The words of every transfer still queued, in queue order.
    QVector<QVector<quint32>> queuedFrames() const;

    // Acw: voltage level in V (two words s x 1000: the level and the start level from the stored
    // percent), start level in percent of the level (s x 1000 V), times in s (u x 1000),
    // judgements in A (s x 1e9).
    void setAcwSenseJudgLowerState(bool on) { setBit(m_acwControl, AcwControl, 0, on); }
    void setAcwSenseJudgUpperState(bool on) { setBit(m_acwControl, AcwControl, 1, on); }
    void setAcwVoltageFrequency60Hz(bool on) { setBit(m_acwControl, AcwControl, 2, on); }
    void setAcwVoltageStartState(bool on) { setBit(m_acwControl, AcwControl, 3, on); }
    void setAcwCalculateScaleOffsetState(bool on) { setBit(m_acwControl, AcwControl, 4, on); }
    void setAcwVoltageSweepFallTimerState(bool on) { setBit(m_acwControl, AcwControl, 5, on); }
    void setAcwVoltageTimerState(bool on) { setBit(m_acwControl, AcwControl, 6, on); }
    void setAcwSenseGroundGuardState(bool on) { setBit(m_acwControl, AcwControl, 7, on); }
    void setAcwSenseMode(SenseModes mode) { setField(m_acwControl, AcwControl, 0x30000, mode); }
    void setAcwSenseVoltMode(SenseVoltModes mode)
    {
        setField(m_acwControl, AcwControl, 0xC0000, mode);
    }
    void transferAcwControl() { setField(m_acwControl, AcwControl, 0, 0); }
    void setAcwVoltageLevel(double volts)
    {
        setLevel(&m_acwLevel, m_acwStartPercent, AcwControl, volts);
    }
    void setAcwVoltageStartLevel(double percent)
    {
        setStartLevel(&m_acwStartPercent, m_acwLevel, AcwControl, percent);
    }
    void setAcwVoltageTimer(double s) { queueUnsigned(AcwControl + 0x10, s * 1000); }
    void setAcwVoltageSweepRiseTimer(double s) { queueUnsigned(AcwControl + 0x14, s * 1000); }
    void setAcwVoltageSweepFallTimer(double s) { queueUnsigned(AcwControl + 0x18, s * 1000); }
    void setAcwSenseJudgmentUpper(double a) { queueSigned(AcwControl + 0x30, a * 1e9); }
    void setAcwSenseJudgmentLower(double a) { queueSigned(AcwControl + 0x34, a * 1e9); }
    void setAcwSenseResponse(SenseResponse r) { queueSigned(AcwControl + 0x44, r); }
    void setAcwCalculateScaleOffset(double scale, double offset)
    {
        queueSignedPair(AcwControl + 0x50, scale * 1e9, offset * 1e9);
    }
    void setAcwRouteTerminal(unsigned long long route) { queueRoute(AcwControl + 0x70, route); }

    // Dcw: as Acw, with the discharge timer and the judgement delay (s, u x 1000).
    void setDcwSenseJudgLowerState(bool on) { setBit(m_dcwControl, DcwControl, 0, on); }
    void setDcwSenseJudgUpperState(bool on) { setBit(m_dcwControl, DcwControl, 1, on); }
    void setDcwVoltageStartState(bool on) { setBit(m_dcwControl, DcwControl, 3, on); }
    void setDcwCalculateScaleOffsetState(bool on) { setBit(m_dcwControl, DcwControl, 4, on); }
    void setDcwVoltageSweepFallTimerState(bool on) { setBit(m_dcwControl, DcwControl, 5, on); }
    void setDcwVoltageTimerState(bool on) { setBit(m_dcwControl, DcwControl, 6, on); }
    void setDcwSenseGroundGuardState(bool on) { setBit(m_dcwControl, DcwControl, 7, on); }
    void setDcwSenseJudgmentDelayAuto(bool on) { setBit(m_dcwControl, DcwControl, 12, on); }
    void setDcwSenseVoltMode(SenseVoltModes mode)
    {
        setField(m_dcwControl, DcwControl, 0xC0000, mode);
    }
    void transferDcwControl() { setField(m_dcwControl, DcwControl, 0, 0); }
    void setDcwVoltageLevel(double volts)
    {
        setLevel(&m_dcwLevel, m_dcwStartPercent, DcwControl, volts);
    }
    void setDcwVoltageStartLevel(double percent)
    {
        setStartLevel(&m_dcwStartPercent, m_dcwLevel, DcwControl, percent);
    }
    void setDcwVoltageTimer(double s) { queueUnsigned(DcwControl + 0x10, s * 1000); }
    void setDcwVoltageSweepRiseTimer(double s) { queueUnsigned(DcwControl + 0x14, s * 1000); }
    void setDcwVoltageSweepFallTimer(double s) { queueUnsigned(DcwControl + 0x18, s * 1000); }
    void setDcwVoltageDischargeTimerMinimum(double s)
    {
        queueUnsigned(DcwControl + 0x1c, s * 1000);
    }
    void setDcwSenseJudgmentUpper(double a) { queueSigned(DcwControl + 0x30, a * 1e9); }
    void setDcwSenseJudgmentLower(double a) { queueSigned(DcwControl + 0x34, a * 1e9); }
    void setDcwSenseJudgmentDelay(double s) { queueUnsigned(DcwControl + 0x40, s * 1000); }
    void setDcwSenseResponse(SenseResponse r) { queueSigned(DcwControl + 0x44, r); }
    void setDcwCalculateScaleOffset(double offset) { queueSigned(DcwControl + 0x50, offset * 1e9); }
    void setDcwRouteTerminal(unsigned long long route) { queueRoute(DcwControl + 0x70, route); }

    // Ir: current judgements in A (s x 1e9), resistance judgements and offset in ohm (s x 0.01).
    void setIrSenseJudgmentCurrentLowerState(bool on)
    {
        setJudgementBit(m_irControl, IrControl, 0, on);
    }
    void setIrSenseJudgmentCurrentUpperState(bool on)
    {
        setJudgementBit(m_irControl, IrControl, 1, on);
    }
    void setIrVoltageStartState(bool on) { setBit(m_irControl, IrControl, 3, on); }
    void setIrCalculateScaleOffsetState(bool on) { setBit(m_irControl, IrControl, 4, on); }
    void setIrVoltageTimerState(bool on) { setBit(m_irControl, IrControl, 6, on); }
    void setIrSenseGroundGuardState(bool on) { setBit(m_irControl, IrControl, 7, on); }
    void setIrSenseJudgUpperState(bool on) { setJudgementBit(m_irControl, IrControl, 8, on); }
    void setIrSenseJudgLowerState(bool on) { setJudgementBit(m_irControl, IrControl, 9, on); }
    void setIrSenseJudgmentDelayAuto(bool on) { setBit(m_irControl, IrControl, 12, on); }
    void setIrVoltRange(VoltRange range) { setField(m_irControl, IrControl, 0x2000, range); }
    void setIrSenseVoltMode(SenseVoltModes mode)
    {
        setField(m_irControl, IrControl, 0xC0000, mode);
    }
    void transferIrControl() { setField(m_irControl, IrControl, 0, 0); }
    void setIrVoltageLevel(double volts)
    {
        setLevel(&m_irLevel, m_irStartPercent, IrControl, volts);
    }
    void setIrVoltageStartLevel(double percent)
    {
        setStartLevel(&m_irStartPercent, m_irLevel, IrControl, percent);
    }
    void setIrVoltageTimer(double s) { queueUnsigned(IrControl + 0x10, s * 1000); }
    void setIrVoltageSweepRiseTimer(double s) { queueUnsigned(IrControl + 0x14, s * 1000); }
    void setIrVoltageDischargeTimerMinimum(double s) { queueUnsigned(IrControl + 0x1c, s * 1000); }
    void setIrSenseJudgmentCurrentUpper(double a) { queueSigned(IrControl + 0x30, a * 1e9); }
    void setIrSenseJudgmentCurrentLower(double a) { queueSigned(IrControl + 0x34, a * 1e9); }
    void setIrSenseJudgmentUpper(double ohm) { queueSigned(IrControl + 0x38, ohm * 0.01); }
    void setIrSenseJudgmentLower(double ohm) { queueSigned(IrControl + 0x3c, ohm * 0.01); }
    void setIrSenseJudgmentDelay(double s) { queueUnsigned(IrControl + 0x40, s * 1000); }
    void setIrCalculateScaleOffset(double offset) { queueSigned(IrControl + 0x50, offset * 0.01); }
    void setIrRouteiTerminal(unsigned long long route) { queueRoute(IrControl + 0x70, route); }

    // Ec (AC current) and EcDc (DC current): current in A (s x 1e6), voltage judgements in V
    // and resistance judgements in ohm (s x 1e6).
    void setEcSenseJudgmentVoltageLowerState(bool on)
    {
        setJudgementBit(m_ecControl, EcControl, 0, on);
    }
    void setEcSenseJudgmentVoltageUpperState(bool on)
    {
        setJudgementBit(m_ecControl, EcControl, 1, on);
    }
    void setEcCurrentFrequency60Hz(bool on) { setBit(m_ecControl, EcControl, 2, on); }
    void setEcCalculateScalelState(bool on) { setBit(m_ecControl, EcControl, 4, on); }
    void setEcCurrentSweepFallTimerState(bool on) { setBit(m_ecControl, EcControl, 5, on); }
    void setEcCurrentTimerState(bool on) { setBit(m_ecControl, EcControl, 6, on); }
    void setEcSenseJudgmentUpperState(bool on) { setJudgementBit(m_ecControl, EcControl, 8, on); }
    void setEcSenseJudgmentLowerState(bool on) { setJudgementBit(m_ecControl, EcControl, 9, on); }
    void setEcSenseTerminalContactCheck(bool on) { setBit(m_ecControl, EcControl, 10, on); }
    void setEcSenseTerminal2Wire(bool on) { setBit(m_ecControl, EcControl, 11, on); }
    void transferEcControl() { setField(m_ecControl, EcControl, 0, 0); }
    void setEcCurrentLevel(double a) { queueSigned(EcControl + 0x08, a * 1e6); }
    void setEcCurrentTimer(double s) { queueUnsigned(EcControl + 0x10, s * 1000); }
    void setEcCurrentSweepRiseTimer(double s) { queueUnsigned(EcControl + 0x14, s * 1000); }
    void setEcCurrentSweepFallTimer(double s) { queueUnsigned(EcControl + 0x18, s * 1000); }
    void setEcSenseJudgmentVoltageUpper(double v) { queueSigned(EcControl + 0x30, v * 1e6); }
    void setEcSenseJudgmentVoltageLower(double v) { queueSigned(EcControl + 0x34, v * 1e6); }
    void setEcSenseJudgmentResistanceUpper(double ohm) { queueSigned(EcControl + 0x38, ohm * 1e6); }
    void setEcSenseJudgmentResistanceLower(double ohm) { queueSigned(EcControl + 0x3c, ohm * 1e6); }
    void setEcCalculateScaleOffset(double offset) { queueSigned(EcControl + 0x50, offset * 1e6); }

    void setEcDcSenseJudgmentVoltageLowerState(bool on)
    {
        setJudgementBit(m_ecDcControl, EcDcControl, 0, on);
    }
    void setEcDcSenseJudgmentVoltageUpperState(bool on)
    {
        setJudgementBit(m_ecDcControl, EcDcControl, 1, on);
    }
    void setEcDcCalculateScalelState(bool on) { setBit(m_ecDcControl, EcDcControl, 4, on); }
    void setEcDcCurrentSweepFallTimerState(bool on) { setBit(m_ecDcControl, EcDcControl, 5, on); }
    void setEcDcCurrentTimerState(bool on) { setBit(m_ecDcControl, EcDcControl, 6, on); }
    void setEcDcSenseJudgmentUpperState(bool on)
    {
        setJudgementBit(m_ecDcControl, EcDcControl, 8, on);
    }
    void setEcDcSenseJudgmentLowerState(bool on)
    {
        setJudgementBit(m_ecDcControl, EcDcControl, 9, on);
    }
    void setEcDcSenseTerminalContactCheck(bool on) { setBit(m_ecDcControl, EcDcControl, 10, on); }
    void setEcDcSenseTerminal2Wire(bool on) { setBit(m_ecDcControl, EcDcControl, 11, on); }
    void transferEcDcControl() { setField(m_ecDcControl, EcDcControl, 0, 0); }
    void setEcDcCurrentLevel(double a) { queueSigned(EcDcControl + 0x08, a * 1e6); }
    void setEcDcCurrentTimer(double s) { queueUnsigned(EcDcControl + 0x10, s * 1000); }
    void setEcDcCurrentSweepRiseTimer(double s) { queueUnsigned(EcDcControl + 0x14, s * 1000); }
    void setEcDcCurrentSweepFallTimer(double s) { queueUnsigned(EcDcControl + 0x18, s * 1000); }
    void setEcDcSenseJudgmentVoltageUpper(double v) { queueSigned(EcDcControl + 0x30, v * 1e6); }
    void setEcDcSenseJudgmentVoltageLower(double v) { queueSigned(EcDcControl + 0x34, v * 1e6); }
    void setEcDcSenseJudgmentResistanceUpper(double ohm)
    {
        queueSigned(EcDcControl + 0x38, ohm * 1e6);
    }
    void setEcDcSenseResistanceJudgmentLower(double ohm)
    {
        queueSigned(EcDcControl + 0x3c, ohm * 1e6);
    }
    void setEcDcCalculateScaleOffset(double offset)
    {
        queueSigned(EcDcControl + 0x50, offset * 1e6);
    }

    // Pd: voltages in V (s x 1000), times in s (u x 1000), current judgement in A (s x 1e9),
    // charges in C (s x 1e15).
    void setPdSenseJudgUpperState(bool on) { setBit(m_pdControl, PdControl, 1, on); }
    void setPdVoltageFrequency60Hz(bool on) { setBit(m_pdControl, PdControl, 2, on); }
    void setPdCalculateScaleOffsetState(bool on) { setBit(m_pdControl, PdControl, 4, on); }
    void setPdVoltageTimerState(bool on) { setBit(m_pdControl, PdControl, 6, on); }
    void setPdSenseEChargeJudgUpperState(bool on) { setBit(m_pdControl, PdControl, 9, on); }
    void setPdSenseEChargeBandWidth(bool on) { setBit(m_pdControl, PdControl, 12, on); }
    void setPdSenseVoltMode(SenseVoltModes mode)
    {
        setField(m_pdControl, PdControl, 0xC0000, mode);
    }
    void setPdPattern(sourcePattern pattern)
    {
        setField(m_pdControl, PdControl, 0x30000000, pattern);
    }
    void transferPdControl() { setField(m_pdControl, PdControl, 0, 0); }
    void setPdVoltageLevel(double v) { queueSigned(PdControl + 0x08, v * 1000); }
    void setPdSecondaryVoltageLevel(double v) { queueSigned(PdControl + 0x0c, v * 1000); }
    void setPdVoltageTimer(double s) { queueUnsigned(PdControl + 0x10, s * 1000); }
    void setPdVoltageSweepRiseTimer(double s) { queueUnsigned(PdControl + 0x14, s * 1000); }
    void setPdVoltageFallTimer(double s) { queueUnsigned(PdControl + 0x18, s * 1000); }
    void setPdSecondaryVoltageTimer(double s) { queueUnsigned(PdControl + 0x1c, s * 1000); }
    void setPdSecondaryVoltageFallTimer(double s) { queueUnsigned(PdControl + 0x20, s * 1000); }
    void setPdSenseCurrentJudgmentUpper(double a) { queueSigned(PdControl + 0x30, a * 1e9); }
    void setPdSenseEChargeJudgmentUpper(double c) { queueSigned(PdControl + 0x38, c * 1e15); }
    void setPdCalculateVoltageInception(double c) { queueSigned(PdControl + 0x40, c * 1e15); }
    void setPdCalculateVoltageExtinction(double c) { queueSigned(PdControl + 0x44, c * 1e15); }
    void setPdCalculateScaleOffset(double offset) { queueSigned(PdControl + 0x50, offset * 1e15); }

    // Test start, function mode and calibration.
    void testExecute(bool on) { queueUnsigned(TestRegister, on ? 1 : 0); }
    void testAbort() { queueUnsigned(TestRegister, 0); }
    // Sent only when the mode differs from the last one set.
    void setFunctionMode(IoControl::FunctionMode mode);
    void setCalDacValueLevel(int first, int second)
    {
        queueSignedPair(CalDacRegister, first, second);
    }
    // Queues the calibration command word, then clears its bits 17-19.
    void transferCalExecute();
    // Low 16 bits: the commands; the high 16 bits are kept.
    void executeCal(CalCommands commands);
    // Low 16 bits cleared, bit 17 set.
    void calculationCal();
    void storeCalPoint(); // bit 18 set
    void selectCalFrequency(bool on); // bit 16
    void setCalModelID(int id) { queueSigned(CalModelRegister, id); }
    void setCalDate(ioc::CAL_DATE date);

    // Kept for the instrument type; nothing is sent.
    void setProgTriggerDelay(unsigned int value);
    void setAcqTriggerDelay(unsigned int value);
    void setAcqTriggerTimer(unsigned int value);
    void setSensApertureCount(unsigned int value);
    void setAcqTriggerCount(unsigned int value);
    void clearAlarm() { }
    void setWatchDogAlarm() { }

    // The four leakage-current blocks, in register order (0x80004200, 0x80004280, 0x80004300,
    // 0x80004380).
    TcIoc *tc1() const { return m_tc1; }
    PccIoc *pcc() const { return m_pcc; }
    TcIoc *tc2() const { return m_tc2; }
    LcIoc *lc() const { return m_lc; }

    quint32 calCommandWord() const;
    static int network() { return m_network; }

public Q_SLOTS:
    void onNetworkUpdate(ioc::LcIoc::Network network);

protected:
    void initThread() override;
    int transferThread() override;

private:
    void queueLocked(RegWriteTransfer *transfer); // call with m_mutex held
    void setBit(quint32 &word, quint32 reg, int bit, bool on);
    // Bits 0-1 and 8-9 exclude each other.
    void setJudgementBit(quint32 &word, quint32 reg, int bit, bool on);
    // Clears mask in word, ORs value in and queues the word to reg.
    void setField(quint32 &word, quint32 reg, quint32 mask, quint32 value);
    void queueSigned(quint32 reg, double value);
    void queueUnsigned(quint32 reg, double value);
    void queueSignedPair(quint32 reg, double first, double second);
    void queueRoute(quint32 reg, unsigned long long route);
    void setLevel(int *level, double startPercent, quint32 control, double volts);
    void setStartLevel(double *startPercent, int level, quint32 control, double percent);

    // Settings of other instrument types; guarded by m_mutex.
    quint32 m_progTriggerDelay = 0;
    quint32 m_acqTriggerDelay = 0;
    quint32 m_acqTriggerTimer = 12500;
    quint32 m_sensApertureCount = 12500;
    quint32 m_calCommand = 0;
    quint32 m_acwControl = 2;
    int m_acwLevel = 0; // V x 1000
    double m_acwStartPercent = 50.0;
    quint32 m_dcwControl = 2;
    int m_dcwLevel = 0;
    double m_dcwStartPercent = 50.0;
    quint32 m_irControl = 0;
    int m_irLevel = 0;
    double m_irStartPercent = 50.0;
    quint32 m_ecControl = 0;
    quint32 m_ecDcControl = 0;
    quint32 m_pdControl = 0;
    TcIoc *m_tc1; // owned (children)
    PccIoc *m_pcc;
    TcIoc *m_tc2;
    LcIoc *m_lc;
    quint32 m_acqTriggerCount = 1;

    QVector<RegWriteTransfer *> m_queue; // guarded by m_mutex; owned
    QWaitCondition m_sent; // on m_mutex: a pass has emptied the queue
};

} // namespace ioc

Q_DECLARE_OPERATORS_FOR_FLAGS(ioc::IocSetting::SenseModes)
Q_DECLARE_OPERATORS_FOR_FLAGS(ioc::IocSetting::SenseVoltModes)
Q_DECLARE_OPERATORS_FOR_FLAGS(ioc::IocSetting::CalCommands)
