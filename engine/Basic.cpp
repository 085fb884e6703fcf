#include "engine/Basic.h"

#include "engine/EngineLock.h"
#include "engine/ioc/ProgramStep.h"
#include "instrument/BoundValueAcq.h"
#include "instrument/ModelInformation.h"

#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <limits>

namespace vek {

using ioc::IoControl;
using ioc::ProgramStep;
using Mode = KeywordBridge_CcCrCvCpArb;
using CurrentRange = KeywordBridge_LowMedHigh;

namespace {

// Applies the limits of bound as timing says: IfChanged refuses a value outside them (false),
// the other timings clamp it to the violated limit.
bool limitCounts(const BoundValue &bound, qint32 *counts, updateTiming timing)
{
    if (*counts >= bound.m_minCount && *counts <= bound.m_maxCount)
        return true;
    if (timing == UpdateIfChanged)
        return false;
    *counts = qBound(bound.m_minCount, *counts, bound.m_maxCount);
    return true;
}

// The register word of counts within the limits of bound.
quint32 registerWord(const BoundValue &bound, qint32 counts)
{
    return quint32(bound.toRegister(qBound(bound.m_minCount, counts, bound.m_maxCount)));
}

// A level never set reads as the range's maximum, which its first application writes.
double storedValue(const BoundValue &bound, qint32 counts, qint32 neverSet)
{
    return bound.fromCounts(counts == neverSet ? bound.m_maxCount : counts);
}

bool modeIsCvCpArb(SourceMode mode)
{
    return mode == Mode::CV || mode == Mode::CP || mode == Mode::ARB;
}

} // namespace

Basic::Basic(ioc::IoControl *writer,
    ModelInformation *info,
    Status *status,
    InstrumentConfigInfo *config,
    int loadWaitMs)
    : Source(writer, info, status, config)
    , m_loadWaitMs(loadWaitMs)
{
    // The steady program is the step pool's first user, so its nodes lie at or below step 1's.
    if (m_tree.makeSteadyProgram() == 0) {
        m_step1 = m_tree.search(1);
        m_step2 = m_tree.search(2);
        IoControl::setSegmentBasicAddress(m_step1->nodeAddress());
    }
    sendTree();
}

Basic::~Basic() = default;

// --- Bound values of the present ranges ---

const BoundValue &Basic::currentBound() const
{
    return ModelInformation::rangeValue(m_info->currentMap(), int(getCurrentRange()));
}

const BoundValue &Basic::conductanceBound() const
{
    return ModelInformation::rangeValue(m_info->conductanceMap(), int(getCurrentRange()));
}

const BoundValue &Basic::voltageBound() const
{
    return ModelInformation::rangeValue(m_info->voltageMap(), int(m_voltRange.load()));
}

const BoundValue &Basic::powerBound() const
{
    return ModelInformation::rangeValue(m_info->powerMap(), getPowerRange());
}

const BoundValue &Basic::slewRateBound() const
{
    return ModelInformation::rangeValue(m_info->slewRateMap(), int(getCurrentRange()));
}

const BoundValue &Basic::ocpBound() const
{
    return ModelInformation::rangeValue(m_info->ocpMap(), int(getCurrentRange()));
}

const BoundValue &Basic::oppBound() const
{
    return ModelInformation::rangeValue(m_info->oppMap(), getPowerRange());
}

const BoundValue &Basic::uvpBound() const
{
    return ModelInformation::rangeValue(m_info->uvpMap(), int(m_voltRange.load()));
}

// --- Mode and ranges ---

SCPIERR_T Basic::setFunctionMode(SourceMode mode)
{
    EngineStep step;
    if (m_stateLoad)
        return Error::LoadOn;
    if (m_outputShort && modeIsCvCpArb(mode))
        return Error::OutputShort;
    if (m_pulseState && modeIsCvCpArb(mode))
        return Error::PulseRunning;
    if (m_sineState && mode != Mode::CC)
        return Error::SineRunning;
    if (programRunning())
        return Error::ProgramRunning;
    const SCPIERR_T result = applyFunctionMode(mode, step);
    if (result != Error::None)
        return result;

    reapplyMode();
    const bool arb = mode == Mode::ARB;
    changeSteps([arb](ProgramStep *step1, ProgramStep *step2) {
        step1->setARB(arb);
        step2->setARB(arb);
    });
    sendTree();
    if (m_modeAdjuster)
        m_modeAdjuster(mode);
    return Error::None;
}

SCPIERR_T Basic::setFunctionModeCvOption(bool on)
{
    EngineStep step;
    if (programRunning())
        return Error::ProgramRunning;
    const SCPIERR_T result = Source::setFunctionModeCvOption(on);
    if (result != Error::None)
        return result;

    // The controller carries the option out as the UVP function with the limit action and the
    // CV level as UVP level.
    if (on) {
        setVoltageProtectionTripState(false, UpdateIfChanged);
        if (!m_uvpState)
            setVoltageProtectionState(true);
        setRealVoltageLevel(getRealVoltageLevel(), UpdateAlways);
    } else if (m_uvpState) {
        setVoltageProtectionState(false);
    }
    return Error::None;
}

SCPIERR_T Basic::setCurrentRange(SourceCurrentRange range)
{
    EngineStep step;
    if (m_stateLoad)
        return Error::LoadOn;
    const SCPIERR_T result = Source::setCurrentRange(range, UpdateAlways);
    if (result != Error::None)
        return result;

    reapplyCurrentRange();
    if (m_currentRangeAdjuster)
        m_currentRangeAdjuster(range);
    return Error::None;
}

SCPIERR_T Basic::setVoltageRange(SourceVoltageRange range)
{
    EngineStep step;
    if (m_stateLoad)
        return Error::LoadOn;
    const SCPIERR_T result = Source::setVoltageRange(range);
    if (result != Error::None)
        return result;

    switch (m_functionMode.load()) {
    case Mode::CC:
    case Mode::CR:
    case Mode::ARB:
        setPowerProtectionLevel(m_oppLevel, UpdateAlways);
        break;
    case Mode::CV:
        setVoltageLevel(m_cvLevel, UpdateStepsOnly);
        setPowerProtectionLevel(m_oppLevel, UpdateAlways);
        break;
    case Mode::CP:
        setPowerLevel(m_cpLevel, UpdateStepsOnly);
        break;
    }
    if (m_functionModeCvOption)
        setVoltageLevel(m_cvLevel, UpdateStepsOnly);
    setVoltageProtectionLevel(m_uvpLevel, UpdateStepsOnly);
    if (m_voltageRangeAdjuster)
        m_voltageRangeAdjuster(range);
    return Error::None;
}

void Basic::reapplyMode()
{
    switch (m_functionMode.load()) {
    case Mode::CC:
        setIoVoltageProtectionState(m_uvpState);
        setCurrentLevel(m_ccLevel, UpdateStepsOnly);
        setOutputShort(m_outputShort, UpdateStepsOnly);
        setCurrentSlewRateLevel(m_slewRate, UpdateStepsOnly);
        setPowerProtectionLevel(m_oppLevel, UpdateAlways);
        break;
    case Mode::CR:
        setIoVoltageProtectionState(m_uvpState);
        setConductanceLevel(m_crLevel, UpdateStepsOnly);
        setOutputShort(m_outputShort, UpdateStepsOnly);
        setCurrentProtectionLevel(m_ocpLevel, UpdateAlways);
        setPowerProtectionLevel(m_oppLevel, UpdateAlways);
        break;
    case Mode::CV:
        writeUvpBits(false, false);
        setVoltageLevel(m_cvLevel, UpdateStepsOnly);
        setCurrentProtectionLevel(m_ocpLevel, UpdateAlways);
        setPowerProtectionLevel(m_oppLevel, UpdateAlways);
        break;
    case Mode::CP:
        // CP regulates at the CP word; a DC level left from another mode must not act.
        changeSteps([](ProgramStep *step1, ProgramStep *step2) {
            step1->setDc(0);
            step2->setDc(0);
        });
        setIoVoltageProtectionState(m_uvpState);
        setCurrentProtectionLevel(m_ocpLevel, UpdateAlways);
        setPowerLevel(m_cpLevel, UpdateStepsOnly);
        break;
    case Mode::ARB:
        setIoVoltageProtectionState(m_uvpState);
        setCurrentSlewRateLevel(m_slewRate, UpdateStepsOnly);
        setPowerProtectionLevel(m_oppLevel, UpdateAlways);
        break;
    }
}

void Basic::reapplyCurrentRange()
{
    switch (m_functionMode.load()) {
    case Mode::CC:
        setCurrentLevel(m_ccLevel, UpdateStepsOnly);
        setOutputShort(m_outputShort, UpdateStepsOnly);
        setCurrentSlewRateLevel(m_slewRate, UpdateStepsOnly);
        setPowerProtectionLevel(m_oppLevel, UpdateAlways);
        if (m_pulseState)
            setPulseLevelCurrent(m_pulseLevelCc, UpdateAlways);
        break;
    case Mode::CR:
        setConductanceLevel(m_crLevel, UpdateStepsOnly);
        setOutputShort(m_outputShort, UpdateStepsOnly);
        setCurrentProtectionLevel(m_ocpLevel, UpdateAlways);
        setPowerProtectionLevel(m_oppLevel, UpdateAlways);
        if (m_pulseState)
            setPulseLevelConductance(m_pulseLevelCr, UpdateAlways);
        break;
    case Mode::CV:
        setCurrentProtectionLevel(m_ocpLevel, UpdateAlways);
        setPowerProtectionLevel(m_oppLevel, UpdateAlways);
        break;
    case Mode::CP:
        setPowerLevel(m_cpLevel, UpdateStepsOnly);
        setCurrentProtectionLevel(m_ocpLevel, UpdateAlways);
        break;
    case Mode::ARB:
        setCurrentSlewRateLevel(m_slewRate, UpdateStepsOnly);
        setPowerProtectionLevel(m_oppLevel, UpdateAlways);
        break;
    }
}

// --- Levels ---

SCPIERR_T Basic::setRealLevel(double value,
    updateTiming timing,
    const BoundValue &bound,
    qint32 stored,
    CountSetter setter,
    ValueSignal changed,
    bool *announced)
{
    EngineStep step;
    if (announced)
        *announced = false;
    qint32 counts = 0;
    if (bound.toCounts(value, &counts, timing != UpdateIfChanged) != 0)
        return Error::DataOutOfRange;
    if (counts == stored && timing != UpdateAlways)
        return (this->*setter)(counts, timing);
    const SCPIERR_T result = (this->*setter)(counts, timing);
    if (result == Error::None) {
        if (announced)
            *announced = true;
        step.announce([this, changed, value] {
            emit(this->*changed)(value);
        });
    }
    return result;
}

SCPIERR_T Basic::setRealCurrentLevel(double amps, updateTiming timing)
{
    EngineStep step;
    const SCPIERR_T result = setRealLevel(
        amps, timing, currentBound(), m_ccLevel, &Basic::setCurrentLevel, &Basic::currentUiChanged);
    if (result == Error::None)
        m_ccLevelReal = amps;
    return result;
}

SCPIERR_T Basic::setCurrentLevel(qint32 counts, updateTiming timing)
{
    EngineStep step;
    if (counts == m_ccLevel && timing == UpdateIfChanged)
        return Error::None;
    const BoundValue &bound = currentBound();
    if (!limitCounts(bound, &counts, timing))
        return Error::DataOutOfRange;

    // Stored first, so that the pulse level is checked against the new main level.
    if (timing != UpdateStepsOnly)
        m_ccLevel = counts;
    if (m_functionMode == Mode::CC) {
        writeMainLevel(registerWord(bound, counts), timing == UpdateAlways);
        if (m_pulseState)
            setPulseLevelCurrent(m_pulseLevelCc, timing);
        sendTree();
    }
    return Error::None;
}

SCPIERR_T Basic::setRealConductanceLevel(double siemens, updateTiming timing)
{
    EngineStep step;
    const SCPIERR_T result = setRealLevel(siemens,
        timing,
        conductanceBound(),
        m_crLevel,
        &Basic::setConductanceLevel,
        &Basic::conductanceUiChanged);
    // A refused value is not shown: the panel and the pulse depth rest on this one.
    if (result == Error::None)
        m_crLevelReal = siemens;
    return result;
}

SCPIERR_T Basic::setConductanceLevel(qint32 counts, updateTiming timing)
{
    EngineStep step;
    if (counts == m_crLevel && timing == UpdateIfChanged)
        return Error::None;
    const BoundValue &bound = conductanceBound();
    if (!limitCounts(bound, &counts, timing))
        return Error::DataOutOfRange;

    if (timing != UpdateStepsOnly)
        m_crLevel = counts;
    if (m_functionMode == Mode::CR) {
        writeMainLevel(registerWord(bound, counts), timing == UpdateAlways);
        if (m_pulseState)
            setPulseLevelConductance(m_pulseLevelCr, timing);
        sendTree();
    }
    return Error::None;
}

SCPIERR_T Basic::setRealVoltageLevel(double volts, updateTiming timing)
{
    EngineStep step;
    // With the CV option the level is the UVP level too.
    const bool cvOption = m_functionModeCvOption;
    bool announced = false;
    const SCPIERR_T result = setRealLevel(volts,
        timing,
        voltageBound(),
        m_cvLevel,
        &Basic::setVoltageLevel,
        &Basic::voltageUiChanged,
        &announced);
    if (announced && cvOption) {
        step.announce([this, volts] {
            emit voltageProtectUiChanged(volts);
        });
    }
    return result;
}

SCPIERR_T Basic::setVoltageLevel(qint32 counts, updateTiming timing)
{
    EngineStep step;
    if (counts == m_cvLevel && timing == UpdateIfChanged)
        return Error::None;
    const BoundValue &bound = voltageBound();
    if (!limitCounts(bound, &counts, timing))
        return Error::DataOutOfRange;

    const bool cvMode = m_functionMode == Mode::CV;
    const bool cvOption = m_functionModeCvOption;
    const quint32 word = registerWord(bound, counts);
    // The UVP level in counts of its own map, which need not share the voltage map's decimals.
    qint32 uvpCounts = 0;
    const BoundValue &uvp = uvpBound();
    uvp.toCounts(bound.fromCounts(counts), &uvpCounts, true);
    const quint32 uvpWord = registerWord(uvp, uvpCounts);
    if (cvMode) {
        changeSteps(
            [word](ProgramStep *step1, ProgramStep *step2) {
                step1->setDc(word);
                step2->setDc(word);
            },
            timing == UpdateAlways);
    } else if (cvOption) {
        changeSteps(
            [word, uvpWord](ProgramStep *step1, ProgramStep *step2) {
                step1->setCvLimit(word);
                step2->setCvLimit(word);
                step1->setUvp(uvpWord);
                step2->setUvp(uvpWord);
            },
            timing == UpdateAlways);
    }
    if ((cvMode || cvOption) && loadIsOn())
        sendTree();
    if (timing != UpdateStepsOnly) {
        m_cvLevel = counts;
        if (cvOption)
            m_uvpLevel = uvpCounts;
    }
    return Error::None;
}

SCPIERR_T Basic::setRealPowerLevel(double watts, updateTiming timing)
{
    EngineStep step;
    return setRealLevel(
        watts, timing, powerBound(), m_cpLevel, &Basic::setPowerLevel, &Basic::powerUiChanged);
}

SCPIERR_T Basic::setPowerLevel(qint32 counts, updateTiming timing)
{
    EngineStep step;
    if (counts == m_cpLevel && timing == UpdateIfChanged)
        return Error::None;
    const BoundValue &bound = powerBound();
    if (!limitCounts(bound, &counts, timing))
        return Error::DataOutOfRange;

    if (m_functionMode == Mode::CP) {
        const quint32 word = registerWord(bound, counts);
        changeSteps(
            [word](ProgramStep *step1, ProgramStep *step2) {
                step1->setCp(word);
                step2->setCp(word);
            },
            timing == UpdateAlways);
        if (loadIsOn())
            sendTree();
    }
    if (timing != UpdateStepsOnly)
        m_cpLevel = counts;
    return Error::None;
}

SCPIERR_T Basic::setRealCurrentSlewRateLevel(double ampsPerUs, updateTiming timing)
{
    EngineStep step;
    return setRealLevel(ampsPerUs,
        timing,
        slewRateBound(),
        m_slewRate,
        &Basic::setCurrentSlewRateLevel,
        &Basic::slewRateUiChanged);
}

SCPIERR_T Basic::setCurrentSlewRateLevel(qint32 counts, updateTiming timing)
{
    EngineStep step;
    if (counts == m_slewRate && timing == UpdateIfChanged)
        return Error::None;
    const BoundValue &bound = slewRateBound();
    if (!limitCounts(bound, &counts, timing))
        return Error::DataOutOfRange;

    const SourceMode mode = m_functionMode;
    if (mode == Mode::CC || mode == Mode::ARB) {
        const quint32 word = registerWord(bound, counts);
        changeSteps(
            [word](ProgramStep *step1, ProgramStep *step2) {
                step1->setSlewRate(word);
                step2->setSlewRate(word);
            },
            timing == UpdateAlways);
        if (loadIsOn())
            sendTree();
    }
    if (timing != UpdateStepsOnly)
        m_slewRate = counts;
    return Error::None;
}

double Basic::getRealCurrentLevel() const
{
    EngineLocker lock(&engineMutex());
    return currentBound().fromCounts(m_ccLevel);
}

double Basic::getRealConductanceLevel() const
{
    EngineLocker lock(&engineMutex());
    return conductanceBound().fromCounts(m_crLevel);
}

double Basic::getRealVoltageLevel() const
{
    EngineLocker lock(&engineMutex());
    return voltageBound().fromCounts(m_cvLevel);
}

double Basic::getRealPowerLevel() const
{
    EngineLocker lock(&engineMutex());
    return powerBound().fromCounts(m_cpLevel);
}

double Basic::getRealCurrentSlewRateLevel() const
{
    EngineLocker lock(&engineMutex());
    return storedValue(slewRateBound(), m_slewRate, NeverSet);
}

// --- Protection levels ---

SCPIERR_T Basic::setCurrentProtectionLevel(qint32 counts, updateTiming timing)
{
    EngineStep step;
    if (counts == m_ocpLevel && timing != UpdateAlways)
        return Error::None;
    // Protection levels clamp only when forced: a re-application with StepsOnly is refused.
    const BoundValue &high =
        ModelInformation::rangeValue(m_info->ocpMap(), int(CurrentRange::HIGH));
    if (!limitCounts(high, &counts, timing == UpdateAlways ? timing : UpdateIfChanged))
        return Error::DataOutOfRange;

    const SourceMode mode = m_functionMode;
    if (mode != Mode::CC && mode != Mode::ARB) {
        const quint32 word = registerWord(ocpBound(), counts);
        changeSteps([word](ProgramStep *step1, ProgramStep *step2) {
            step1->setCcLimit(word);
            step2->setCcLimit(word);
        });
        if (loadIsOn())
            sendTree();
    }
    m_ocpLevel = counts;
    return Error::None;
}

SCPIERR_T Basic::setPowerProtectionLevel(qint32 counts, updateTiming timing)
{
    EngineStep step;
    if (counts == m_oppLevel && timing != UpdateAlways)
        return Error::None;
    // Power range 5: high voltage and high current range, the widest.
    const BoundValue &widest = ModelInformation::rangeValue(m_info->oppMap(), 5);
    if (!limitCounts(widest, &counts, timing == UpdateAlways ? timing : UpdateIfChanged))
        return Error::DataOutOfRange;

    if (m_functionMode != Mode::CP) {
        const quint32 word = registerWord(oppBound(), counts);
        changeSteps([word](ProgramStep *step1, ProgramStep *step2) {
            step1->setCp(word);
            step2->setCp(word);
        });
        if (loadIsOn())
            sendTree();
    }
    m_oppLevel = counts;
    return Error::None;
}

SCPIERR_T Basic::setVoltageProtectionLevel(qint32 counts, updateTiming timing)
{
    EngineStep step;
    if (counts == m_uvpLevel && timing == UpdateIfChanged)
        return Error::None;
    const BoundValue &bound = uvpBound();
    if (!limitCounts(bound, &counts, timing))
        return Error::DataOutOfRange;

    const BoundValue &voltage = voltageBound();
    qint32 cvCounts = 0;
    voltage.toCounts(bound.fromCounts(counts), &cvCounts, true);
    const quint32 uvpWord = registerWord(bound, counts);
    const quint32 cvWord = registerWord(voltage, cvCounts);
    changeSteps([uvpWord, cvWord](ProgramStep *step1, ProgramStep *step2) {
        step1->setUvp(uvpWord);
        step2->setUvp(uvpWord);
        step1->setCvLimit(cvWord);
        step2->setCvLimit(cvWord);
    });
    if (loadIsOn())
        sendTree();
    if (timing != UpdateStepsOnly) {
        m_uvpLevel = counts;
        if (m_functionModeCvOption)
            m_cvLevel = cvCounts;
    }
    return Error::None;
}

SCPIERR_T Basic::setVoltageProtectionState(bool on)
{
    EngineStep step;
    if (on == m_uvpState)
        return Error::None;
    setIoVoltageProtectionState(on);
    sendTree();
    double shown = std::numeric_limits<double>::max();
    if (on) {
        m_uvpState = true;
        shown = getRealVoltageProtectionLevel();
    } else {
        Source::setFunctionModeCvOption(false);
        m_uvpState = false;
    }
    step.announce([this, shown] {
        emit voltageProtectUiChanged(shown);
    });
    return Error::None;
}

SCPIERR_T Basic::setVoltageProtectionTripState(bool trip, updateTiming timing)
{
    EngineStep step;
    // External CV control works only with the limit action.
    if (m_voltExternal)
        return Error::None;
    if (trip == m_uvpTrip && timing != UpdateAlways)
        return Error::None;
    writeUvpBits(m_uvpState, trip);
    sendTree();
    if (trip)
        Source::setFunctionModeCvOption(false);
    m_uvpTrip = trip;
    step.announce([this, trip] {
        emit voltageProtectStateUiChanged(trip);
    });
    return Error::None;
}

double Basic::getRealCurrentProtectionLevel() const
{
    EngineLocker lock(&engineMutex());
    return storedValue(ocpBound(), m_ocpLevel, NeverSet);
}

double Basic::getRealPowerProtectionLevel() const
{
    EngineLocker lock(&engineMutex());
    return storedValue(oppBound(), m_oppLevel, NeverSet);
}

double Basic::getRealVoltageProtectionLevel() const
{
    EngineLocker lock(&engineMutex());
    return storedValue(uvpBound(), m_uvpLevel, NeverSet);
}

void Basic::setIoVoltageProtectionState(bool on)
{
    writeUvpBits(on, m_uvpTrip);
}

void Basic::writeUvpBits(bool on, bool trip)
{
    // Limit action: the add-CV flag; trip action: the UVP-state flag.
    changeSteps([on, trip](ProgramStep *step1, ProgramStep *step2) {
        step1->setAddCV(on && !trip);
        step2->setAddCV(on && !trip);
        step1->setUvpState(on && trip);
        step2->setUvpState(on && trip);
    });
}

// --- Output short ---

SCPIERR_T Basic::setOutputShort(bool on, updateTiming timing)
{
    EngineStep step;
    if (!m_info->iocShort())
        return Error::UndefinedHeader;
    if (on == m_outputShort && timing == UpdateIfChanged)
        return Error::None;
    const SourceMode mode = m_functionMode;
    if (modeIsCvCpArb(mode))
        return Error::InvalidFunctionMode;
    if (m_pulseState)
        return Error::PulseRunning;
    if (m_sineState)
        return Error::SineRunning;
    if (m_external)
        return Error::ExternalControl;
    if (programRunning())
        return Error::ProgramRunning;

    m_outputShort = on;
    changeSteps([on](ProgramStep *step1, ProgramStep *step2) {
        step1->setOutputShort(on);
        step2->setOutputShort(on);
        if (on) {
            step1->setDc(0xFFFFFFFF);
            step2->setDc(0xFFFFFFFF);
        }
    });
    if (!on && mode == Mode::CR)
        setConductanceLevel(m_crLevel, UpdateStepsOnly);
    else if (!on && mode == Mode::CC)
        setCurrentLevel(m_ccLevel, UpdateStepsOnly);
    if (loadIsOn())
        sendTree();
    if (timing != UpdateStepsOnly) {
        step.announce([this, on] {
            emit outputShortUiChanged(on);
        });
    }
    return Error::None;
}

// --- Pulse levels ---

SCPIERR_T Basic::setRealPulseLevelCurrent(double amps, updateTiming timing)
{
    EngineStep step;
    const SCPIERR_T result = setRealLevel(amps,
        timing,
        currentBound(),
        m_pulseLevelCc,
        &Basic::setPulseLevelCurrent,
        &Basic::currentPulseUiChanged);
    if (result == Error::None)
        m_pulseLevelCcReal = amps;
    return result;
}

SCPIERR_T Basic::setPulseLevelCurrent(qint32 counts, updateTiming timing)
{
    EngineStep step;
    const BoundValue &bound = currentBound();
    // Never above the main level, whatever the timing.
    if (counts > m_ccLevel || counts < bound.m_minCount)
        return Error::DataOutOfRange;
    if (counts == m_pulseLevelCc && timing == UpdateIfChanged)
        return Error::None;

    if (m_pulseState && m_functionMode == Mode::CC) {
        const quint32 word = registerWord(bound, counts);
        changeSteps([word](ProgramStep *, ProgramStep *step2) {
            step2->setDc(word);
        });
        sendTree();
    }
    if (timing != UpdateStepsOnly)
        m_pulseLevelCc = counts;
    return Error::None;
}

SCPIERR_T Basic::setRealPulseLevelConductance(double siemens, updateTiming timing)
{
    EngineStep step;
    const SCPIERR_T result = setRealLevel(siemens,
        timing,
        conductanceBound(),
        m_pulseLevelCr,
        &Basic::setPulseLevelConductance,
        &Basic::conductancePulseUiChanged);
    if (result == Error::None)
        m_pulseLevelCrReal = siemens;
    return result;
}

SCPIERR_T Basic::setPulseLevelConductance(qint32 counts, updateTiming timing)
{
    EngineStep step;
    const BoundValue &bound = conductanceBound();
    if (counts > m_crLevel || counts < bound.m_minCount)
        return Error::DataOutOfRange;
    if (counts == m_pulseLevelCr && timing == UpdateIfChanged)
        return Error::None;

    if (m_pulseState && m_functionMode == Mode::CR) {
        const quint32 word = registerWord(bound, counts);
        changeSteps([word](ProgramStep *, ProgramStep *step2) {
            step2->setDc(word);
        });
        sendTree();
    }
    if (timing != UpdateStepsOnly)
        m_pulseLevelCr = counts;
    return Error::None;
}

double Basic::getRealPulseLevelCurrent() const
{
    EngineLocker lock(&engineMutex());
    return currentBound().fromCounts(m_pulseLevelCc);
}

double Basic::getRealPulseLevelConductance() const
{
    EngineLocker lock(&engineMutex());
    return conductanceBound().fromCounts(m_pulseLevelCr);
}

// --- Pulse timing ---

namespace {

constexpr quint64 MinPulsePeriod = 10; // µs
constexpr quint64 MaxPulsePeriod = 1000000;
constexpr qint32 MinPulseDuty = 5000; // thousandths of a percent
constexpr qint32 MaxPulseDuty = 95000;
constexpr qint64 MinSineFrequency = 1000; // mHz
constexpr qint64 MaxSineFrequency = 10000000;
constexpr double MaxCutOffSeconds = 3600000.0;
constexpr quint64 MaxCutOffMicroseconds = 3600000000000ULL;

// A real value times scale, truncated toward zero, checked in double before the narrowing:
// false for NaN and anything beyond what the count can hold.
bool truncatedCount(double value, double scale, qint64 *count)
{
    const double scaled = value * scale;
    if (!(scaled > -9.0e18 && scaled < 9.0e18))
        return false;
    *count = qint64(scaled);
    return true;
}

// The modulator's sine frequencies in mHz.
constexpr qint64 SineTable[] = { 1000,
    2000,
    3000,
    4000,
    5000,
    6000,
    7000,
    8000,
    9000,
    10000,
    20000,
    30000,
    40000,
    50000,
    60000,
    70000,
    80000,
    90000,
    100000,
    200000,
    300000,
    400000,
    500000,
    600000,
    700000,
    800000,
    900000,
    1000000,
    2000000,
    5000000,
    10000000,
    20000000 };

// The nearest table entry; a value on a midpoint goes to the upper entry.
qint64 nearestSineFrequency(qint64 milliHertz)
{
    const int last = int(sizeof(SineTable) / sizeof(SineTable[0])) - 1;
    for (int i = 0; i < last; ++i) {
        // Twice the midpoint, so that no half is lost to integer division.
        if (SineTable[i] + SineTable[i + 1] > 2 * milliHertz)
            return SineTable[i];
    }
    return SineTable[last];
}

} // namespace

SCPIERR_T Basic::setRealPulseFrequency(double hertz, updateTiming timing)
{
    EngineStep step;
    qint64 milliHertz = 0;
    if (!truncatedCount(hertz, 1000.0, &milliHertz))
        return Error::DataOutOfRange;
    if (milliHertz == m_pulseFrequency && timing != UpdateAlways)
        return setPulseFrequency(milliHertz, timing);
    const SCPIERR_T result = setPulseFrequency(milliHertz, timing);
    if (result == Error::None)
        step.announce([this, hertz] {
            emit pulseFrequencyUiChanged(hertz);
        });
    return result;
}

SCPIERR_T Basic::setPulseFrequency(qint64 milliHertz, updateTiming timing)
{
    EngineStep step;
    if (double(milliHertz) < m_info->pulseMin() * 1000.0
        || double(milliHertz) > m_info->pulseMax() * 1000.0 || milliHertz <= 0)
        return Error::DataOutOfRange;
    if (milliHertz == m_pulseFrequency && timing != UpdateAlways)
        return Error::None;
    // 1e9 / f rounded half away from zero (f is positive).
    const quint64 period = (2000000000ULL / quint64(milliHertz) + 1) / 2;
    // A period the modulator cannot run is refused, not reported as set.
    return setPulseCycleTime(period, timing);
}

SCPIERR_T Basic::setPulseCycleTime(quint64 microseconds, updateTiming timing)
{
    EngineStep step;
    if (microseconds < MinPulsePeriod || microseconds > MaxPulsePeriod)
        return Error::DataOutOfRange;
    if (microseconds == m_pulsePeriod && timing != UpdateAlways)
        return Error::None;
    m_pulsePeriod = microseconds;
    m_pulseFrequency = qint64(1000000000ULL / microseconds);
    return setPulseDutyCycle(m_pulseDuty, UpdateAlways);
}

SCPIERR_T Basic::setRealPulseDutyCycle(double percent, updateTiming timing)
{
    EngineStep step;
    qint64 duty = 0;
    if (!truncatedCount(percent, 1000.0, &duty) || duty < MinPulseDuty || duty > MaxPulseDuty)
        return Error::DataOutOfRange;
    return setPulseDutyCycle(qint32(duty), timing);
}

SCPIERR_T Basic::setPulseDutyCycle(qint32 duty, updateTiming timing)
{
    EngineStep step;
    if (duty < MinPulseDuty || duty > MaxPulseDuty)
        return Error::DataOutOfRange;
    if (duty == m_pulseDuty && timing != UpdateAlways)
        return Error::None;

    // The modulator's shortest step: 5 µs on a 100 kHz model, 20 µs otherwise.
    const quint64 minimum = m_info->pulseMax() == 100000.0 ? 5 : 20;
    const quint64 period = m_pulsePeriod;
    quint64 high = (period * quint64(duty) + 50000) / 100000;
    bool clamped = false;
    if (high <= minimum) {
        high = minimum;
        clamped = true;
    }
    quint64 low = period > high ? period - high : 0;
    if (low < minimum) {
        low = minimum;
        high = period > minimum ? period - minimum : 0;
        clamped = true;
    }
    m_pulseHighTime = high;
    m_pulseLowTime = low;
    if (m_pulseState) {
        changeSteps([high, low](ProgramStep *step1, ProgramStep *step2) {
            step1->setTime(high);
            step2->setTime(low);
        });
        sendTree();
    }
    if (clamped)
        duty = qint32((high * 100 * 2 / period + 1) / 2 * 1000);
    m_pulseDuty = duty;
    step.announce([this, duty] {
        emit pulseDutyCycleUiChanged(duty / 1000.0);
    });
    return Error::None;
}

// --- Sine modulation ---

SCPIERR_T Basic::setRealSineFrequency(double hertz, updateTiming timing)
{
    EngineStep step;
    if (!m_info->hasSine())
        return Error::UndefinedHeader;
    qint64 milliHertz = 0;
    if (!truncatedCount(hertz, 1000.0, &milliHertz))
        return Error::DataOutOfRange;
    if (milliHertz == m_sineFrequency && timing != UpdateAlways)
        return setSineFrequency(milliHertz, timing);
    const SCPIERR_T result = setSineFrequency(milliHertz, timing);
    if (result == Error::None) {
        const double set = m_sineFrequency / 1000.0;
        step.announce([this, set] {
            emit sineFrequencyUiChanged(set);
        });
    }
    return result;
}

SCPIERR_T Basic::setSineFrequency(qint64 milliHertz, updateTiming timing)
{
    EngineStep step;
    if (!m_info->hasSine())
        return Error::UndefinedHeader;
    if (milliHertz < MinSineFrequency || milliHertz > MaxSineFrequency)
        return Error::DataOutOfRange;
    const qint64 frequency = nearestSineFrequency(milliHertz);
    if (frequency != m_sineFrequency || timing == UpdateAlways) {
        m_writer->setSineFrequency(uint(50000000.0 / double(frequency) - 0.5));
        m_writer->transfer();
        m_sineFrequency = frequency;
    }
    return Error::None;
}

// --- Cut-offs ---

SCPIERR_T Basic::setOutputCutOffElapsedTime(double seconds, updateTiming timing)
{
    EngineStep step;
    if (!m_info->iocCutoff())
        return Error::UndefinedHeader;
    if (!m_applyingDwell)
        m_dwellHoldsCutOff = false;
    quint64 microseconds = 0;
    if (seconds >= 0.0 && seconds <= MaxCutOffSeconds)
        microseconds = quint64(seconds * 1000000.0);
    else if (timing != UpdateAlways || std::isnan(seconds))
        return Error::DataOutOfRange;
    else
        microseconds = seconds < 0.0 ? 0 : MaxCutOffMicroseconds;
    if (microseconds == m_writer->cutOffElapsedTime() && timing != UpdateAlways)
        return Error::None;
    m_writer->setCutOffElapsedTime(microseconds);
    m_writer->transfer();
    step.announce([this, microseconds] {
        emit cutOffETimeUiChanged(microseconds);
    });
    return Error::None;
}

SCPIERR_T Basic::setOutputCutOffElapsedTimeState(bool on)
{
    EngineStep step;
    if (!m_info->iocCutoff())
        return Error::UndefinedHeader;
    if (!m_applyingDwell)
        m_dwellHoldsCutOff = false;
    if (on == m_writer->cutOffElapsedTimeState())
        return Error::None;
    m_writer->setCutOffElapsedTimeState(on);
    m_writer->transfer();
    step.announce([this, on] {
        emit cutOffETimeStateUiChanged(on);
    });
    return Error::None;
}

double Basic::getOutputCutOffElapsedTime() const
{
    return double(m_writer->cutOffElapsedTime()) / 1000000.0;
}

bool Basic::getOutputCutOffElapsedTimeState() const
{
    return m_writer->cutOffElapsedTimeState();
}

// --- Mutual sync ---

SCPIERR_T Basic::setMSyncState(bool on)
{
    EngineStep step;
    const bool link = m_status->linkOn();
    const bool value = on && link;
    if (value != m_msyncState) {
        m_writer->setOutputMSyncState(value);
        m_writer->transfer();
        m_msyncState = value;
        step.announce([this, value] {
            emit msyncStateUiChanged(value);
        });
    }
    // Only a request for m-sync is refused without the link; switching it off always succeeds.
    return on && !link ? Error::MSyncNotEstablished : Error::None;
}

// --- Load ---

SCPIERR_T Basic::setOutput(bool on)
{
    // A caller with its own step open keeps the engine locked: waiting for this thread could
    // deadlock on it, so such a caller switches in place.
    if (QThread::currentThread() == thread() || EngineStep::held() || !thread()->isRunning())
        return switchLoad(on);
    SCPIERR_T result = Error::ExecutionError;
    QMetaObject::invokeMethod(
        this,
        [this, on, &result] {
            result = switchLoad(on);
        },
        Qt::BlockingQueuedConnection);
    return result;
}

SCPIERR_T Basic::switchLoad(bool on)
{
    EngineStep step;
    if (programRunning())
        return Error::ProgramRunning;

    m_writer->clearCutoff();
    // The external load-on input can hold the load off while the request stays stored.
    const bool bit = on && m_extLoad;
    changeSteps([bit](ProgramStep *step1, ProgramStep *step2) {
        step1->setLoad(bit);
        step2->setLoad(bit);
    });
    if (!m_status) {
        sendLoadSwitch();
        m_load = on;
        m_stateLoad = bit;
        followDwellTimerSafely(on);
        step.announce([this, bit] {
            emit outputUiChanged(bit);
        });
        return Error::None;
    }

    // Sent under the status object's load mutex, so that the status word that wakes the wait
    // cannot be processed before the wait begins.
    QMutexLocker loadLock(&m_status->loadMutex());
    sendLoadSwitch();
    m_load = on;
    // Until the report, a switch on counts as load on for the other setters' checks.
    if (bit) {
        ++m_loadSwitchesOn;
        m_stateLoad = true;
    }
    // The wait runs with the engine unlocked (a step opened by a caller stays locked). A status
    // word read before the switch may wake it first: wait for the state asked for, bounded for
    // a switch the controller refuses.
    step.unlock();
    QDeadlineTimer deadline(m_loadWaitMs);
    while (m_status->loadOn() != bit
        && m_status->loadCondition().wait(&m_status->loadMutex(), deadline)) { }
    loadLock.unlock();

    // The state reported now, not when the wait ended: a later switch may have been reported
    // in between.
    EngineStep report;
    if (bit)
        --m_loadSwitchesOn;
    const bool reported = m_status->loadOn();
    m_stateLoad = reported || m_loadSwitchesOn > 0;
    const bool refused = reported != bit;
    // A switch the controller did not carry out leaves the request at the state it has.
    if (refused && m_load == on)
        m_load = reported;
    followDwellTimerSafely(m_load);
    report.announce([this, reported] {
        emit outputUiChanged(reported);
    });
    return refused ? Error::ExecutionError : Error::None;
}

void Basic::sendLoadSwitch()
{
    // A partner in m-sync must not take the switch as its own until the program is there.
    const bool msync = m_msyncState;
    if (msync) {
        m_writer->setPriorityMSyncState(false);
        m_writer->transfer();
        QThread::msleep(20);
    }
    m_writer->transfer();
    sendTree();
    if (msync) {
        m_writer->setPriorityMSyncState(true);
        m_writer->transfer();
    }
}

// --- Load-off timer ---

int Basic::timeLeft = 0;

namespace {

// The longest single interval of the load-off timer, s.
constexpr int DwellChunkSeconds = 1800000;

} // namespace

SCPIERR_T Basic::setOutputOnDwell(int seconds)
{
    EngineStep step;
    m_outputOnDwell = seconds;
    if (!m_info->iocCutoff())
        return Error::None;
    // The controller's elapsed-time cut-off ends the on-time. It is borrowed: the state and time
    // it had before come back when the load is next switched on without an on-time, unless they
    // were set explicitly meanwhile; otherwise every later switch-on would end after the old time.
    m_applyingDwell = true;
    if (seconds > 0) {
        if (!m_dwellHoldsCutOff) {
            m_cutOffBeforeDwell = { getOutputCutOffElapsedTimeState(), getOutputCutOffElapsedTime() };
            m_dwellHoldsCutOff = true;
        }
        setOutputCutOffElapsedTimeState(true);
        setOutputCutOffElapsedTime(seconds, UpdateIfChanged);
    } else if (m_dwellHoldsCutOff) {
        m_dwellHoldsCutOff = false;
        setOutputCutOffElapsedTime(m_cutOffBeforeDwell.seconds, UpdateIfChanged);
        setOutputCutOffElapsedTimeState(m_cutOffBeforeDwell.on);
    }
    m_applyingDwell = false;
    return Error::None;
}

void Basic::followDwellTimerSafely(bool loadOn)
{
    if (QThread::currentThread() == thread()) {
        followDwellTimer(loadOn);
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, loadOn] {
            followDwellTimer(loadOn);
        },
        Qt::QueuedConnection);
}

