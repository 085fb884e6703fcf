#include "engine/PanelMemory.h"

#include "engine/AbcMemory.h"
#include "engine/AcquireTrigger.h"
#include "engine/ArbitraryModel.h"
#include "engine/Basic.h"
#include "engine/DataLogger.h"
#include "engine/ELoad.h"
#include "engine/Program.h"
#include "engine/Status.h"
#include "instrument/ModelInformation.h"
#include "platform/AtomicFile.h"
#include "platform/BoardPath.h"
#include "remote/IValue.h"
#include "remote/ZONullValue.h"
#include "remote/ZOValueManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QThread>

#include <cmath>

namespace vek {

namespace {

constexpr unsigned AbortAllValueId = 2001;
constexpr SCPIERR_T CannotOpen = -314; // "Save/recall memory lost"
constexpr SCPIERR_T NotJson = -253; // "Corrupt media"
constexpr int LastFormatCode = 5; // energy, the last record column

// What one setup operation works on. reset: the *RST pass (the reset column, not a file).
struct Engine
{
    Basic *basic;
    Status *status;
    AcquireTrigger *acquire;
    DataLogger *logger;
    ArbitraryModel *arbitrary;
    ModelInformation *info;
    AbcMemories *presets;
    bool reset = false;
};

Engine engineOf(AbcMemories *presets)
{
    ELoad *root = ELoad::s_pSelf;
    return Engine { root->basic(),
        root->status(),
        root->acquire(),
        root->logger(),
        root->arbitrary(),
        root->info(),
        presets };
}

// The JSON library's typed reads: a missing member or one of another type gives 0, false or
// 0.0; an integer read of a number with a fraction gives 0.
int intOf(const QJsonObject &o, const char *key)
{
    return o.value(QLatin1String(key)).toInt();
}
bool boolOf(const QJsonObject &o, const char *key)
{
    return o.value(QLatin1String(key)).toBool();
}
double realOf(const QJsonObject &o, const char *key)
{
    return o.value(QLatin1String(key)).toDouble();
}

// An enumeration value from the low 8 bits of a member; false (the setting stays) for a value
// the enumeration does not have.
template <typename E> bool enumOf(const QJsonObject &o, const char *key, int count, E *out)
{
    const int v = intOf(o, key) & 0xff;
    if (v >= count)
        return false;
    *out = E(v);
    return true;
}

QString pointKey(int oneBased)
{
    return QString::asprintf("arb_%02d", oneBased);
}

QJsonObject pointsToJson(const QList<ARBITRARY_DATA> &points, QJsonObject o = {})
{
    for (int i = 0; i < points.size(); ++i) {
        QJsonObject p;
        p.insert(QStringLiteral("volt"), points.at(i).voltage);
        p.insert(QStringLiteral("curr"), points.at(i).current);
        o.insert(pointKey(i + 1), p);
    }
    return o;
}

// From "arb_01" on, up to the first point object that is missing or empty.
QList<ARBITRARY_DATA> pointsFromJson(const QJsonObject &o)
{
    QList<ARBITRARY_DATA> points;
    for (int n = 1;; ++n) {
        const QJsonObject p = o.value(pointKey(n)).toObject();
        if (p.isEmpty())
            break;
        points.append(ARBITRARY_DATA { realOf(p, "volt"), realOf(p, "curr") });
    }
    return points;
}

// The eleven levels of a preset, by their member names.
struct PresetLevel
{
    const char *key;
    double ABC_MEMORY::*field;
};
const PresetLevel s_presetLevels[] = {
    { "cc_high", &ABC_MEMORY::cc_high },
    { "cc_medium", &ABC_MEMORY::cc_medium },
    { "cc_low", &ABC_MEMORY::cc_low },
    { "cr_high", &ABC_MEMORY::cr_high },
    { "cr_medium", &ABC_MEMORY::cr_medium },
    { "cr_low", &ABC_MEMORY::cr_low },
    { "cp_high", &ABC_MEMORY::cp_high },
    { "cp_medium", &ABC_MEMORY::cp_medium },
    { "cp_low", &ABC_MEMORY::cp_low },
    { "cv_high", &ABC_MEMORY::cv_high },
    { "cv_low", &ABC_MEMORY::cv_low },
};

QJsonObject presetToJson(const ABC_MEMORY &m)
{
    QJsonObject o;
    for (const PresetLevel &level : s_presetLevels)
        o.insert(QLatin1String(level.key), m.*level.field);
    return pointsToJson(m.arbitraryPoints, o);
}

ABC_MEMORY presetFromJson(const QJsonObject &o)
{
    ABC_MEMORY m;
    for (const PresetLevel &level : s_presetLevels)
        m.*level.field = realOf(o, level.key);
    m.arbitraryPoints = pointsFromJson(o);
    return m;
}

const BoundValue &bound(const QMap<int, BoundValue> &map, int key)
{
    return ModelInformation::rangeValue(map, key);
}

// The time of entry 1 of a response table (its second entry); 0.0 when the model has none.
double secondTime(const QVector<QPair<double, qint32>> &table)
{
    return table.size() > 1 ? table.at(1).first : 0.0;
}

// --- The members of a setup, in the order a recall applies them ---
//
// save writes the member(s) from the live state; apply applies them from a setup (the file, or
// for the reset the object that resetValue builds); resetValue gives the member's *RST value,
// null for a member the reset does not apply. Rows with several members or their own reset
// (the arbitrary table, the display items, the presets) read Engine::reset themselves.
struct Member
{
    const char *key;
    void (*save)(const Engine &e, QJsonObject *setup, const char *key);
    void (*apply)(const Engine &e, const QJsonObject &setup, const char *key);
    QJsonValue (*resetValue)(const Engine &e);
};

template <typename T> void put(QJsonObject *setup, const char *key, T value)
{
    setup->insert(QLatin1String(key), value);
}

const Member s_members[] = {
    { "outp:dwel",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getOutputOnDwell());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setOutputOnDwell(intOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(0);
        } },
    { "outp:ext:log",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, int(e.status->outputExternalLogic()));
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            KeywordBridge_PosNeg::values logic;
            if (enumOf(s, k, 2, &logic))
                e.status->setOutputExternalLogic(logic);
        },
        [](const Engine &) {
            return QJsonValue(0);
        } },
    { "curr:rang",
        [](const Engine &, QJsonObject *s, const char *k) {
            put(s, k, int(Source::m_currRange.load()));
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            SourceCurrentRange range;
            if (enumOf(s, k, 3, &range))
                e.basic->setCurrentRange(range);
        },
        [](const Engine &) {
            return QJsonValue(int(KeywordBridge_LowMedHigh::HIGH));
        } },
    { "volt:rang",
        [](const Engine &, QJsonObject *s, const char *k) {
            put(s, k, int(Source::m_voltRange.load()));
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            SourceVoltageRange range;
            if (enumOf(s, k, 2, &range))
                e.basic->setVoltageRange(range);
        },
        [](const Engine &) {
            return QJsonValue(int(KeywordBridge_LowHigh::HIGH));
        } },
    { "func",
        [](const Engine &, QJsonObject *s, const char *k) {
            put(s, k, int(Source::m_functionMode.load()));
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            SourceMode mode;
            if (enumOf(s, k, 5, &mode))
                e.basic->setFunctionMode(mode);
        },
        [](const Engine &) {
            return QJsonValue(int(KeywordBridge_CcCrCvCpArb::CC));
        } },
    { "curr:ext:fcon",
        [](const Engine &, QJsonObject *s, const char *k) {
            put(s, k, Source::m_external.load());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setExternal(boolOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(false);
        } },
    { "volt:ext:fcon",
        [](const Engine &, QJsonObject *s, const char *k) {
            put(s, k, Source::m_voltExternal.load());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setVoltageExternal(boolOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(false);
        } },
    { "curr:ext:acon",
        [](const Engine &, QJsonObject *s, const char *k) {
            put(s, k, Source::m_ccAddExternal.load());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setCurrentAddExternal(boolOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(false);
        } },
    { "cond",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getRealConductanceLevel());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setRealConductanceLevel(realOf(s, k), UpdateAlways);
        },
        [](const Engine &e) {
            return QJsonValue(bound(e.info->conductanceMap(), 2).m_min);
        } },
    { "cond:resp",
        [](const Engine &, QJsonObject *s, const char *k) {
            put(s, k, int(Source::m_condResponse.load()));
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            KeywordBridge_NormFast::values response;
            if (enumOf(s, k, 2, &response))
                e.basic->setConductanceResponse(response);
        },
        [](const Engine &) {
            return QJsonValue(0);
        } },
    { "cond:puls:lev",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getRealPulseLevelConductance());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setRealPulseLevelConductance(realOf(s, k), UpdateAlways);
        },
        [](const Engine &e) {
            return QJsonValue(bound(e.info->conductanceMap(), 2).m_min);
        } },
    { "curr",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getRealCurrentLevel());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setRealCurrentLevel(realOf(s, k), UpdateAlways);
        },
        [](const Engine &e) {
            return QJsonValue(bound(e.info->currentMap(), 2).m_min);
        } },
    { "curr:prot",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getRealCurrentProtectionLevel());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setRealCurrentProtectionLevel(realOf(s, k), UpdateAlways);
        },
        [](const Engine &e) {
            return QJsonValue(bound(e.info->ocpMap(), 2).m_max);
        } },
    { "curr:prot:stat",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getCurrentProtectionTripState());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setCurrentProtectionTripState(boolOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(false);
        } },
    { "curr:slew",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getRealCurrentSlewRateLevel());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setRealCurrentSlewRateLevel(realOf(s, k), UpdateAlways);
        },
        [](const Engine &e) {
            return QJsonValue(bound(e.info->slewRateMap(), 2).m_min);
        } },
    { "curr:sst",
        [](const Engine &, QJsonObject *s, const char *k) {
            put(s, k, Source::m_ssTime.load());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setCurrentSSTime(realOf(s, k));
        },
        [](const Engine &e) {
            return QJsonValue(secondTime(e.info->softStart()));
        } },
    { "curr:puls:lev",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getRealPulseLevelCurrent());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setRealPulseLevelCurrent(realOf(s, k), UpdateAlways);
        },
        [](const Engine &e) {
            return QJsonValue(bound(e.info->currentMap(), 2).m_min);
        } },
    { "curr:puls:dcyc",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getPulseDutyCycle() / 1000.0);
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setRealPulseDutyCycle(realOf(s, k), UpdateIfChanged);
        },
        [](const Engine &) {
            return QJsonValue(50.0);
        } },
    { "curr:puls:freq",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getPulseFrequency() / 1000.0);
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setRealPulseFrequency(realOf(s, k), UpdateIfChanged);
        },
        [](const Engine &) {
            return QJsonValue(1.0);
        } },
    { "curr:puls:stat",
        [](const Engine &, QJsonObject *s, const char *k) {
            put(s, k, Source::m_pulseState.load());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setPulseState(boolOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(false);
        } },
    { "curr:sin:lev",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getRealSineAmplitude());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setRealSineAmplitude(realOf(s, k), UpdateAlways);
        },
        [](const Engine &e) {
            return QJsonValue(bound(e.info->currentMap(), 2).m_min);
        } },
    { "curr:sine:freq",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getSineFrequency() / 1000.0);
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setRealSineFrequency(realOf(s, k), UpdateIfChanged);
        },
        [](const Engine &) {
            return QJsonValue(1.0);
        } },
    { "curr:sine:stat",
        [](const Engine &, QJsonObject *s, const char *k) {
            put(s, k, Source::m_sineState.load());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setSineState(boolOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(false);
        } },
    { "pow",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getRealPowerLevel());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setRealPowerLevel(realOf(s, k), UpdateAlways);
        },
        [](const Engine &e) {
            return QJsonValue(bound(e.info->powerMap(), 5).m_min);
        } },
    { "pow:prot",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getRealPowerProtectionLevel());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setRealPowerProtectionLevel(realOf(s, k), UpdateAlways);
        },
        [](const Engine &e) {
            return QJsonValue(bound(e.info->oppMap(), 5).m_max);
        } },
    { "pow:prot:stat",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getPowerProtectionTripState());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setPowerProtectionTripState(boolOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(false);
        } },
    { "volt",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getRealVoltageLevel());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setRealVoltageLevel(realOf(s, k), UpdateAlways);
        },
        [](const Engine &e) {
            return QJsonValue(bound(e.info->voltageMap(), 1).m_min);
        } },
    { "volt:prot:low",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getRealVoltageProtectionLevel());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setRealVoltageProtectionLevel(realOf(s, k), UpdateAlways);
        },
        [](const Engine &) {
            return QJsonValue(0.0);
        } },
    // Stored negated: true when the under-voltage action is the added CV limit.
    { "func:cvop",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, !e.basic->getVoltageProtectionTripState());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setVoltageProtectionTripState(!boolOf(s, k), UpdateIfChanged);
        },
        [](const Engine &) {
            return QJsonValue(true);
        } },
    { "volt:prot:stat",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getVoltageProtectionState());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setVoltageProtectionState(boolOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(false);
        } },
    { "volt:resp",
        [](const Engine &, QJsonObject *s, const char *k) {
            put(s, k, int(Source::m_voltResponse.load()));
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            KeywordBridge_NormFast::values response;
            if (enumOf(s, k, 2, &response))
                e.basic->setVoltageResponse(response);
        },
        [](const Engine &) {
            return QJsonValue(0);
        } },
    // The points as "arb_01", "arb_02", ...; the reset only clears the table.
    { "arb_",
        [](const Engine &e, QJsonObject *s, const char *) {
            *s = pointsToJson(e.arbitrary->getData(), *s);
        },
        [](const Engine &e, const QJsonObject &s, const char *) {
            e.arbitrary->clear();
            if (e.reset)
                return;
            QList<ARBITRARY_DATA> points = pointsFromJson(s);
            if (e.arbitrary->setTable(points) == Error::None)
                e.arbitrary->transmit(UpdateIfChanged);
        },
        [](const Engine &) {
            return QJsonValue();
        } },
    { "arb:resp",
        [](const Engine &, QJsonObject *s, const char *k) {
            put(s, k, Source::m_arbRespTime.load());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setArbResponse(realOf(s, k));
        },
        [](const Engine &e) {
            return QJsonValue(secondTime(e.info->arbResponse()));
        } },
    { "outp:etim:stat",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getOutputCutOffElapsedTimeState());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setOutputCutOffElapsedTimeState(boolOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(false);
        } },
    { "outp:etim",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getOutputCutOffElapsedTime());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setOutputCutOffElapsedTime(realOf(s, k), UpdateIfChanged);
        },
        [](const Engine &) {
            return QJsonValue(0.0);
        } },
    { "outp:volt:stat",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getOutputCutOffVoltageState());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setOutputCutOffVoltageState(boolOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(false);
        } },
    { "outp:volt",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getOutputCutOffVoltage());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setOutputCutOffVoltage(realOf(s, k), UpdateIfChanged);
        },
        [](const Engine &) {
            return QJsonValue(0.0);
        } },
    { "outp:cap:stat",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getOutputCutOffCapacityState());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setOutputCutOffCapacityState(boolOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(false);
        } },
    { "outp:cap",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getOutputCutOffCapacity());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setOutputCutOffCapacity(realOf(s, k), UpdateIfChanged);
        },
        [](const Engine &) {
            return QJsonValue(0.0);
        } },
    { "outp:ener:stat",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getOutputCutOffEnergyState());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setOutputCutOffEnergyState(boolOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(false);
        } },
    { "outp:ener",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getOutputCutOffEnergy());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setOutputCutOffEnergy(realOf(s, k), UpdateIfChanged);
        },
        [](const Engine &) {
            return QJsonValue(0.0);
        } },
    // A code that names no record column refuses the whole format.
    { "data:form",
        [](const Engine &e, QJsonObject *s, const char *k) {
            QJsonArray codes;
            for (int code : e.logger->getFormat())
                codes.append(code);
            put(s, k, codes);
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            DlFormatItems format;
            for (const QJsonValue &v : s.value(QLatin1String(k)).toArray()) {
                const int code = v.toInt(-1);
                if (code < 0 || code > LastFormatCode)
                    return;
                format.append(code);
            }
            e.logger->setFormat(format);
        },
        [](const Engine &) {
            return QJsonValue(QJsonArray { 0, 1, 2 });
        } },
    { "data:bsiz",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.logger->getBufSize());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.logger->setBufSize(intOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(65536);
        } },
    { "data:int:gate",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, int(e.acquire->getIntegralGate()));
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            integralGate gate;
            if (enumOf(s, k, 3, &gate))
                e.acquire->setIntegralGate(gate);
        },
        [](const Engine &) {
            return QJsonValue(int(IntegralGateLoadOn));
        } },
    { "data:int:gate:ares",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.acquire->integralGateAutoResetState());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.acquire->setIntegralGateAutoResetState(boolOf(s, k));
            e.acquire->integralStop();
            e.acquire->integralReset();
        },
        [](const Engine &) {
            return QJsonValue(true);
        } },
    { "sens:aper",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.acquire->senseAperture());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.acquire->setSenseAperture(realOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(0.1);
        } },
    { "trig:acq:coun",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, int(e.acquire->triggerCount()));
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            const int n = intOf(s, k);
            if (n >= 0)
                e.acquire->setTriggerCount(unsigned(n));
        },
        [](const Engine &) {
            return QJsonValue(1);
        } },
    { "trig:acq:del",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.acquire->triggerDelay());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.acquire->setTriggerDelay(realOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(0.0);
        } },
    { "trig:acq:stat",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.acquire->triggerIntervalState());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.acquire->setTriggerIntervalState(boolOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(false);
        } },
    { "trig:acq:time",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.acquire->triggerTimer());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.acquire->setTriggerTimer(realOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(0.1);
        } },
    { "trig:acq:sour",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, int(e.acquire->triggerSources()));
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.acquire->setTriggerSources(AcquireTrigger::TrigAcquireSources(intOf(s, k)));
        },
        [](const Engine &) {
            return QJsonValue(int(ioc::IoControl::tasImmediate));
        } },
    { "trig:tran:sour",
        [](const Engine &, QJsonObject *s, const char *k) {
            put(s, k, int(Source::triggerSources()));
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setTriggerSources(TrigTransientSources(intOf(s, k)));
        },
        nullptr },
    { "trig:tran:del",
        [](const Engine &, QJsonObject *s, const char *k) {
            put(s, k, Source::m_triggerDelay.load() / 1e6);
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setTriggerDelay(realOf(s, k));
        },
        nullptr },
    { "trig:tran:msyn:auto",
        [](const Engine &e, QJsonObject *s, const char *k) {
            put(s, k, e.basic->getMSyncState());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setMSyncState(boolOf(s, k));
        },
        [](const Engine &) {
            return QJsonValue(false);
        } },
    // The three display items: one call after all three are read.
    { "disp:etim",
        [](const Engine &e, QJsonObject *s, const char *) {
            const AcquireTrigger::displayItems items = e.acquire->viewDisplayItems();
            put(s, "disp:etim", items.testFlag(AcquireTrigger::eTime));
            put(s, "disp:cap", items.testFlag(AcquireTrigger::capacity));
            put(s, "disp:ener", items.testFlag(AcquireTrigger::energy));
        },
        [](const Engine &e, const QJsonObject &s, const char *) {
            AcquireTrigger::displayItems items;
            items.setFlag(AcquireTrigger::eTime, boolOf(s, "disp:etim"));
            items.setFlag(AcquireTrigger::capacity, boolOf(s, "disp:cap"));
            items.setFlag(AcquireTrigger::energy, boolOf(s, "disp:ener"));
            e.acquire->setViewDisplayItems(items);
        },
        [](const Engine &) {
            return QJsonValue(true);
        } },
    // "abc_0" to "abc_2"; the reset zeroes the levels and keeps the points.
    { "abc_",
        [](const Engine &e, QJsonObject *s, const char *) {
            const QVector<ABC_MEMORY> presets = e.presets->all();
            for (int n = 0; n < presets.size(); ++n)
                s->insert(QStringLiteral("abc_%1").arg(n), presetToJson(presets.at(n)));
        },
        [](const Engine &e, const QJsonObject &s, const char *) {
            if (e.reset) {
                e.presets->reset();
                return;
            }
            QVector<ABC_MEMORY> presets;
            for (int n = 0; n < AbcMemories::Count; ++n)
                presets.append(presetFromJson(s.value(QStringLiteral("abc_%1").arg(n)).toObject()));
            e.presets->replace(presets);
        },
        [](const Engine &) {
            return QJsonValue();
        } },
    { "outp:shor",
        [](const Engine &, QJsonObject *s, const char *k) {
            put(s, k, Source::m_outputShort.load());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            e.basic->setOutputShort(boolOf(s, k), UpdateIfChanged);
        },
        [](const Engine &) {
            return QJsonValue(false);
        } },
    // Last: the load. A recall of the automatic setup leaves it off; the reset leaves it off.
    { "outp",
        [](const Engine &, QJsonObject *s, const char *k) {
            put(s, k, Source::m_stateLoad.load());
        },
        [](const Engine &e, const QJsonObject &s, const char *k) {
            if (boolOf(s, k))
                e.basic->setOutput(true);
        },
        nullptr },
};

