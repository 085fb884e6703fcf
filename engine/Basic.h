#pragma once

#include "engine/Source.h"
#include "engine/ioc/AvlTree.h"

#include <atomic>
#include <functional>
#include <limits>

class BoundValue;
class BoundValueAcq;
class QTimer;

namespace ioc {
class ProgramStep;
}

namespace vek {

// The steady (non-program) setting of the load: function mode and CV option, ranges, the level
// of every mode and the slew rate, with the protection levels, output short and pulse levels
// that a mode or range change applies again. One instance, a member of the engine root, living
// in the GUI thread; the command set's value objects (parser thread), setups, presets and the
// setting screens (GUI thread) call the setters directly.
//
// The steady setting is an endless two-step program: steps 1 and 2 carry the same level and
// dwell 2^48 - 1 µs (pulse modulation gives them different levels and times). A setter changes
// fields of both steps under the writer link's shadow-register mutex and hands the tree over.
//
// Count setters take counts of the present range's bound value and an updateTiming; real
// setters round the value to counts half away from zero, checked before any narrowing, call the
// count setter and on 0 emit the setting's *UiChanged signal with the value as requested.
// A refused setter changes nothing, display values included. The stored counts are the
// setting; the steps mirror them for the present mode and range, clamped to its limits.
// Every setter is one EngineStep (engine/EngineLock.h), signals and adjusters included; the
// getters take the engine lock, so they never mix a range with a level of another setting.
// The steps change under the shadow mutex too, which the writer link shares.
class Basic : public Source
{
    Q_OBJECT

public:
    // Handed down by the command set at start-up (both optional): re-spans the value objects
    // whose limits follow a range, and adjusts the arguments that depend on the function mode.
    // Called within the setter's engine step: they must not wait for another thread nor take
    // the value registry's mutex (see engine/EngineLock.h).
    using ModeAdjuster = std::function<void(SourceMode mode)>;
    using CurrentRangeAdjuster = std::function<void(SourceCurrentRange range)>;
    using VoltageRangeAdjuster = std::function<void(SourceVoltageRange range)>;

    // As Source. Builds the steady program and hands it to the writer; initialize() (queued)
    // starts it with the load off. loadWaitMs bounds the wait of a load switch for the
    // controller's report.
    Basic(ioc::IoControl *writer,
        ModelInformation *info,
        Status *status,
        InstrumentConfigInfo *config,
        int loadWaitMs = 1000);
    // The tree returns both steps to the step pool.
    ~Basic() override;

    void setModeAdjuster(ModeAdjuster adjuster) { m_modeAdjuster = std::move(adjuster); }
    void setCurrentRangeAdjuster(CurrentRangeAdjuster adjuster)
    {
        m_currentRangeAdjuster = std::move(adjuster);
    }
    void setVoltageRangeAdjuster(VoltageRangeAdjuster adjuster)
    {
        m_voltageRangeAdjuster = std::move(adjuster);
    }

    // --- Mode and ranges ---
    // Checks load on (102), output short with CV/CP/ARB (103), pulse with CV/CP/ARB (105), sine
    // with a mode other than CC (113), a program (104); then sends the mode and applies the
    // stored settings of the mode again.
    SCPIERR_T setFunctionMode(SourceMode mode) override;
    // 104 while a program runs, else as Source. On: the UVP function with the limit action and
    // the CV level as UVP level and CV limit; off: the UVP function off.
    SCPIERR_T setFunctionModeCvOption(bool on) override;
    // The inherited two-argument form sends the range only; this one checks the load (102),
    // sends the range again and applies the stored settings clamped to the new range.
    using Source::setCurrentRange;
    SCPIERR_T setCurrentRange(SourceCurrentRange range);
    SCPIERR_T setVoltageRange(SourceVoltageRange range) override;

    // --- Levels (current A, conductance S, voltage V, power W, slew rate A/µs) ---
    SCPIERR_T setRealCurrentLevel(double amps, updateTiming timing);
    SCPIERR_T setCurrentLevel(qint32 counts, updateTiming timing);
    SCPIERR_T setRealConductanceLevel(double siemens, updateTiming timing);
    SCPIERR_T setConductanceLevel(qint32 counts, updateTiming timing);
    // CV mode: the level; CC or CR with the CV option: CV limit and UVP level.
    SCPIERR_T setRealVoltageLevel(double volts, updateTiming timing);
    SCPIERR_T setVoltageLevel(qint32 counts, updateTiming timing);
    SCPIERR_T setRealPowerLevel(double watts, updateTiming timing);
    SCPIERR_T setPowerLevel(qint32 counts, updateTiming timing);
    SCPIERR_T setRealCurrentSlewRateLevel(double ampsPerUs, updateTiming timing);
    SCPIERR_T setCurrentSlewRateLevel(qint32 counts, updateTiming timing);

