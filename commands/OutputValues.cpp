#include "commands/OutputValues.h"

#include "commands/ValueSetting.h"
#include "commands/ValueSystConfSoutProt.h"
#include "engine/Basic.h"
#include "engine/Status.h"
#include "instrument/ModelInformation.h"

#include <cmath>
#include <memory>

namespace {

using vek::Basic;
using vek::Source;

template <class V> std::shared_ptr<void> made(V *value)
{
    return std::shared_ptr<void>(std::shared_ptr<V>(value));
}

using TableOf = const QMap<int, BoundValue> &(ModelInformation::*)() const;
using RealSetter = vek::SCPIERR_T (Basic::*)(double, vek::updateTiming);
using RealGetter = double (Basic::*)() const;
using SwitchSetter = vek::SCPIERR_T (Basic::*)(bool);
using SwitchGetter = bool (Basic::*)() const;

// A protection level: the entry of its table for the present range (key from keyOf).
std::shared_ptr<void> protectionLevel(unsigned id, const ValueEngine &e, RealSetter set,
    RealGetter get, TableOf table, int (*keyOf)())
{
    Basic *b = e.basic;
    const ModelInformation *info = e.info;
    return made(new ValueRealSetting(
        id, [b, set](double v) { return int((b->*set)(v, vek::UpdateIfChanged)); },
        [b, get] { return (b->*get)(); },
        [info, table, keyOf]() -> const BoundValue * {
            return info ? &ModelInformation::rangeValue((info->*table)(), keyOf()) : nullptr;
        }));
}

int currentRangeKey() { return int(Source::getCurrentRange()); }
int voltageRangeKey() { return int(Source::m_voltRange.load()); }

std::shared_ptr<void> basicSwitch(unsigned id, const ValueEngine &e, SwitchSetter set,
    SwitchGetter get)
{
    Basic *b = e.basic;
    return made(new ValueSwitchSetting(
        id, [b, set](bool on) { return int((b->*set)(on)); }, [b, get] { return (b->*get)(); }));
}

// LIMit or TRIP: the same engine flag as the protection's state switch.
std::shared_ptr<void> protectionAction(unsigned id, const ValueEngine &e, SwitchSetter set,
    SwitchGetter get)
{
    Basic *b = e.basic;
    return made(new ValueKeywordSetting<KeywordBridge_LimitTrip>(
        id, [b, set](KeywordBridge_LimitTrip::values v) { return int((b->*set)(v == KeywordBridge_LimitTrip::TRIP)); },
        [b, get] { return static_cast<unsigned char>((b->*get)() ? 1 : 0); }));
}

std::shared_ptr<void> cutOffLevel(unsigned id, const ValueEngine &e, RealSetter set,
    RealGetter get, double min, double max)
{
    Basic *b = e.basic;
    return made(new ValueRealSetting(
        id, [b, set](double v) { return int((b->*set)(v, vek::UpdateIfChanged)); },
        [b, get] { return (b->*get)(); }, min, max));
}

const ValueMakerRow s_rows[] = {
    { ValueOutp::Id, makeValue<ValueOutp> },
    { ValueSystConfSoutProt::Id,
        [](const ValueEngine &) {
            return made(new ValueSystConfSoutProt);
        } },
    { 121,
        [](const ValueEngine &e) {
            return protectionLevel(121, e, &Basic::setRealCurrentProtectionLevel,
                &Basic::getRealCurrentProtectionLevel, &ModelInformation::ocpMap,
                currentRangeKey);
        } },
    { 161,
        [](const ValueEngine &e) {
            return protectionLevel(161, e, &Basic::setRealPowerProtectionLevel,
                &Basic::getRealPowerProtectionLevel, &ModelInformation::oppMap,
                &Source::getPowerRange);
        } },
    { 175,
        [](const ValueEngine &e) {
            return protectionLevel(175, e, &Basic::setRealVoltageProtectionLevel,
                &Basic::getRealVoltageProtectionLevel, &ModelInformation::uvpMap,
                voltageRangeKey);
        } },
    { 122,
        [](const ValueEngine &e) {
            return basicSwitch(122, e, &Basic::setCurrentProtectionTripState,
                &Basic::getCurrentProtectionTripState);
        } },
    { 127,
        [](const ValueEngine &e) {
            return protectionAction(127, e, &Basic::setCurrentProtectionTripState,
                &Basic::getCurrentProtectionTripState);
        } },
    { 162,
        [](const ValueEngine &e) {
            return basicSwitch(162, e, &Basic::setPowerProtectionTripState,
                &Basic::getPowerProtectionTripState);
        } },
    { 164,
        [](const ValueEngine &e) {
            return protectionAction(164, e, &Basic::setPowerProtectionTripState,
                &Basic::getPowerProtectionTripState);
        } },
    { 176,
        [](const ValueEngine &e) {
            return basicSwitch(176, e, &Basic::setVoltageProtectionState,
                &Basic::getVoltageProtectionState);
        } },
    { 179,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return made(new ValueKeywordSetting<KeywordBridge_LimitTrip>(
                179,
                [b](KeywordBridge_LimitTrip::values v) {
                    return int(b->setVoltageProtectionTripState(
                        v == KeywordBridge_LimitTrip::TRIP, vek::UpdateIfChanged));
                },
                [b] { return static_cast<unsigned char>(b->getVoltageProtectionTripState()); }));
        } },
    { 151,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return made(new ValueSwitchSetting(
                151, [b](bool on) { return int(b->setOutputShort(on, vek::UpdateIfChanged)); },
                [] { return Source::m_outputShort.load(); }));
        } },
    { 153,
        [](const ValueEngine &e) {
            return basicSwitch(153, e, &Basic::setOutputCutOffVoltageState,
                &Basic::getOutputCutOffVoltageState);
        } },
    { 154,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            // Whole seconds, halves away from zero, both ways.
            return made(new ValueRealSetting(
                154,
                [b](double s) {
                    return int(b->setOutputCutOffElapsedTime(std::round(s), vek::UpdateIfChanged));
                },
                [b] { return std::round(b->getOutputCutOffElapsedTime()); }, 0.0, 3600000.0));
        } },
    { 155,
        [](const ValueEngine &e) {
            return basicSwitch(155, e, &Basic::setOutputCutOffElapsedTimeState,
                &Basic::getOutputCutOffElapsedTimeState);
        } },
    { 156,
        [](const ValueEngine &e) {
            return cutOffLevel(156, e, &Basic::setOutputCutOffCapacity,
                &Basic::getOutputCutOffCapacity, e.info ? e.info->cutoffCapacityMin() : 0.0,
                e.info ? e.info->cutoffCapacityMax() : 0.0);
        } },
    { 157,
        [](const ValueEngine &e) {
            return basicSwitch(157, e, &Basic::setOutputCutOffCapacityState,
                &Basic::getOutputCutOffCapacityState);
        } },
    { 158,
        [](const ValueEngine &e) {
            return cutOffLevel(158, e, &Basic::setOutputCutOffEnergy,
                &Basic::getOutputCutOffEnergy, e.info ? e.info->cutoffEnergyMin() : 0.0,
                e.info ? e.info->cutoffEnergyMax() : 0.0);
        } },
    { 159,
        [](const ValueEngine &e) {
            return basicSwitch(159, e, &Basic::setOutputCutOffEnergyState,
                &Basic::getOutputCutOffEnergyState);
        } },
};

} // namespace

ValueOutp::ValueOutp(const ValueEngine &engine)
    : zostd::ZOValue_bool8_t(Id)
    , m_engine(engine)
{ }

int ValueOutp::setValue(const unsigned char &on)
{
    if (on > 1)
        return -222;
    return m_engine.basic->setOutput(on != 0);
}

unsigned char ValueOutp::getValue() const
{
    const bool on = m_engine.status ? m_engine.status->loadOn() : vek::Source::m_stateLoad.load();
    return on ? 1 : 0;
}

ValueFamilyTable outputValues()
{
    return familyTable(s_rows);
}
