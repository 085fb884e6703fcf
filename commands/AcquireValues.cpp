#include "commands/AcquireValues.h"

#include "commands/ValueSetting.h"
#include "commands/keywords/KeywordsDisplay.h"
#include "commands/keywords/KeywordsSource.h"
#include "commands/keywords/KeywordsSystem.h"
#include "engine/AcquireTrigger.h"
#include "engine/Basic.h"
#include "engine/DataLogger.h"
#include "engine/Program.h"
#include "engine/ProgramsModel.h"
#include "instrument/ModelInformation.h"
#include "remote/ZOValueManager.h"

#include <QVector>

#include <memory>

namespace {

using vek::AcquireTrigger;
using IoControl = ioc::IoControl;
using Sources = ValueTriggerSources::Sources;

constexpr int SourceCount = KeywordBridge_ImmBusAndMore::CUTOFF + 1;

template <class V> std::shared_ptr<void> made(V *value)
{
    return std::shared_ptr<void>(std::shared_ptr<V>(value));
}

std::shared_ptr<void> action(unsigned id, ValueAction::Action run)
{
    return made(new ValueAction(id, std::move(run)));
}

// A run-control action of the program object; -200 while there is none.
std::shared_ptr<void> programAction(
    unsigned id, const ValueEngine &e, std::function<vek::SCPIERR_T(vek::Program *)> run)
{
    vek::Program *p = e.program;
    return action(id, [p, run] {
        return p ? int(run(p)) : -200;
    });
}

// The action registered under id, committed; -200 when there is none.
int commitValue(unsigned id)
{
    zostd::ZOValueManager *registry = zostd::ZOValueManager::s_pSelf;
    zostd::IValue *value = registry ? registry->find(id) : nullptr;
    return value ? value->commit() : -200;
}

// *TRG: the acquisition's trigger, then the transient's; an error only when both refuse.
int commonTrigger()
{
    const int acquisition = commitValue(2104);
    const int transient = commitValue(2204);
    return (acquisition != 0 && transient != 0) ? acquisition : 0;
}

// ABORt: acquisition, transient, pulse and sine, in that order; never an error. The values are
// looked up on every call, since the registry may be built again (tests).
int commonAbort()
{
    for (unsigned id : { 2103u, 2203u, 2302u, 2304u })
        commitValue(id);
    return 0;
}

unsigned acquisitionFlag(Sources source, bool loadOffTrigger)
{
    switch (source) {
    case KeywordBridge_ImmBusAndMore::IMM:
        return IoControl::tasImmediate;
    case KeywordBridge_ImmBusAndMore::BUS:
        return IoControl::tasBus;
    case KeywordBridge_ImmBusAndMore::DIGITAL2:
        return IoControl::tasDigital2;
    case KeywordBridge_ImmBusAndMore::TAL:
        return IoControl::tasTALink;
    case KeywordBridge_ImmBusAndMore::MSYN:
        return IoControl::tasMSync;
    case KeywordBridge_ImmBusAndMore::LOADOFF:
        return loadOffTrigger ? unsigned(IoControl::tasLoadOff) : 0u;
    default:
        return 0;
    }
}

unsigned transientFlag(Sources source)
{
    switch (source) {
    case KeywordBridge_ImmBusAndMore::IMM:
        return IoControl::ttsImmediate;
    case KeywordBridge_ImmBusAndMore::BUS:
        return IoControl::ttsBus;
    case KeywordBridge_ImmBusAndMore::DIGITAL2:
        return IoControl::ttsDigital2;
    case KeywordBridge_ImmBusAndMore::MSYN:
        return IoControl::ttsMSync;
    default:
        return 0;
    }
}

// A display item switched on or off among the measurement view's items.
std::shared_ptr<void> displayItem(
    unsigned id, const ValueEngine &e, AcquireTrigger::displayItem bit)
{
    AcquireTrigger *a = e.acquire;
    return made(new ValueSwitchSetting(
        id,
        [a, bit](bool on) {
            AcquireTrigger::displayItems items = a->viewDisplayItems();
            items.setFlag(bit, on);
            return int(a->setViewDisplayItems(items));
        },
        [a, bit] {
            return a->viewDisplayItems().testFlag(bit);
        }));
}

// A keyword accepted and kept for nothing: it answers its first keyword.
template <class Bridge> std::shared_ptr<void> placeholderKeyword(unsigned id)
{
    return made(new ValueKeywordSetting<Bridge>(
        id,
        [](typename Bridge::values) {
            return 0;
        },
        [] {
            return static_cast<unsigned char>(0);
        }));
}

const ValueMakerRow s_rows[] = {
    { 2000,
        [](const ValueEngine &) {
            return action(2000, commonTrigger);
        } },
    { 2001,
        [](const ValueEngine &) {
            return action(2001, commonAbort);
        } },
    { 2101,
        [](const ValueEngine &e) {
            AcquireTrigger *a = e.acquire;
            return action(2101, [a] {
                return int(a->initiate());
            });
        } },
    { 2103,
        [](const ValueEngine &e) {
            AcquireTrigger *a = e.acquire;
            return action(2103, [a] {
                return int(a->abort());
            });
        } },
    { 2104,
        [](const ValueEngine &e) {
            AcquireTrigger *a = e.acquire;
            return action(2104, [a] {
                return int(a->trigger());
            });
        } },
    { 2107,
        [](const ValueEngine &e) {
            AcquireTrigger *a = e.acquire;
            return action(2107, [a] {
                return int(a->msync());
            });
        } },
    { 2105,
        [](const ValueEngine &e) {
            AcquireTrigger *a = e.acquire;
            auto *count = new ValueIntSetting(
                2105,
                [a](int n) {
                    return n < 1 ? -222 : int(a->setTriggerCount(unsigned(n)));
                },
                [a] {
                    return int(a->triggerCount());
                });
            // The engine's range; the panel's editor offers it.
            count->setLimits(1, 65536);
            return made(count);
        } },
    { 2106,
        [](const ValueEngine &e) {
            AcquireTrigger *a = e.acquire;
            return made(new ValueRealSetting(
                2106,
                [a](double s) {
                    return int(a->setTriggerDelay(s));
                },
                [a] {
                    return a->triggerDelay();
                },
                0.0,
                100.0));
        } },
    { 2109,
        [](const ValueEngine &e) {
            AcquireTrigger *a = e.acquire;
            const bool loadOff = e.info && e.info->iocTrigAcquireEx();
            return made(new ValueTriggerSources(
                2109,
                [loadOff](Sources s) {
                    return acquisitionFlag(s, loadOff);
                },
                [a](unsigned flags) {
                    return int(
                        a->setTriggerSources(AcquireTrigger::TrigAcquireSources(int(flags))));
                },
                [a] {
                    return unsigned(a->triggerSources());
                }));
        } },
    { 2110,
        [](const ValueEngine &e) {
            AcquireTrigger *a = e.acquire;
            return made(new ValueRealSetting(
                2110,
                [a](double s) {
                    return int(a->setTriggerTimer(s));
                },
                [a] {
                    return a->triggerTimer();
                },
                e.info ? e.info->measMin() : 0.0,
                3600.0));
        } },
    { 2111,
        [](const ValueEngine &e) {
            AcquireTrigger *a = e.acquire;
            return made(new ValueSwitchSetting(
                2111,
                [a](bool on) {
                    return int(a->setTriggerIntervalState(on));
                },
                [a] {
                    return a->triggerIntervalState();
                }));
        } },
    { 501,
        [](const ValueEngine &e) {
            AcquireTrigger *a = e.acquire;
            return made(new ValueRealSetting(
                501,
                [a](double s) {
                    return int(a->setSenseAperture(s));
                },
                [a] {
                    return a->senseAperture();
                },
                e.info ? e.info->measMin() : 0.0,
                e.info ? e.info->measMax() : 0.0));
        } },
    // Kept as the instrument has it: accepted, and nothing happens.
    { 2201,
        [](const ValueEngine &) {
            return action(2201, [] {
                return 0;
            });
        } },
    { 2202,
        [](const ValueEngine &e) {
            return programAction(2202, e, [](vek::Program *p) {
                const QString selected = p->programsModel()->selectProgramName();
                return selected.isEmpty() ? vek::SCPIERR_T(304) : p->initiateTransient(selected);
            });
        } },
    { 2203,
        [](const ValueEngine &e) {
            return programAction(2203, e, [](vek::Program *p) {
                return p->abortTransient();
            });
        } },
    { 2204,
        [](const ValueEngine &e) {
            return programAction(2204, e, [](vek::Program *p) {
                return p->triggerTransient();
            });
        } },
    { 2207,
        [](const ValueEngine &e) {
            return programAction(2207, e, [](vek::Program *p) {
                return p->msyncTransient();
            });
        } },
    { 2213,
        [](const ValueEngine &e) {
            return programAction(2213, e, [](vek::Program *p) {
                return p->triggerTransientSupend();
            });
        } },
    { 2214,
        [](const ValueEngine &e) {
            return programAction(2214, e, [](vek::Program *p) {
                return p->triggerTransientResume();
            });
        } },
    { 2206,
        [](const ValueEngine &e) {
            vek::Basic *b = e.basic;
            return made(new ValueRealSetting(
                2206,
                [b](double s) {
                    return int(b->setTriggerDelay(s));
                },
                [] {
                    return double(vek::Source::m_triggerDelay.load()) / 1e6;
                },
                0.0,
                100.0));
        } },
    { 2209,
        [](const ValueEngine &e) {
            vek::Basic *b = e.basic;
            return made(new ValueTriggerSources(
                2209,
                transientFlag,
                [b](unsigned flags) {
                    return int(b->setTriggerSources(vek::TrigTransientSources(int(flags))));
                },
                [] {
                    return unsigned(vek::Source::triggerSources());
                }));
        } },
    { 2211,
        [](const ValueEngine &) {
            return placeholderKeyword<KeywordBridge_PosNeg>(2211);
        } },
    { 2212,
        [](const ValueEngine &) {
            return made(new ValueRealSetting(
                2212,
                [](double) {
                    return 0;
                },
                [] {
                    return 0.0;
                },
                0.0,
                0.0));
        } },
    { 401,
        [](const ValueEngine &e) {
            DataLogger *l = e.logger;
            // A size the logger refuses leaves the records as they were.
            return made(new ValueIntSetting(
                401,
                [l](int n) {
                    if (n < DataLogger::MinBufSize || n > DataLogger::MaxBufSize)
                        return -222;
                    if (n & (n - 1))
                        return int(DataLogger::IllegalBufferSize);
                    l->clear();
                    return int(l->setBufSize(n));
                },
                [l] {
                    return l->getBufSize();
                }));
        } },
    { 402,
        [](const ValueEngine &e) {
            DataLogger *l = e.logger;
            return made(new ValueIntSetting(
                402,
                [](int) {
                    return -113;
                },
                [l] {
                    return l->getNumOfData();
                }));
        } },
    { 411,
        [](const ValueEngine &e) {
            AcquireTrigger *a = e.acquire;
            return action(411, [a] {
                return int(a->integralReset());
            });
        } },
    { 412,
        [](const ValueEngine &e) {
            AcquireTrigger *a = e.acquire;
            return action(412, [a] {
                return int(a->integralStart());
            });
        } },
    { 413,
        [](const ValueEngine &e) {
            AcquireTrigger *a = e.acquire;
            return action(413, [a] {
                return int(a->integralStop());
            });
        } },
    { 414,
        [](const ValueEngine &e) {
            AcquireTrigger *a = e.acquire;
            return made(new ValueKeywordSetting<KeywordBridge_NoneLoadonProgran>(
                414,
                [a](KeywordBridge_NoneLoadonProgran::values gate) {
                    return int(a->setIntegralGate(vek::integralGate(int(gate))));
                },
                [a] {
                    return static_cast<unsigned char>(a->getIntegralGate());
                }));
        } },
    { 415,
        [](const ValueEngine &e) {
            AcquireTrigger *a = e.acquire;
            return made(new ValueSwitchSetting(
                415,
                [a](bool on) {
                    return int(a->setIntegralGateAutoResetState(on));
                },
                [a] {
                    return a->integralGateAutoResetState();
                }));
        } },
    { 1011,
        [](const ValueEngine &e) {
            return displayItem(1011, e, AcquireTrigger::eTime);
        } },
    { 1012,
        [](const ValueEngine &e) {
            return displayItem(1012, e, AcquireTrigger::capacity);
        } },
    { 1013,
        [](const ValueEngine &e) {
            return displayItem(1013, e, AcquireTrigger::energy);
        } },
    { 1014,
        [](const ValueEngine &) {
            return placeholderKeyword<KeywordBridge_NumCharTabl>(1014);
        } },
};

// The first source set, in keyword order; IMM when none is.
Sources firstSource(unsigned flags, const ValueTriggerSources::FlagOf &flagOf)
{
    for (int k = 0; k < SourceCount; ++k) {
        const unsigned flag = flagOf(Sources(k));
        if (flag && (flags & flag))
            return Sources(k);
    }
    return KeywordBridge_ImmBusAndMore::IMM;
}

} // namespace