    // The stored levels in the present range's unit.
    double getRealCurrentLevel() const;
    double getRealConductanceLevel() const;
    double getRealVoltageLevel() const;
    double getRealPowerLevel() const;
    double getRealCurrentSlewRateLevel() const;
    // The last accepted requests, unrounded (the pulse view's depth rests on them).
    double getRealCurrentLevelForDisplay() const { return m_ccLevelReal; }
    double getRealConductanceLevelForDisplay() const { return m_crLevelReal; }

    // --- Protections (A, W, V); counts with the decimals of the present range's entry ---
    SCPIERR_T setRealCurrentProtectionLevel(double amps, updateTiming timing);
    SCPIERR_T setRealPowerProtectionLevel(double watts, updateTiming timing);
    SCPIERR_T setRealVoltageProtectionLevel(double volts, updateTiming timing);
    // The trip action (true: the load goes off) or the limit action of OCP and OPP.
    SCPIERR_T setCurrentProtectionTripState(bool trip);
    SCPIERR_T setPowerProtectionTripState(bool trip);
    bool getCurrentProtectionTripState() const { return m_ocpTrip; }
    bool getPowerProtectionTripState() const { return m_oppTrip; }
    // External CV control works with the limit action only: while it is on both steps carry the
    // limit action, and the stored action returns when it goes off. Result as Source's.
    SCPIERR_T setVoltageExternal(bool on);
    // Only in the protected state: clears the alarm and restarts the steady program with the
    // load off (unless a program runs). 0 otherwise too.
    SCPIERR_T clearProtection();

    // --- Protection levels as the mode and range changes re-apply them (counts) ---
    // OCP: checked against the HIGH range (outside: -222 unless timing Always clamps); the
    // CC-limit word of every mode but CC and ARB, clamped to the present range.
    SCPIERR_T setCurrentProtectionLevel(qint32 counts, updateTiming timing);
    // OPP: as OCP against the highest power range; the CP word of every mode but CP.
    SCPIERR_T setPowerProtectionLevel(qint32 counts, updateTiming timing);
    // UVP: level rules as the levels; UVP word and CV-limit word in every mode.
    SCPIERR_T setVoltageProtectionLevel(qint32 counts, updateTiming timing);
    // The UVP function on or off (off also ends the CV option).
    SCPIERR_T setVoltageProtectionState(bool on);
    // Trip (true) or limit action; trip ends the CV option. Ignored under external CV control.
    SCPIERR_T setVoltageProtectionTripState(bool trip, updateTiming timing);
    double getRealCurrentProtectionLevel() const;
    double getRealPowerProtectionLevel() const;
    double getRealVoltageProtectionLevel() const;
    bool getVoltageProtectionState() const { return m_uvpState; }
    bool getVoltageProtectionTripState() const { return m_uvpTrip; }

    // -113 without the short function; then 106 (CV, CP, ARB), 105, 113, 111, 104.
    SCPIERR_T setOutputShort(bool on, updateTiming timing);

    // Second (pulse) level of CC and CR mode: never above the main level (-222 whatever the
    // timing); written into step 2 while pulsing.
    SCPIERR_T setRealPulseLevelCurrent(double amps, updateTiming timing);
    SCPIERR_T setPulseLevelCurrent(qint32 counts, updateTiming timing);
    SCPIERR_T setRealPulseLevelConductance(double siemens, updateTiming timing);
    SCPIERR_T setPulseLevelConductance(qint32 counts, updateTiming timing);
    double getRealPulseLevelCurrent() const;
    double getRealPulseLevelConductance() const;
    double getRealPulseLevelCurrentForDisplay() const { return m_pulseLevelCcReal; }
    double getRealPulseLevelConductanceForDisplay() const { return m_pulseLevelCrReal; }

