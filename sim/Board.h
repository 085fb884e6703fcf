#pragma once

#include "sim/Acquisition.h"
#include "sim/Identity.h"
#include "sim/LoadModel.h"
#include "sim/ProgramExecutor.h"
#include "sim/RegisterMemory.h"
#include "sim/StepRecord.h"

#include <QVector>

namespace sim {

// The I/O controller at the far end of the SPI register link: one message (units of
// [address, count, data...]) in, one reply of the same length out. Holds the register memory,
// the program executor, the load model, the trace area and the integrals. Time is passed in
// (monotonic µs) so that tests drive it without a clock; advance() runs the program's steps,
// the integrals and the paced trace records up to a time and must come before any change of
// the load model from outside.
// A trace record sums as many samples as the sense aperture has counts, the monitor record 250.
// The status word has bit 4 (not a slave) and bit 23 (external load-on input high) set.
//
// Protections, cut-offs and modulation, where the register layouts leave the controller open:
// - Checked at every exchange and step change while the applied step has its load bit (time
//   between exchanges is not searched for the moment a limit was crossed).
// - Trip actions: OC (operate bit 20, not in CC or ARB) when the current exceeds the CC-limit
//   word; OP (bit 21, not in CP) when the power exceeds the CP word; UVP (bit 22) when the
//   voltage falls below the UVP word. A trip latches the protection bit (22) with the bit of the
//   limit (12, 13, 14) and holds the load off until the alarm-clear command (alarm word bit 29)
//   and a restart after it (a program start, or the clear-cut-off command that precedes a load
//   switch), so that steps still carrying the load bit do not switch it back into the fault.
//   The limit actions do not regulate.
// - Cut-offs (enable bits 28-31 of cut-off word 0): voltage at or below word 1 (µV), elapsed
//   time (words 2-3, µs), capacity (4-5, µAh) and energy (6-7, µWh) at or above their limits,
//   counted by the board's integrals. One sets its bit (4-7) in the cut-off byte and holds the
//   load off until the clear-cut-off command (alarm word bit 2).
// - The forced load-off program command (0x100000) holds the load off as a cut-off does.
// - A sine start (0x11) in CC makes the DC level follow level + amplitude x sin(2 pi f t), with
//   f = 50,000 / (frequency word + 0.5) Hz (sine group words 0 and 1), from the start on; any
//   other start or an abort ends it. A pulse start (0x20) runs the steps with their own dwells.
// - The trigger output: each step entered with operate bit 14 set counts one pulse.
class Board
{
public:
    // One write unit as it arrived; units of one message share the message number.
    struct LogEntry
    {
        qint64 timeUs = 0;
        quint64 message = 0;
        quint32 address = 0;
        QVector<quint32> words;
    };
    enum class Failure { None, Close, Silent };

    static constexpr quint32 StatusBlock = 0xE0000000;
    static constexpr quint32 TraceArea = 0x80800000;
    static constexpr quint32 TraceAreaEnd = 0x80C00000;
    static constexpr quint32 MonitorRecord = 0x80C00000;
    static constexpr quint32 IdentificationBlock = 0xF0000500;
    static constexpr quint32 UnitBlock = 0xF0000600;
    static constexpr int MonitorSamples = 250;
    static constexpr int LogCapacity = 1000000;

    explicit Board(qint64 nowUs = 0);

    // Power-on state: memory, identity, load model, faults, masks and log.
    void reset(qint64 nowUs);
    QVector<quint32> exchange(const QVector<quint32> &message, qint64 nowUs);
    void advance(qint64 nowUs);

    // Data words a read of count words at address would return now (address has bit 31 set).
    QVector<quint32> read(quint32 address, int count) const;
    const RegisterMemory &memory() const { return m_memory; }

    // Fault injection: the next n exchanges fail (the connection is dropped, or no reply).
    void failNext(int n, Failure how);
    Failure takeFailure();
    void setCorruptIdentificationEcho(bool on) { m_corruptEcho = on; }
    bool corruptIdentificationEcho() const { return m_corruptEcho; }

    Identity &identity() { return m_identity; }
    LoadModel &loadModel() { return m_load; }