// Before the first member: the instrument configuration's sensing and DIGITAL2 direction again,
// and the load off.
void prepare(const Engine &e)
{
    e.basic->setRemoteSensing();
    e.basic->setDigital2Direction();
    e.basic->setOutput(false);
}

} // namespace

PanelMemory::PanelMemory(int resetPauseMs)
    : m_resetPauseMs(resetPauseMs)
{
    if (zostd::ZOValueManager *registry = zostd::ZOValueManager::s_pSelf)
        m_abort = dynamic_cast<zostd::ZONullValue *>(registry->find(AbortAllValueId));
}

QString PanelMemory::boardPath(const QString &name)
{
    if (name.startsWith(QLatin1Char('/')))
        return name;
    return QLatin1String(PanelsDir) + name;
}

SCPIERR_T PanelMemory::sav(const QString &name, const AbcMemories &presets, QString *failure) const
{
    const Engine e = engineOf(const_cast<AbcMemories *>(&presets));
    QJsonObject setup;
    for (const Member &m : s_members)
        m.save(e, &setup, m.key);

    const QString path = platform::BoardPath::map(boardPath(name));
    // The setup slots' folder is made on first use; a folder named by the caller must exist.
    if (!name.startsWith(QLatin1Char('/')))
        QDir().mkpath(QFileInfo(path).absolutePath());
    QString reason;
    const int rc = platform::AtomicFile::write(
        path, QJsonDocument(setup).toJson(QJsonDocument::Indented), &reason);
    if (rc != 0) {
        if (failure)
            *failure = boardPath(name) + QStringLiteral(": ") + reason;
        return Error::SystemError;
    }
    return Error::None;
}