void Basic::followDwellTimer(bool loadOn)
{
    if (m_info->iocCutoff())
        return;
    if (!loadOn || m_outputOnDwell <= 0) {
        // Possibly from within its own timeout: deleted once that has returned.
        if (m_dwellTimer)
            m_dwellTimer->deleteLater();
        m_dwellTimer = nullptr;
        return;
    }
    if (m_dwellTimer)
        return;
    m_dwellTimer = new QTimer(this);
    m_dwellTimer->setInterval(0);
    timeLeft = m_outputOnDwell;
    connect(m_dwellTimer, &QTimer::timeout, this, &Basic::onDwellTimeout);
    m_dwellTimer->start();
}

void Basic::onDwellTimeout()
{
    QTimer *timer = qobject_cast<QTimer *>(sender());
    if (!timer || timer != m_dwellTimer)
        return;
    if (timeLeft > DwellChunkSeconds) {
        timeLeft -= DwellChunkSeconds;
        timer->setInterval(DwellChunkSeconds * 1000);
    } else if (timeLeft > 0) {
        timer->setSingleShot(true);
        timer->setInterval(timeLeft * 1000);
        timer->start();
        timeLeft = 0;
    } else if (!programRunning()) {
        switchLoad(false);
    }
}

// --- Protections ---