ValueTriggerSources::ValueTriggerSources(unsigned id, FlagOf flagOf, Setter set, Getter get)
    : ValueKeyword<KeywordBridge_ImmBusAndMore>(id)
    , m_flagOf(std::move(flagOf))
    , m_set(std::move(set))
    , m_get(std::move(get))
{ }

int ValueTriggerSources::setValue(const unsigned char &k)
{
    QVector<int> list;
    if (k >= 0xC0) {
        const int removed = k & 0x3F;
        if (getValue() != removed)
            list << getValue();
        if (list.isEmpty())
            list << KeywordBridge_ImmBusAndMore::IMM;
    } else if (k >= 0x80) {
        const int added = k & 0x7F;
        if (added != KeywordBridge_ImmBusAndMore::IMM
            && getValue() != KeywordBridge_ImmBusAndMore::IMM)
            list << getValue();
        list << added;
    } else {
        list << k;
    }
    unsigned flags = 0;
    for (int source : list) {
        const unsigned flag = source < SourceCount ? m_flagOf(Sources(source)) : 0u;
        if (!flag)
            return -224;
        flags |= flag;
    }
    return m_set(flags);
}

unsigned char ValueTriggerSources::getValue() const
{
    return static_cast<unsigned char>(firstSource(m_get(), m_flagOf));
}

ValueFamilyTable acquisitionValues()
{
    return familyTable(s_rows);
}