    // --- Pulse timing: step 1 holds the main level for the high time, step 2 the pulse level
    // for the low time ---
    // Within the model's pulse limits (-222); the period is 1e9 / mHz µs, rounded.
    SCPIERR_T setRealPulseFrequency(double hertz, updateTiming timing);
    SCPIERR_T setPulseFrequency(qint64 milliHertz, updateTiming timing);
    // 10 to 1,000,000 µs (-222); the duty is applied again to the new period.
    SCPIERR_T setPulseCycleTime(quint64 microseconds, updateTiming timing);
    // 5 % to 95 % in thousandths of a percent (-222). Neither time drops below the model's
    // minimum step time; when one is raised to it, the duty reported is the one that results.
    SCPIERR_T setRealPulseDutyCycle(double percent, updateTiming timing);
    SCPIERR_T setPulseDutyCycle(qint32 duty, updateTiming timing);
    qint64 getPulseFrequency() const { return m_pulseFrequency; }
    quint64 getPulseCycleTime() const { return m_pulsePeriod; }
    qint32 getPulseDutyCycle() const { return m_pulseDuty; }
    quint64 getPulseHighTime() const { return m_pulseHighTime; }
    quint64 getPulseLowTime() const { return m_pulseLowTime; }

    // --- Sine modulation (-113 on a model without it) ---
    // 1 Hz to 10 kHz (-222), set to the nearest entry of the modulator's frequency table.
    SCPIERR_T setRealSineFrequency(double hertz, updateTiming timing);
    SCPIERR_T setSineFrequency(qint64 milliHertz, updateTiming timing);
    qint64 getSineFrequency() const { return m_sineFrequency; }
    // Amplitude within the current map's limits at the present range (-222 with IfChanged,
    // clamped otherwise).
    SCPIERR_T setRealSineAmplitude(double amps, updateTiming timing);
    SCPIERR_T setSineLevelCurrent(qint32 counts, updateTiming timing);
    double getRealSineAmplitude() const;

    // --- Modulation on and off (pulse and sine exclude each other) ---
    // Pulse: 106 in CV, CP or ARB, 103 with output short, 104 while a program runs.
    SCPIERR_T setPulseState(bool on) override;
    // Sine: -113 without sine modulation, then 106 unless CC, 103, 104.
    SCPIERR_T setSineState(bool on) override;

    // --- Battery-test cut-offs (-113 without the controller's cut-off function) ---
    // 0 to 3,600,000 s (-222 unless timing Always clamps), sent in whole µs.
    SCPIERR_T setOutputCutOffElapsedTime(double seconds, updateTiming timing);
    SCPIERR_T setOutputCutOffElapsedTimeState(bool on);
    double getOutputCutOffElapsedTime() const;
    bool getOutputCutOffElapsedTimeState() const;
    // V within the UVP entry of the voltage range; Ah and Wh within the model's cut-off limits.
    SCPIERR_T setOutputCutOffVoltage(double volts, updateTiming timing);
    SCPIERR_T setOutputCutOffCapacity(double ampHours, updateTiming timing);
    SCPIERR_T setOutputCutOffEnergy(double wattHours, updateTiming timing);
    SCPIERR_T setOutputCutOffVoltageState(bool on);
    SCPIERR_T setOutputCutOffCapacityState(bool on);
    SCPIERR_T setOutputCutOffEnergyState(bool on);
    double getOutputCutOffVoltage() const;
    double getOutputCutOffCapacity() const;
    double getOutputCutOffEnergy() const;
    bool getOutputCutOffVoltageState() const;
    bool getOutputCutOffCapacityState() const;
    bool getOutputCutOffEnergyState() const;

    // --- Mutual sync with a parallel partner ---
    // Without the established link m-sync goes off and the result is 110.
    SCPIERR_T setMSyncState(bool on);
    bool getMSyncState() const { return m_msyncState; }
    // Switches the load together with the partner: 104 while a program runs, 110 without the
    // link or with m-sync off.
    SCPIERR_T setMSyncStateImmediate(bool on);

    // Seconds the load stays on after a switch on (<= 0: no limit). With the controller's
    // cut-off function it becomes the elapsed-time cut-off; otherwise a timer in this object's
    // thread switches the load off.
    SCPIERR_T setOutputOnDwell(int seconds);
    int getOutputOnDwell() const { return m_outputOnDwell; }