namespace {

// value x 10^power rounded half away from zero, checked in double before the narrowing.
bool roundedCounts(double value, int power, qint32 *counts)
{
    const double scaled = std::round(value * std::pow(10.0, power));
    if (!(scaled >= double(std::numeric_limits<qint32>::min())
            && scaled <= double(std::numeric_limits<qint32>::max())))
        return false;
    *counts = qint32(scaled);
    return true;
}

} // namespace

SCPIERR_T Basic::setRealCurrentProtectionLevel(double amps, updateTiming timing)
{
    EngineStep step;
    // Decimals only: the count setter checks against the widest range.
    qint32 counts = 0;
    if (!roundedCounts(amps, ocpBound().m_power, &counts))
        return Error::DataOutOfRange;
    if (counts == m_ocpLevel && timing != UpdateAlways)
        return Error::None;
    const SCPIERR_T result = setCurrentProtectionLevel(counts, timing);
    if (result == Error::None)
        step.announce([this, amps] {
            emit currentProtectUiChanged(amps);
        });
    return result;
}

SCPIERR_T Basic::setRealPowerProtectionLevel(double watts, updateTiming timing)
{
    EngineStep step;
    qint32 counts = 0;
    if (!roundedCounts(watts, oppBound().m_power, &counts))
        return Error::DataOutOfRange;
    if (counts == m_oppLevel && timing != UpdateAlways)
        return Error::None;
    const SCPIERR_T result = setPowerProtectionLevel(counts, timing);
    if (result == Error::None)
        step.announce([this, watts] {
            emit powerProtectUiChanged(watts);
        });
    return result;
}

