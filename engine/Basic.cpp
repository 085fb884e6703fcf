#include "engine/Basic.h"

#include "engine/EngineLock.h"
#include "engine/ioc/ProgramStep.h"
#include "instrument/ModelInformation.h"

#include <QDeadlineTimer>
#include <QMutexLocker>

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

// --- Load ---

SCPIERR_T Basic::setOutput(bool on)
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
        m_writer->transfer();
        sendTree();
        m_load = on;
        m_stateLoad = bit;
        step.announce([this, bit] {
            emit outputUiChanged(bit);
        });
        return Error::None;
    }

    // Sent under the status object's load mutex, so that the status word that wakes the wait
    // cannot be processed before the wait begins.
    QMutexLocker loadLock(&m_status->loadMutex());
    m_writer->transfer();
    sendTree();
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
    report.announce([this, reported] {
        emit outputUiChanged(reported);
    });
    return Error::None;
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