    // Switches the load (104 while a program runs): the load bit of both steps follows on and the
    // external load input, the tree is sent, and the call returns once the status object reports
    // that load state, with the reported state applied; -200 when the controller has not
    // reported it within loadWaitMs. Runs in this object's thread: a caller in another thread
    // waits for it there (blocking queued call), unless its own engine step is open, when it
    // runs in place. Not from the status object's thread. The wait runs with the engine lock
    // released, unless the caller's own step holds it; until the report, a switch on counts as
    // load on for the other setters' checks.
    SCPIERR_T setOutput(bool on);

public Q_SLOTS:
    // Announces mode and ranges, connects the status object, then starts the steady program
    // with the load off.
    void initialize() override;
    // Stores 0, 0x100 or 0x200 as the external range (other values are ignored), then applies
    // the selected current range again.
    void onExtCurrentRangeChange(vek::Status::ExternalRange range) override;
    // The external load-on input: off holds the load off while the request stays stored; on
    // switches the load on. flagOnly: the input's level is stored only.
    void onExtLoadChange(bool on, bool flagOnly) override;
    // The alarm cleared at the board's input: as clearProtection().
    void onExtAlarmClear() override;
    // Switches the load off (unless a program runs), then clears the cut-off that occurred.
    SCPIERR_T clearCutoff();

Q_SIGNALS:
    void currentUiChanged(double amps);
    void conductanceUiChanged(double siemens);
    void voltageUiChanged(double volts);
    void powerUiChanged(double watts);
    void slewRateUiChanged(double ampsPerUs);
    // The UVP level in V while the function is on, else the largest double.
    void voltageProtectUiChanged(double volts);
    void voltageProtectStateUiChanged(bool trip);
    void outputShortUiChanged(bool on);
    void currentPulseUiChanged(double amps);
    void pulseFrequencyUiChanged(double hertz);
    void pulseDutyCycleUiChanged(double percent);
    void sineFrequencyUiChanged(double hertz);
    void cutOffETimeUiChanged(unsigned long long microseconds);
    void cutOffETimeStateUiChanged(bool on);
    void msyncStateUiChanged(bool on);
    void conductancePulseUiChanged(double siemens);
    void currentProtectUiChanged(double amps);
    void powerProtectUiChanged(double watts);
    void currentProtectStateUiChanged(bool trip);
    void powerProtectStateUiChanged(bool trip);
    void currentSineUiChanged(double amps);
    // 0 none, 1 pulse, 2 sine.
    void waveformStateUiChanged(int mode);
    void cutOffVoltageUiChanged(double volts);
    void cutOffCapacityUiChanged(double ampHours);
    void cutOffEnergyUiChanged(double wattHours);
    void cutOffVoltageStateUiChanged(bool on);
    void cutOffCapacityStateUiChanged(bool on);
    void cutOffEnergyStateUiChanged(bool on);
    void outputExternalUiChanged(bool status, bool logicPositive);
    // clearCutoff() has cleared the cut-off that occurred.
    void cutoffUiCleared();

private:
    using CountSetter = SCPIERR_T (Basic::*)(qint32, updateTiming);
    using ValueSignal = void (Basic::*)(double);

    static constexpr qint32 NeverSet = std::numeric_limits<qint32>::max();

    const BoundValue &currentBound() const;
    const BoundValue &conductanceBound() const;
    const BoundValue &voltageBound() const;
    const BoundValue &powerBound() const;
    const BoundValue &slewRateBound() const;
    const BoundValue &ocpBound() const;
    const BoundValue &oppBound() const;
    const BoundValue &uvpBound() const;