SCPIERR_T Basic::setRealVoltageProtectionLevel(double volts, updateTiming timing)
{
    EngineStep step;
    bool announced = false;
    const SCPIERR_T result = setRealLevel(volts,
        timing,
        uvpBound(),
        m_uvpLevel,
        &Basic::setVoltageProtectionLevel,
        &Basic::voltageProtectUiChanged,
        &announced);
    // The UVP read-out shows no level while the function is off.
    if (announced && !m_uvpState)
        step.announce([this] {
            emit voltageProtectUiChanged(std::numeric_limits<double>::max());
        });
    return result;
}

void Basic::writeTripFlag(bool overCurrent, bool trip)
{
    changeSteps([overCurrent, trip](ProgramStep *step1, ProgramStep *step2) {
        if (overCurrent) {
            step1->setOcTripAction(trip);
            step2->setOcTripAction(trip);
        } else {
            step1->setOpTripAction(trip);
            step2->setOpTripAction(trip);
        }
    });
    sendTree();
}

SCPIERR_T Basic::setCurrentProtectionTripState(bool trip)
{
    EngineStep step;
    if (trip == m_ocpTrip)
        return Error::None;
    writeTripFlag(true, trip);
    m_ocpTrip = trip;
    step.announce([this, trip] {
        emit currentProtectStateUiChanged(trip);
    });
    return Error::None;
}

