#include "commands/OutputValues.h"

#include "commands/ValueSetting.h"
#include "commands/ValueSystConfSoutProt.h"
#include "engine/Basic.h"
#include "engine/Status.h"
#include "instrument/ModelInformation.h"

#include "commands/keywords/KeywordsSystem.h"
#include "instrument/InstrumentConfigInfo.h"
#include "remote/ZO4882Parser.h"

#include <QThread>

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

// The parser's communication watchdog, when the parser exists: period in ms, 0 off.
void programWatchdog(int periodMs)
{
    if (zo4882::ZO4882Parser *parser = zo4882::ZO4882Parser::s_pSelf)
        parser->setWatchDog(periodMs);
}

// OUTPut:CUTOff:VOLTage: both ways snapped to the nearest multiple (halves away from zero) of
// the step of the under-voltage entry with key 1, whatever the voltage range. The maximum is the
// whole volts of the present range's entry when the objects are made.
std::shared_ptr<void> cutOffVoltage(const ValueEngine &e)
{
    Basic *b = e.basic;
    const double step = e.info ? ModelInformation::rangeValue(e.info->uvpMap(), 1).m_step : 0.0;
    const double max = e.info
        ? std::trunc(ModelInformation::rangeValue(e.info->uvpMap(), voltageRangeKey()).m_max)
        : 0.0;
    const auto snap = [step](double v) {
        return step > 0.0 ? step * std::round(v / step) : v;
    };
    return made(new ValueRealSetting(
        152,
        [b, snap](double v) {
            return int(b->setOutputCutOffVoltage(snap(v), vek::UpdateIfChanged));
        },
        [b, snap] {
            return snap(b->getOutputCutOffVoltage());
        },
        0.0,
        max));
}

// OUTPut:MSYNc[:IMMediate]: switches the load together with the partner; the library's range
// check first, the value is not kept.
class ValueOutpMsyn : public zostd::ZOValue_bool8_t
{
public:
    explicit ValueOutpMsyn(const ValueEngine &engine)
        : zostd::ZOValue_bool8_t(144)
        , m_engine(engine)
    { }

    int commit() override
    {
        if (Source::programRunning())
            return 104;
        if (!m_engine.status || !m_engine.status->linkOn() || !m_engine.basic->getMSyncState())
            return 110;
        return m_engine.basic->setMSyncStateImmediate(pending() != 0);
    }
    unsigned char getValue() const override { return 0; }

private:
    const ValueEngine m_engine;
};

bool msyncLinked(const ValueEngine &e)
{
    return e.status && e.status->linkOn();
}

// A keyword stored as one byte of the configuration (its own storage without one).
template <class Bridge> std::shared_ptr<void> configKeyword(unsigned id, quint8 *field)
{
    auto *value = new ValueKeyword<Bridge>(id);
    if (field)
        value->bindValue(field);
    return made(value);
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
    { 152, cutOffVoltage },
    { 141,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return made(new ValueIntSetting(
                141,
                [b](int s) {
                    return int(b->setOutputOnDwell(s));
                },
                [b] {
                    return b->getOutputOnDwell();
                }));
        } },
    { 143,
        [](const ValueEngine &e) {
            vek::Status *status = e.status;
            return made(new ValueKeywordSetting<KeywordBridge_PosNeg>(
                143,
                [status](KeywordBridge_PosNeg::values v) {
                    return status ? int(status->setOutputExternalLogic(v)) : -200;
                },
                [status] {
                    return static_cast<unsigned char>(
                        status ? status->outputExternalLogic() : KeywordBridge_PosNeg::POS);
                }));
        } },
    { 144,
        [](const ValueEngine &e) {
            return made(new ValueOutpMsyn(e));
        } },
    { 145,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return made(new ValueSwitchSetting(
                145,
                [e, b](bool on) {
                    return msyncLinked(e) ? int(b->setMSyncState(on)) : 110;
                },
                [b] {
                    return b->getMSyncState();
                }));
        } },
    { 1211,
        [](const ValueEngine &e) {
            // Query only: the entry has no setting form, and the panel shows it read-only.
            return made(new ValueSwitchSetting(
                1211,
                [](bool) {
                    return -113;
                },
                [e] {
                    return msyncLinked(e);
                }));
        } },
    { 147,
        [](const ValueEngine &e) {
            return configKeyword<KeywordBridge_RstRcl0Auto>(
                147, e.config ? &e.config->pon : nullptr);
        } },
    { 148,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            return made(new ValueAction(148, [b] {
                QThread::msleep(100);
                if (zo4882::ZO4882Parser *parser = zo4882::ZO4882Parser::s_pSelf)
                    parser->recoverWatchDog();
                b->clearProtection();
                return 0;
            }));
        } },
    { ValueOutpProtWdog::Id, makeValue<ValueOutpProtWdog> },
    { ValueOutpProtWdogDel::Id, makeValue<ValueOutpProtWdogDel> },
    { 1210,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            InstrumentConfigInfo *config = e.config;
            return made(new ValueKeywordSetting<KeywordBridge_InpOutp>(
                1210,
                [b](KeywordBridge_InpOutp::values v) {
                    return int(b->setDigital2Direction(v, vek::UpdateIfChanged));
                },
                [config] {
                    return static_cast<unsigned char>(config ? config->digital2Direction : 0);
                }));
        } },
    { 1212,
        [](const ValueEngine &e) {
            Basic *b = e.basic;
            InstrumentConfigInfo *config = e.config;
            return made(new ValueSwitchSetting(
                1212,
                [b](bool on) {
                    return int(b->setRemoteSensing(on, vek::UpdateIfChanged));
                },
                [config] {
                    return config && config->remoteSensing;
                }));
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

ValueOutpProtWdog::ValueOutpProtWdog(const ValueEngine &engine)
    : zostd::ZOValue_bool8_t(Id)
    , m_config(engine.config)
{ }

int ValueOutpProtWdog::commit()
{
    const int delay = m_config ? m_config->wdogDelay : 0;
    programWatchdog(pending() ? delay * 1000 : 0);
    if (m_config)
        m_config->wdogEnabled = pending() != 0;
    else
        m_value = pending();
    return 0;
}

unsigned char ValueOutpProtWdog::getValue() const
{
    return m_config ? (m_config->wdogEnabled ? 1 : 0) : m_value;
}

ValueOutpProtWdogDel::ValueOutpProtWdogDel(const ValueEngine &engine)
    : zostd::ZOValue_int32_t_engX(Id)
    , m_config(engine.config)
{
    setLimits(1, 3600);
    setRangeCheck(true);
    if (m_config)
        bindValue(&m_config->wdogDelay);
}

int ValueOutpProtWdogDel::commit()
{
    programWatchdog(m_config && m_config->wdogEnabled ? pending() * 1000 : 0);
    return zostd::ZOValue_int32_t_engX::commit();
}

ValueFamilyTable outputValues()
{
    return familyTable(s_rows);
}