    // Real value to counts, then the count setter; emits on 0 unless the counts are unchanged
    // and the timing is not Always. *announced: whether it emitted.
    SCPIERR_T setRealLevel(double value,
        updateTiming timing,
        const BoundValue &bound,
        qint32 stored,
        CountSetter setter,
        ValueSignal changed,
        bool *announced = nullptr);
    // Changes both steps under the shadow-register mutex; nothing without a steady program.
    // resend: both data records travel with the next hand-over even when nothing changed.
    void changeSteps(const std::function<void(ioc::ProgramStep *, ioc::ProgramStep *)> &change,
        bool resend = false);
    // Hands the changed steps to the writer.
    void sendTree();
    bool loadIsOn() const { return m_load || m_stateLoad; }
    // setOutput in this object's thread.
    SCPIERR_T switchLoad(bool on);
    // Starts, keeps or ends the software load-off timer for a load switched on or off; this
    // object's thread only.
    void followDwellTimer(bool loadOn);
    // followDwellTimer, posted to this object's thread from another.
    void followDwellTimerSafely(bool loadOn);
    // Transfers and hands the tree over, with m-sync's priority off meanwhile.
    void sendLoadSwitch();
    void onDwellTimeout();
    // The trip-action flag of both steps (OC or OP), sent.
    void writeTripFlag(bool overCurrent, bool trip);
    // A cut-off level: the count setter's value in, the writer's value compared and sent.
    SCPIERR_T setCutOffLevel(double value,
        updateTiming timing,
        double minimum,
        double maximum,
        const std::function<bool(double, qint64 *)> &toCount,
        const std::function<qint64()> &present,
        const std::function<void(qint64)> &write,
        const std::function<void(double)> &announce);
    SCPIERR_T setCutOffState(quint32 bit, bool on, void (Basic::*changed)(bool));
    // The capacity and energy entries of the present ranges.
    const BoundValueAcq &capacityEntry() const;
    const BoundValueAcq &energyEntry() const;
    void setWaveformTriggerOut(bool on);
    // The main level of CC or CR: step 1, and step 2 with the endless dwell unless pulsing.
    void writeMainLevel(quint32 word, bool resend);
    // The UVP bits of both steps for the function on or off, with the stored action; not sent.
    void setIoVoltageProtectionState(bool on);
    void writeUvpBits(bool on, bool trip);
    // What a mode or range change applies again, for the present mode.
    void reapplyMode();
    void reapplyCurrentRange();

    ioc::AvlTree m_tree;
    ioc::ProgramStep *m_step1 = nullptr;
    ioc::ProgramStep *m_step2 = nullptr;
    const int m_loadWaitMs;

    // Stored settings in counts of their maps; NeverSet until the first setting, so that it is
    // never taken as unchanged.
    std::atomic<qint32> m_ccLevel { 0 };
    std::atomic<qint32> m_crLevel { 0 };
    std::atomic<qint32> m_cpLevel { 0 };
    std::atomic<qint32> m_cvLevel { 0 };
    std::atomic<qint32> m_slewRate { NeverSet };
    std::atomic<qint32> m_ocpLevel { NeverSet };
    std::atomic<qint32> m_oppLevel { NeverSet };
    std::atomic<qint32> m_uvpLevel { NeverSet };
    std::atomic<bool> m_uvpTrip { false };
    std::atomic<bool> m_ocpTrip { false };
    std::atomic<bool> m_oppTrip { false };
    std::atomic<qint32> m_sineAmplitude { NeverSet };
    std::atomic<int> m_outputOnDwell { 0 }; // s
    // The elapsed-time cut-off as it was before an on-time took it over (engine step only).
    struct CutOffBeforeDwell {
        bool on = false;
        double seconds = 0.0;
    } m_cutOffBeforeDwell;
    bool m_dwellHoldsCutOff = false;
    bool m_applyingDwell = false;
    std::atomic<bool> m_uvpState { false };
    std::atomic<qint32> m_pulseLevelCc { 0 };
    std::atomic<qint32> m_pulseLevelCr { 0 };
    // Pulse timing: frequency in mHz, duty in thousandths of a percent, times in µs.
    std::atomic<qint64> m_pulseFrequency { 1000000 };
    std::atomic<qint32> m_pulseDuty { 50000 };
    std::atomic<quint64> m_pulsePeriod { 1000 };
    std::atomic<quint64> m_pulseHighTime { 500 };
    std::atomic<quint64> m_pulseLowTime { 500 };
    std::atomic<qint64> m_sineFrequency { 1000 };
    std::atomic<bool> m_msyncState { false };
    std::atomic<double> m_ccLevelReal { 0.0 };
    std::atomic<double> m_crLevelReal { 0.0 };
    std::atomic<double> m_pulseLevelCcReal { 0.0 };
    std::atomic<double> m_pulseLevelCrReal { 0.0 };

    // The software load-off timer; created, restarted and deleted only in this object's thread.
    QTimer *m_dwellTimer = nullptr;
    // Seconds the load-off timer still has to run (one timer exists at a time).
    static int timeLeft;

    // Set once at start-up, before the setters run.
    ModeAdjuster m_modeAdjuster;
    CurrentRangeAdjuster m_currentRangeAdjuster;
    VoltageRangeAdjuster m_voltageRangeAdjuster;
};

} // namespace vek