SCPIERR_T Basic::setPowerProtectionTripState(bool trip)
{
    EngineStep step;
    if (trip == m_oppTrip)
        return Error::None;
    writeTripFlag(false, trip);
    m_oppTrip = trip;
    step.announce([this, trip] {
        emit powerProtectStateUiChanged(trip);
    });
    return Error::None;
}

SCPIERR_T Basic::setVoltageExternal(bool on)
{
    EngineStep step;
    // The source's checks first, so that a refusal leaves the UVP action as it was.
    const SCPIERR_T result = Source::setVoltageExternal(on);
    if (result != Error::None || on != m_voltExternal)
        return result;
    writeUvpBits(m_uvpState, on ? false : bool(m_uvpTrip));
    sendTree();
    return Error::None;
}

SCPIERR_T Basic::clearProtection()
{
    EngineStep step;
    if (!m_status || !m_status->protectionActive())
        return Error::None;
    // The load stays off after a protection. Its bit goes before the alarm is cleared, so that
    // a controller re-applying the steps never switches the load back into the fault.
    if (!programRunning()) {
        changeSteps([](ProgramStep *step1, ProgramStep *step2) {
            step1->setLoad(false);
            step2->setLoad(false);
        });
        m_load = false;
        sendTree();
    }
    Source::clearProtection();
    QThread::msleep(20);
    if (programRunning())
        return Error::None;
    // The steady program restarts.
    const IoControl::ProgramCommand start = m_pulseState ? IoControl::TranPulseInit
        : m_sineState                                    ? IoControl::TranSineInit
                                                         : IoControl::Tran;
    m_writer->progCommand(start, IoControl::ViaCommandRegister);
    sendTree();
    m_writer->transfer();
    return Error::None;
}

