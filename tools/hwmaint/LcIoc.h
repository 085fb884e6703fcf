#pragma once

#include <QMutex>
#include <QObject>
#include <QVector>

namespace ioc {

class RegWriteTransfer;

// The register setters of the leakage-current family of other instrument types: LcIoc, PccIoc
// (adds judgement, timers, fault condition and polarity) and TcIoc (adds the probe). Each
// object owns one register block; its control word goes to the block's base address, its
// values to offsets from it. Setters queue their write on the owner's queue under the owner's
// mutex and do not wake the owner's worker. Control word:
//
//   bits 28-31 network   24-27 probe    23 polarity   20-22 condition fault
//   18-19 polarity output   16-17 sense current mode   13-15 sense voltage range
//   12 timer delay state   6 timer state   4 scale state   1 upper judgement   0 lower judgement
class LcIoc : public QObject
{
    Q_OBJECT

public:
    enum Network : quint32 {
        NetworkA = 0x00000000,
        NetworkB = 0x10000000,
        NetworkC = 0x20000000,
        NetworkD = 0x30000000,
        NetworkE = 0x40000000,
        NetworkF = 0x50000000,
        NetworkG = 0x60000000,
        NetworkH = 0x70000000,
    };
    Q_ENUM(Network)
    enum Probe : quint32 {
        ProbeEnclosureEnclosure = 0x0000000,
        ProbeEnclosureLine = 0x1000000,
        ProbeEnclosureNeutral = 0x2000000,
        ProbeLineNeutral = 0x3000000,
    };
    enum Polarity : quint32 { PolarityNormal = 0x000000, PolarityReverse = 0x800000 };
    enum ConditionFault : quint32 {
        ConditionNormal = 0x000000,
        ConditionOpenNeutral = 0x100000,
        ConditionOpenEarth = 0x200000,
        ConditionOpenLine = 0x300000,
    };
    enum PolarityOutput : quint32 {
        PolarityOutputOff = 0x00000,
        PolarityOutputNormal = 0x40000,
        PolarityOutputReverse = 0x80000,
    };
    enum LcSenseMode : quint32 {
        LcSenseAcDc = 0x00000,
        LcSenseAc = 0x10000,
        LcSenseDc = 0x20000,
        LcSensePeak = 0x30000,
    };
    enum LcVoltRange : quint32 {
        LcVoltRange0 = 0x0000,
        LcVoltRange1 = 0x2000,
        LcVoltRange2 = 0x4000,
        LcVoltRange3 = 0x6000,
    };

    // queue and mutex belong to the owner and outlive the object.
    LcIoc(
        quint32 base, QVector<RegWriteTransfer *> *queue, QMutex *mutex, QObject *parent = nullptr);

    virtual void setSenseNetwork(LcIoc::Network network);
    virtual void setSenseCurrentMode(LcIoc::LcSenseMode mode);
    virtual void setSenselVoltageRange(LcIoc::LcVoltRange range);
    virtual void set110PolarityOutput(LcIoc::PolarityOutput output);
    virtual void setCalculateScalelState(bool on);
    virtual void setCalculateScaleOffset(double offset);

    // Queues the control word to the base address.
    void transferControl();

    quint32 control() const;
    quint32 base() const { return m_base; }

Q_SIGNALS:
    void networkUpdated(LcIoc::Network network);

protected:
    void setField(quint32 mask, quint32 value);
    void setBit(int bit, bool on);
    void queueSigned(quint32 offset, double value);
    void queueUnsigned(quint32 offset, double value);

    quint32 m_control = 0; // guarded by *m_mutex
    quint32 m_base;
    QVector<RegWriteTransfer *> *m_queue;
    QMutex *m_mutex;
};

class PccIoc : public LcIoc
{
    Q_OBJECT

public:
    using LcIoc::LcIoc;

    virtual void setSenseJudgmentUpper(double amps); // base + 0x30, x 1e6
    virtual void setSenseJudgmentLower(double amps); // base + 0x34, x 1e6
    virtual void setSenseTimerDelay(double seconds); // base + 0x40, x 1000
    virtual void setSenseTimer(double seconds); // base + 0x10, x 1000
    virtual void setSenseJudgUpperState(bool on);
    virtual void setSenseJudgLowerState(bool on);
    virtual void setSenseTimerDelayState(bool on);
    virtual void setSenseTimerState(bool on);
    virtual void setSenseConditionFault(LcIoc::ConditionFault fault);
    virtual void setPolarity(LcIoc::Polarity polarity);
};

class TcIoc : public PccIoc
{
    Q_OBJECT

public:
    using PccIoc::PccIoc;

    virtual void setSenseProbe(LcIoc::Probe probe);
};

} // namespace ioc