    // Status word bits forced on (orMask) and off (andNotMask), applied after the model's bits.
    void setStatusMasks(quint32 orMask, quint32 andNotMask);
    quint32 statusOrMask() const { return m_statusOr; }
    quint32 statusAndNotMask() const { return m_statusAndNot; }
    void setCutoffByte(quint8 value);
    // The control socket's hold: the load stays off whatever the steps and commands say.
    void setLoadHold(bool on);
    bool loadHold() const { return m_loadHold; }
    // Protection bits latched by a trip (0 when none).
    quint32 protection() const { return m_protection; }
    quint8 cutoffByte() const { return m_cutoff; }
    // Trigger-output pulses since power-on.
    quint64 triggerOutPulses() const { return m_triggerOuts; }
    quint32 statusWord() const;

    // Length of one controller count (trigger delay, timer, aperture), default 8 µs.
    bool setMicrosPerCount(double us);
    double microsPerCount() const { return m_usPerCount; }
    // Appends n trace records of the present measurement; returns the written count.
    int injectTraceRecords(int n);
    // Fires a pending acquisition trigger, whatever its source. The sources of the trigger word
    // fire it as well: immediate at the initiate, bus and mutual-sync commands, the load going
    // off, the DIGITAL2 pin (triggerTransient) and a start of the transient system.
    void triggerAcquisition(qint64 nowUs) { m_acq.trigger(nowUs); }
    const Acquisition &acquisition() const { return m_acq; }

    // A transient trigger from a pin (ProgramExecutor::Input, Digital2) at nowUs.
    void triggerTransient(quint32 triggers, qint64 nowUs);
    const ProgramExecutor &executor() const { return m_exec; }

    // The step applied now (the time advanced to) and the operating point it gives.
    StepRecord activeStep() const { return stepAt(m_lastUs); }
    LoadModel::Point operatingPoint() const { return operatingPointAt(m_lastUs); }
    double elapsedMicros() const { return m_elapsedUs; }
    double capacityMicroAh() const { return m_capacity; }
    double energyMicroWh() const { return m_energy; }

    const QVector<LogEntry> &writeLog() const { return m_log; }
    void clearLog() { m_log.clear(); }
    quint64 messages() const { return m_messages; }

private:
    void writeUnit(quint32 address, const quint32 *words, int count, qint64 nowUs);
    void wordWritten(quint32 address, quint32 value, qint64 nowUs);
    void commandWritten(quint32 value, qint64 nowUs);
    quint32 readWord(quint32 address, const Acquisition::Record &monitor) const;
    Acquisition::Record measurement(int samples) const;
    StepRecord stepAt(qint64 us) const;
    LoadModel::Point operatingPointAt(qint64 us) const;
    void integrateTo(qint64 nowUs);
    void followLoadState(qint64 nowUs);
    void followTransientTrigger(quint64 startsBefore, qint64 nowUs);
    Acquisition::Settings acquisitionSettings() const;
    int apertureSamples() const;
    void resetIntegrals();
    // Trips and cut-offs of the operating point now; see the class comment.
    void checkLimits(qint64 nowUs);
    void alarmWritten(quint32 value, qint64 nowUs);
    bool loadHeldOff() const
    {
        return m_protection != 0 || m_cutoffHold || m_restartHold || m_loadHold;
    }
    // The DC level of a running sine at us, from the step's level.
    quint32 sineLevel(const StepRecord &step, qint64 us) const;

    RegisterMemory m_memory;
    ProgramExecutor m_exec { m_memory };
    Identity m_identity;
    LoadModel m_load;
    Acquisition m_acq;
    QVector<LogEntry> m_log;
    QVector<quint32> m_pendingCommands; // command-register writes of the message in hand
    quint64 m_messages = 0;
    qint64 m_lastUs = 0;
    double m_elapsedUs = 0.0;
    double m_capacity = 0.0; // µAh
    double m_energy = 0.0; // µWh
    bool m_integrating = true;
    bool m_loadWasOn = false;
    double m_usPerCount = 8.0;
    quint32 m_statusOr = 0;
    quint32 m_statusAndNot = 0;
    quint8 m_cutoff = 0;
    quint32 m_protection = 0; // latched status bits of a trip
    bool m_cutoffHold = false; // a cut-off or the forced load-off holds the load off
    bool m_restartHold = false; // a cleared trip holds the load off until a restart
    bool m_loadHold = false;
    bool m_sineRun = false;
    qint64 m_sineStartUs = 0;
    quint64 m_triggerOuts = 0;
    quint32 m_lastNode = 0xFFFFFFFF; // node of the step last entered, for the trigger output
    int m_failures = 0;
    Failure m_failureKind = Failure::Close;
    bool m_corruptEcho = false;
};

} // namespace sim