void Basic::onExtAlarmClear()
{
    clearProtection();
}

// --- Cut-offs ---

const BoundValueAcq &Basic::capacityEntry() const
{
    // Keyed by the controller's current range code: High 0, Low 1, Medium 2.
    static const int codeOfIndex[] = { 1, 2, 0 };
    return ModelInformation::rangeValue(m_info->capacityMap(), codeOfIndex[int(getCurrentRange())]);
}

const BoundValueAcq &Basic::energyEntry() const
{
    // Keyed by voltage code x 4 + current code (voltage High 0, Low 1).
    static const int codeOfIndex[] = { 1, 2, 0 };
    const int voltageCode = m_voltRange == KeywordBridge_LowHigh::LOW ? 1 : 0;
    return ModelInformation::rangeValue(
        m_info->energyMap(), voltageCode * 4 + codeOfIndex[int(getCurrentRange())]);
}

SCPIERR_T Basic::setCutOffLevel(double value,
    updateTiming timing,
    double minimum,
    double maximum,
    const std::function<bool(double, qint64 *)> &toCount,
    const std::function<qint64()> &present,
    const std::function<void(qint64)> &write,
    const std::function<void(double)> &announce)
{
    EngineStep step;
    if (!m_info->iocCutoff())
        return Error::UndefinedHeader;
    if (std::isnan(value))
        return Error::DataOutOfRange;
    if (value < minimum || value > maximum) {
        if (timing != UpdateAlways)
            return Error::DataOutOfRange;
        value = qBound(minimum, value, maximum);
    }
    qint64 count = 0;
    if (!toCount(value, &count))
        return Error::DataOutOfRange;
    const bool changed = count != present() || timing == UpdateAlways;
    write(count);
    m_writer->transfer();
    if (changed)
        step.announce([announce, value] {
            announce(value);
        });
    return Error::None;
}