SCPIERR_T PanelMemory::rcl(const QString &name, AbcMemories *presets) const
{
    const Engine e = engineOf(presets);
    if (ELoad::s_pSelf->program()->transientState() != Program::Idle)
        return Error::ProgramRunning;
    const bool automatic = name == QLatin1String(AutomaticSetup);

    QFile file(platform::BoardPath::map(boardPath(name)));
    if (!file.open(QIODevice::ReadOnly))
        return CannotOpen;
    const QByteArray text = file.readAll();
    file.close();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return NotJson;
    QJsonObject setup = document.object();
    if (automatic)
        setup.remove(QStringLiteral("outp"));

    // Only a recall that goes ahead drops the records.
    e.logger->clear();
    prepare(e);
    for (const Member &m : s_members)
        m.apply(e, setup, m.key);
    return Error::None;
}

SCPIERR_T PanelMemory::rst(AbcMemories *presets) const
{
    Engine e = engineOf(presets);
    e.reset = true;
    if (m_abort) {
        // As a device clear commits it: under the registry's lock, which no caller holds here.
        QMutexLocker lock(zostd::ZOValueManager::s_pSelf->getMutex());
        m_abort->commit();
    }
    e.logger->clear();
    if (m_resetPauseMs > 0)
        QThread::msleep(static_cast<unsigned long>(m_resetPauseMs));
    Source::recoverWatchdog();
    e.basic->clearProtection();

    QJsonObject setup;
    for (const Member &m : s_members) {
        if (m.resetValue)
            setup.insert(QLatin1String(m.key), m.resetValue(e));
    }
    prepare(e);
    for (const Member &m : s_members) {
        if (m.resetValue)
            m.apply(e, setup, m.key);
    }
    return Error::None;
}

} // namespace vek
