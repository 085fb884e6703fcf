#include "commands/SourceValues.h"

#include "commands/DictIndexNative.h"
#include "engine/Basic.h"
#include "instrument/ModelInformation.h"

#include <memory>

namespace {

using vek::Basic;
using vek::Source;

// The entry of a model range table for the present current range (power tables: the present
// power range; voltage tables: the present voltage range), or null without model information.
using TableOf = const QMap<int, BoundValue> &(ModelInformation::*)() const;

ValueRealSetting::Entry currentRangeEntry(const ModelInformation *info, TableOf table)
{
    return [info, table]() -> const BoundValue * {
        return info
            ? &ModelInformation::rangeValue((info->*table)(), int(Source::getCurrentRange()))
            : nullptr;
    };
}

ValueRealSetting::Entry powerRangeEntry(const ModelInformation *info, TableOf table)
{
    return [info, table]() -> const BoundValue * {
        return info ? &ModelInformation::rangeValue((info->*table)(), Source::getPowerRange())
                    : nullptr;
    };
}

ValueRealSetting::Entry voltageRangeEntry(const ModelInformation *info, TableOf table)
{
    return [info, table]() -> const BoundValue * {
        return info
            ? &ModelInformation::rangeValue((info->*table)(), int(Source::m_voltRange.load()))
            : nullptr;
    };
}

using RealSetter = vek::SCPIERR_T (Basic::*)(double, vek::updateTiming);
using RealGetter = double (Basic::*)() const;

ValueRealSetting::Setter levelSetter(Basic *basic, RealSetter set)
{
    return [basic, set](double v) {
        return int((basic->*set)(v, vek::UpdateIfChanged));
    };
}

ValueRealSetting::Getter levelGetter(Basic *basic, RealGetter get)
{
    return [basic, get]() {
        return (basic->*get)();
    };
}

template <class V> std::shared_ptr<void> made(V *value)
{
    return std::shared_ptr<void>(std::shared_ptr<V>(value));
}

// A level of the range tables: setter and getter of the basic settings.
std::shared_ptr<void> level(unsigned id,
    const ValueEngine &e,
    RealSetter set,
    RealGetter get,
    ValueRealSetting::Entry entry)
{
    return made(new ValueRealSetting(
        id, levelSetter(e.basic, set), levelGetter(e.basic, get), std::move(entry)));
}

// The triggered level: refused with -113, reads its twin's level and limits.
class ValueTriggeredLevel : public ValueTriggered<ValueRealSetting>
{
public:
    ValueTriggeredLevel(unsigned id, const ValueEngine &e, RealGetter get)
        : ValueTriggered<ValueRealSetting>(id,
            ValueRealSetting::Setter([](double) {
                return -113;
            }),
            levelGetter(e.basic, get),
            ValueRealSetting::Entry())
    { }
};

std::shared_ptr<void> triggered(unsigned id, const ValueEngine &e, RealGetter get)
{
    return made(new ValueTriggeredLevel(id, e, get));
}

// A real with fixed limits (range check when they differ).
std::shared_ptr<void> fixedReal(
    unsigned id, ValueRealSetting::Setter set, ValueRealSetting::Getter get, double min, double max)
{
    return made(new ValueRealSetting(id, std::move(set), std::move(get), min, max));
}

// First and last time of a model time table (0, 0 when it is empty).
std::pair<double, double> timeSpan(const QVector<QPair<double, qint32>> &table)
{
    if (table.isEmpty())
        return { 0.0, 0.0 };
    return { table.first().first, table.last().first };
}

std::shared_ptr<void> makeSwitch(
    unsigned id, ValueSwitchSetting::Setter set, ValueSwitchSetting::Getter get)
{
    return made(new ValueSwitchSetting(id, std::move(set), std::move(get)));
}

// Starts pulse (or sine) modulation unless either already runs.
int startModulation(Basic *basic, bool pulse)
{
    if (pulse ? Source::m_sineState.load() : Source::m_pulseState.load())
        return pulse ? 113 : 105;
    if (pulse ? Source::m_pulseState.load() : Source::m_sineState.load())
        return -213;
    return int(pulse ? basic->setPulseState(true) : basic->setSineState(true));
}

const ValueMakerRow s_rows[] = {
    { ValueCurr::Id, makeValue<ValueCurr> },
    { ValueCurrTrig::Id, makeValue<ValueCurrTrig> },
    { ValueVoltResp::Id, makeValue<ValueVoltResp> },
    { 130,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            // The program-step level commands take the unit of the mode set last, whoever set it.
            if (b)
                b->setModeAdjuster([](vek::SourceMode mode) {
                    DictIndexNative::swapUnitSuffix(static_cast<unsigned char>(mode));
                });
            return made(new ValueKeywordSetting<KeywordBridge_CcCrCvCpArb>(
                130,
                [b](vek::SourceMode m) {
                    return int(b->setFunctionMode(m));
                },
                [] {
                    return static_cast<unsigned char>(Source::m_functionMode.load());
                }));
        } },
    { 131,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return makeSwitch(
                131,
                [b](bool on) {
                    return int(b->setFunctionModeCvOption(on));
                },
                [] {
                    return Source::m_functionModeCvOption.load();
                });
        } },
    { 123,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return made(new ValueKeywordSetting<KeywordBridge_LowMedHigh>(
                123,
                [b](vek::SourceCurrentRange r) {
                    return int(b->setCurrentRange(r));
                },
                [] {
                    return static_cast<unsigned char>(Source::getCurrentRange());
                }));
        } },
    { 173,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return made(new ValueKeywordSetting<KeywordBridge_LowHigh>(
                173,
                [b](vek::SourceVoltageRange r) {
                    return int(b->setVoltageRange(r));
                },
                [] {
                    return static_cast<unsigned char>(Source::m_voltRange.load());
                }));
        } },
    { 100,
        [](const ValueEngine &e) {
            return level(100,
                e,
                &Basic::setRealConductanceLevel,
                &Basic::getRealConductanceLevel,
                currentRangeEntry(e.info, &ModelInformation::conductanceMap));
        } },
    { 102,
        [](const ValueEngine &e) {
            return triggered(102, e, &Basic::getRealConductanceLevel);
        } },
    { 160,
        [](const ValueEngine &e) {
            return level(160,
                e,
                &Basic::setRealPowerLevel,
                &Basic::getRealPowerLevel,
                powerRangeEntry(e.info, &ModelInformation::powerMap));
        } },
    { 163,
        [](const ValueEngine &e) {
            return triggered(163, e, &Basic::getRealPowerLevel);
        } },
    { 170,
        [](const ValueEngine &e) {
            return level(170,
                e,
                &Basic::setRealVoltageLevel,
                &Basic::getRealVoltageLevel,
                voltageRangeEntry(e.info, &ModelInformation::voltageMap));
        } },
    { 177,
        [](const ValueEngine &e) {
            return triggered(177, e, &Basic::getRealVoltageLevel);
        } },
    { 125,
        [](const ValueEngine &e) {
            return level(125,
                e,
                &Basic::setRealCurrentSlewRateLevel,
                &Basic::getRealCurrentSlewRateLevel,
                currentRangeEntry(e.info, &ModelInformation::slewRateMap));
        } },
    { 126,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            const auto span = e.info ? timeSpan(e.info->softStart()) : std::make_pair(0.0, 0.0);
            return fixedReal(
                126,
                [b](double s) {
                    return int(b->setCurrentSSTime(s));
                },
                [] {
                    return Source::m_ssTime.load();
                },
                span.first,
                span.second);
        } },
    { 90,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            const auto span = e.info ? timeSpan(e.info->arbResponse()) : std::make_pair(0.0, 0.0);
            return fixedReal(
                90,
                [b](double s) {
                    return int(b->setArbResponse(s));
                },
                [] {
                    return Source::m_arbRespTime.load();
                },
                span.first,
                span.second);
        } },
    { 101,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return made(new ValueKeywordSetting<KeywordBridge_NormFast>(
                101,
                [b](KeywordBridge_NormFast::values v) {
                    return int(b->setConductanceResponse(v));
                },
                [] {
                    return static_cast<unsigned char>(Source::m_condResponse.load());
                }));
        } },
    { 119,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return makeSwitch(
                119,
                [b](bool on) {
                    return int(b->setCurrentAddExternal(on));
                },
                [] {
                    return Source::m_ccAddExternal.load();
                });
        } },
    { 120,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return makeSwitch(
                120,
                [b](bool on) {
                    return int(b->setExternal(on));
                },
                [] {
                    return Source::m_external.load();
                });
        } },
    { 178,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return makeSwitch(
                178,
                [b](bool on) {
                    return int(b->setVoltageExternal(on));
                },
                [] {
                    return Source::m_voltExternal.load();
                });
        } },
    { 103,
        [](const ValueEngine &e) {
            return level(103,
                e,
                &Basic::setRealPulseLevelConductance,
                &Basic::getRealPulseLevelConductance,
                currentRangeEntry(e.info, &ModelInformation::conductanceMap));
        } },
    { 112,
        [](const ValueEngine &e) {
            return level(112,
                e,
                &Basic::setRealPulseLevelCurrent,
                &Basic::getRealPulseLevelCurrent,
                currentRangeEntry(e.info, &ModelInformation::currentMap));
        } },
    { 116,
        [](const ValueEngine &e) {
            return level(116,
                e,
                &Basic::setRealSineAmplitude,
                &Basic::getRealSineAmplitude,
                currentRangeEntry(e.info, &ModelInformation::currentMap));
        } },
    { 114,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return fixedReal(
                114,
                levelSetter(b, &Basic::setRealPulseDutyCycle),
                [b] {
                    return b->getPulseDutyCycle() / 1000.0;
                },
                5.0,
                95.0);
        } },
    { 115,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return fixedReal(
                115,
                levelSetter(b, &Basic::setRealPulseFrequency),
                [b] {
                    return b->getPulseFrequency() / 1000.0;
                },
                e.info ? e.info->pulseMin() : 0.0,
                e.info ? e.info->pulseMax() : 0.0);
        } },
    { 117,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return fixedReal(
                117,
                levelSetter(b, &Basic::setRealSineFrequency),
                [b] {
                    return b->getSineFrequency() / 1000.0;
                },
                1.0,
                10000.0);
        } },
    { 2301,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return made(new ValueAction(2301, [b] {
                return startModulation(b, true);
            }));
        } },
    { 2303,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return made(new ValueAction(2303, [b] {
                return startModulation(b, false);
            }));
        } },
    { 2302,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return made(new ValueAction(2302, [b] {
                b->setPulseState(false);
                return 0;
            }));
        } },
    { 2304,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return made(new ValueAction(2304, [b] {
                b->setSineState(false);
                return 0;
            }));
        } },
};

} // namespace

ValueCurr::ValueCurr(const ValueEngine &engine)
    : ValueCurr(Id, engine)
{ }

ValueCurr::ValueCurr(unsigned id, const ValueEngine &engine)
    : ValueRealSetting(id,
        levelSetter(engine.basic, &Basic::setRealCurrentLevel),
        levelGetter(engine.basic, &Basic::getRealCurrentLevel),
        currentRangeEntry(engine.info, &ModelInformation::currentMap))
{ }

ValueCurrTrig::ValueCurrTrig(const ValueEngine &engine)
    : ValueTriggered<ValueCurr>(Id, engine)
{ }

ValueVoltResp::ValueVoltResp(const ValueEngine &engine)
    : ValueKeyword<KeywordBridge_NormFast>(Id)
    , m_engine(engine)
{ }

int ValueVoltResp::setValue(const unsigned char &index)
{
    if (const int e = checkIndex(index))
        return e;
    return m_engine.basic->setVoltageResponse(KeywordBridge_NormFast::values(index));
}

unsigned char ValueVoltResp::getValue() const
{
    return static_cast<unsigned char>(vek::Source::m_voltResponse.load());
}

ValueFamilyTable sourceValues()
{
    return familyTable(s_rows);
}