SCPIERR_T Basic::setOutputCutOffVoltage(double volts, updateTiming timing)
{
    EngineStep step;
    const BoundValue &bound = uvpBound();
    return setCutOffLevel(
        volts,
        timing,
        bound.m_min,
        bound.m_max,
        [&bound](double v, qint64 *count) {
            qint32 counts = 0;
            if (bound.toCounts(v, &counts, true) != 0)
                return false;
            *count = registerWord(bound, counts);
            return true;
        },
        [this] {
            return qint64(m_writer->cutOffVoltage());
        },
        [this](qint64 word) {
            m_writer->setCutOffVoltage(uint(word));
        },
        [this](double v) {
            emit cutOffVoltageUiChanged(v);
        });
}

namespace {

// A quantity in units of scale, truncated toward zero, checked in double first.
bool scaledCount(double value, double scale, qint64 *count)
{
    if (!(scale > 0.0))
        return false;
    const double scaled = value / scale;
    if (!(scaled > -9.0e18 && scaled < 9.0e18))
        return false;
    *count = qint64(scaled);
    return true;
}

} // namespace

SCPIERR_T Basic::setOutputCutOffCapacity(double ampHours, updateTiming timing)
{
    EngineStep step;
    const double scale = capacityEntry().m_factor;
    return setCutOffLevel(
        ampHours,
        timing,
        m_info->cutoffCapacityMin(),
        m_info->cutoffCapacityMax(),
        [scale](double v, qint64 *count) {
            return scaledCount(v, scale, count);
        },
        [this] {
            return m_writer->cutOffCapacity();
        },
        [this](qint64 count) {
            m_writer->setCutOffCapacity(count);
        },
        [this](double v) {
            emit cutOffCapacityUiChanged(v);
        });
}

SCPIERR_T Basic::setOutputCutOffEnergy(double wattHours, updateTiming timing)
{
    EngineStep step;
    const double scale = energyEntry().m_factor;
    return setCutOffLevel(
        wattHours,
        timing,
        m_info->cutoffEnergyMin(),
        m_info->cutoffEnergyMax(),
        [scale](double v, qint64 *count) {
            return scaledCount(v, scale, count);
        },
        [this] {
            return m_writer->cutOffEnergy();
        },
        [this](qint64 count) {
            m_writer->setCutOffEnergy(count);
        },
        [this](double v) {
            emit cutOffEnergyUiChanged(v);
        });
}

SCPIERR_T Basic::setCutOffState(quint32 bit, bool on, void (Basic::*changed)(bool))
{
    EngineStep step;
    if (!m_info->iocCutoff())
        return Error::UndefinedHeader;
    if (on == bool(m_writer->cutOffState() & bit))
        return Error::None;
    switch (bit) {
    case ioc::Cutoff::VoltageOn:
        m_writer->setCutOffVoltageState(on);
        break;
    case ioc::Cutoff::CapacityOn:
        m_writer->setCutOffCapacityState(on);
        break;
    case ioc::Cutoff::EnergyOn:
        m_writer->setCutOffEnergyState(on);
        break;
    default:
        m_writer->setCutOffElapsedTimeState(on);
        break;
    }
    m_writer->transfer();
    step.announce([this, changed, on] {
        emit(this->*changed)(on);
    });
    return Error::None;
}

SCPIERR_T Basic::setOutputCutOffVoltageState(bool on)
{
    return setCutOffState(ioc::Cutoff::VoltageOn, on, &Basic::cutOffVoltageStateUiChanged);
}

SCPIERR_T Basic::setOutputCutOffCapacityState(bool on)
{
    return setCutOffState(ioc::Cutoff::CapacityOn, on, &Basic::cutOffCapacityStateUiChanged);
}

SCPIERR_T Basic::setOutputCutOffEnergyState(bool on)
{
    return setCutOffState(ioc::Cutoff::EnergyOn, on, &Basic::cutOffEnergyStateUiChanged);
}

double Basic::getOutputCutOffVoltage() const
{
    EngineLocker lock(&engineMutex());
    return uvpBound().toRealValueEx(m_writer->cutOffVoltage());
}

double Basic::getOutputCutOffCapacity() const
{
    EngineLocker lock(&engineMutex());
    return double(m_writer->cutOffCapacity()) * capacityEntry().m_factor;
}

double Basic::getOutputCutOffEnergy() const
{
    EngineLocker lock(&engineMutex());
    return double(m_writer->cutOffEnergy()) * energyEntry().m_factor;
}

bool Basic::getOutputCutOffVoltageState() const
{
    return m_writer->cutOffState() & ioc::Cutoff::VoltageOn;
}

bool Basic::getOutputCutOffCapacityState() const
{
    return m_writer->cutOffState() & ioc::Cutoff::CapacityOn;
}

bool Basic::getOutputCutOffEnergyState() const
{
    return m_writer->cutOffState() & ioc::Cutoff::EnergyOn;
}

SCPIERR_T Basic::clearCutoff()
{
    EngineStep step;
    if (!programRunning()) {
        step.unlock();
        setOutput(false);
    }
    EngineStep clear;
    m_writer->clearCutoff();
    m_writer->transfer();
    clear.announce([this] {
        emit cutoffUiCleared();
    });
    return Error::None;
}

// --- Modulation on and off ---

void Basic::setWaveformTriggerOut(bool on)
{
    changeSteps([on](ProgramStep *step1, ProgramStep *step2) {
        // The width replaces the trigger-out bit too, so it goes first.
        if (on) {
            step1->setTriggerOutPulseWidth(10);
            step2->setTriggerOutPulseWidth(10);
        }
        step1->setTriggerOut(on);
        step2->setTriggerOut(false);
    });
}

SCPIERR_T Basic::setPulseState(bool on)
{
    EngineStep step;
    if (on == m_pulseState)
        return Error::None;
    const SourceMode mode = m_functionMode;
    if (modeIsCvCpArb(mode))
        return Error::InvalidFunctionMode;
    if (m_outputShort)
        return Error::OutputShort;
    if (programRunning())
        return Error::ProgramRunning;

    m_writer->progCommand(IoControl::TranAbort, IoControl::ViaProgramGroup);
    m_writer->transfer();
    {
        QMutexLocker lock(&stateMutex());
        m_sineState = false;
        m_pulseState = on;
    }
    setWaveformTriggerOut(on);
    if (on) {
        setPulseFrequency(m_pulseFrequency, UpdateAlways);
        if (mode == Mode::CR)
            setPulseLevelConductance(m_pulseLevelCr, UpdateAlways);
        else
            setPulseLevelCurrent(m_pulseLevelCc, UpdateAlways);
        sendTree();
        m_writer->progCommand(IoControl::TranPulseInit, IoControl::ViaCommandRegister);
    } else {
        if (mode == Mode::CR)
            setConductanceLevel(m_crLevel, UpdateStepsOnly);
        else
            setCurrentLevel(m_ccLevel, UpdateStepsOnly);
        sendTree();
        m_writer->progCommand(IoControl::Tran, IoControl::ViaCommandRegister);
    }
    m_writer->transfer();
    step.announce([this, on] {
        emit waveformStateUiChanged(on ? 1 : 0);
    });
    return Error::None;
}

SCPIERR_T Basic::setSineState(bool on)
{
    EngineStep step;
    if (!m_info->hasSine())
        return Error::UndefinedHeader;
    if (on == m_sineState)
        return Error::None;
    if (m_functionMode != Mode::CC)
        return Error::InvalidFunctionMode;
    if (m_outputShort)
        return Error::OutputShort;
    if (programRunning())
        return Error::ProgramRunning;

    m_writer->progCommand(IoControl::TranAbort, IoControl::ViaProgramGroup);
    m_writer->transfer();
    {
        QMutexLocker lock(&stateMutex());
        m_pulseState = false;
        m_sineState = on;
    }
    setWaveformTriggerOut(on);
    setCurrentLevel(m_ccLevel, UpdateStepsOnly);
    sendTree();
    m_writer->progCommand(
        on ? IoControl::TranSineInit : IoControl::Tran, IoControl::ViaCommandRegister);
    m_writer->transfer();
    step.announce([this, on] {
        emit waveformStateUiChanged(on ? 2 : 0);
    });
    return Error::None;
}

SCPIERR_T Basic::setRealSineAmplitude(double amps, updateTiming timing)
{
    EngineStep step;
    if (!m_info->hasSine())
        return Error::UndefinedHeader;
    return setRealLevel(amps,
        timing,
        currentBound(),
        m_sineAmplitude,
        &Basic::setSineLevelCurrent,
        &Basic::currentSineUiChanged);
}

SCPIERR_T Basic::setSineLevelCurrent(qint32 counts, updateTiming timing)
{
    EngineStep step;
    if (!m_info->hasSine())
        return Error::UndefinedHeader;
    if (counts == m_sineAmplitude && timing != UpdateAlways)
        return Error::None;
    const BoundValue &bound = currentBound();
    if (!limitCounts(bound, &counts, timing))
        return Error::DataOutOfRange;
    m_writer->setSineAmplitude(registerWord(bound, counts));
    m_writer->transfer();
    m_sineAmplitude = counts;
    return Error::None;
}

double Basic::getRealSineAmplitude() const
{
    EngineLocker lock(&engineMutex());
    return storedValue(currentBound(), m_sineAmplitude, NeverSet);
}

// --- M-sync load switch and the external load input ---

SCPIERR_T Basic::setMSyncStateImmediate(bool on)
{
    {
        EngineStep step;
        if (programRunning())
            return Error::ProgramRunning;
        if (!m_status || !m_status->linkOn() || !m_msyncState)
            return Error::MSyncNotEstablished;
        m_writer->msyncCommand(true);
        m_writer->transfer();
    }
    const SCPIERR_T result = setOutput(on);
    EngineStep step;
    m_writer->msyncCommand(false);
    m_writer->transfer();
    return result;
}

void Basic::onExtLoadChange(bool on, bool flagOnly)
{
    {
        EngineStep step;
        m_extLoad = on;
    }
    if (!flagOnly && !programRunning()) {
        // On switches the load on; off holds it off while m_load keeps the request.
        setOutput(on ? true : bool(m_load));
    }
    const bool logicPositive =
        !m_status || m_status->outputExternalLogic() == KeywordBridge_PosNeg::POS;
    emit outputExternalUiChanged(on, logicPositive);
}

// --- Steps ---

void Basic::changeSteps(
    const std::function<void(ProgramStep *, ProgramStep *)> &change, bool resend)
{
    if (!m_step1)
        return;
    QMutexLocker lock(&IoControl::shadowMutex());
    change(m_step1, m_step2);
    // setLoad marks the data record even when the bit stays: a forced setting travels again.
    if (resend) {
        m_step1->setLoad(m_step1->isLoad());
        m_step2->setLoad(m_step2->isLoad());
    }
}

void Basic::sendTree()
{
    m_tree.transferTo(*m_writer);
}

void Basic::writeMainLevel(quint32 word, bool resend)
{
    const bool pulse = m_pulseState;
    // A short holds the DC words at all ones until it ends; the level waits in the setting.
    const bool shorted = m_outputShort;
    changeSteps(
        [word, pulse, shorted](ProgramStep *step1, ProgramStep *step2) {
            if (!shorted)
                step1->setDc(word);
            // While pulsing step 2 keeps the pulse level and both keep the pulse timing.
            if (!pulse) {
                if (!shorted)
                    step2->setDc(word);
                step1->setTime(ProgramStep::MaxTime);
                step2->setTime(ProgramStep::MaxTime);
            }
        },
        resend);
}

// --- Slots ---

void Basic::initialize()
{
    Source::initialize();
    EngineStep step;
    changeSteps([](ProgramStep *step1, ProgramStep *step2) {
        step1->setLoad(false);
        step2->setLoad(false);
    });
    m_writer->progCommand(IoControl::Tran, IoControl::ViaProgramGroup);
    sendTree();
    m_writer->transfer();
}

void Basic::onExtCurrentRangeChange(vek::Status::ExternalRange range)
{
    EngineStep step;
    const quint32 bits = quint32(range);
    if (bits == 0 || bits == IoControl::CurrentLow || bits == IoControl::CurrentMedium)
        m_extCurrIoRange = bits;
    setCurrentRange(m_currRange.load());
}

} // namespace vek
