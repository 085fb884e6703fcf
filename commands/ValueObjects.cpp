#include "commands/ValueObjects.h"

#include "commands/AcquireValues.h"
#include "commands/OutputValues.h"
#include "commands/SourceValues.h"
#include "commands/ValueFamily.h"
#include "commands/ValueNotAvailable.h"
#include "commands/ValueOfTwins.h"
#include "remote/ZOValueManager.h"

#include <vector>

namespace {

struct CreationSlot
{
    unsigned id;
    const char *className;
    ValueFamily family;
};

// The creation order. Objects register themselves while they are built, so this order is the
// order of registration; the registry sorts by id.
constexpr CreationSlot s_creationOrder[] = {
    { 90, "ValueArbResp", ValueFamily::Source },
    { 100, "ValueCond", ValueFamily::Source },
    { 102, "ValueCondTrig", ValueFamily::Source },
    { 101, "ValueCondResp", ValueFamily::Source },
    { 103, "ValueCondPulsLev", ValueFamily::Source },
    { 110, "ValueCurr", ValueFamily::Source },
    { 121, "ValueCurrProt", ValueFamily::Output },
    { 127, "ValueCurrProtAct", ValueFamily::Output },
    { 122, "ValueCurrProtStat", ValueFamily::Output },
    { 123, "ValueCurrRang", ValueFamily::Source },
    { 125, "ValueCurrSlew", ValueFamily::Source },
    { 126, "ValueCurrSst", ValueFamily::Source },
    { 111, "ValueCurrTrig", ValueFamily::Source },
    { 119, "ValueCurrExtAcon", ValueFamily::Source },
    { 120, "ValueCurrExtFcon", ValueFamily::Source },
    { 112, "ValueCurrPulsLev", ValueFamily::Source },
    { 114, "ValueCurrPulsDcyc", ValueFamily::Source },
    { 115, "ValueCurrPulsFreq", ValueFamily::Source },
    { 116, "ValueCurrSineAmpl", ValueFamily::Source },
    { 117, "ValueCurrSineFreq", ValueFamily::Source },
    { 130, "ValueFunc", ValueFamily::Source },
    { 131, "ValueFuncCvop", ValueFamily::Source },
    { 160, "ValuePow", ValueFamily::Source },
    { 161, "ValuePowProt", ValueFamily::Output },
    { 162, "ValuePowProtStat", ValueFamily::Output },
    { 164, "ValuePowProtAct", ValueFamily::Output },
    { 163, "ValuePowTrig", ValueFamily::Source },
    { 170, "ValueVolt", ValueFamily::Source },
    { 179, "ValueVoltProtAct", ValueFamily::Output },
    { 176, "ValueVoltProtStat", ValueFamily::Output },
    { 175, "ValueVoltProtLow", ValueFamily::Output },
    { 173, "ValueVoltRang", ValueFamily::Source },
    { 174, "ValueVoltResp", ValueFamily::Source },
    { 177, "ValueVoltTrig", ValueFamily::Source },
    { 178, "ValueVoltExtFcon", ValueFamily::Source },
    { 140, "ValueOutp", ValueFamily::Output },
    { 141, "ValueOutpOnDwel", ValueFamily::Output },
    { 142, "ValueOutpTrig", ValueFamily::Output },
    { 143, "ValueOutpExtLog", ValueFamily::Output },
    { 144, "ValueOutpMsyn", ValueFamily::Output },
    { 145, "ValueOutpMsynAcc", ValueFamily::Output },
    { 146, "ValueOutpMsynAuto", ValueFamily::Output },
    { 147, "ValueOutpPonStat", ValueFamily::Output },
    { 148, "ValueOutpProtCle", ValueFamily::Output },
    { 149, "ValueOutpProtWdog", ValueFamily::Output },
    { 150, "ValueOutpProtWdogDel", ValueFamily::Output },
    { 151, "ValueOutpShort", ValueFamily::Output },
    { 152, "ValueOutpCutoffVolt", ValueFamily::Output },
    { 153, "ValueOutpCutoffVoltStat", ValueFamily::Output },
    { 154, "ValueOutpCutoffETime", ValueFamily::Output },
    { 155, "ValueOutpCutoffETimeStat", ValueFamily::Output },
    { 156, "ValueOutpCutoffCapa", ValueFamily::Output },
    { 157, "ValueOutpCutoffCapaStat", ValueFamily::Output },
    { 158, "ValueOutpCutoffEner", ValueFamily::Output },
    { 159, "ValueOutpCutoffEnerStat", ValueFamily::Output },
    { 401, "ValueDataBsiz", ValueFamily::Acquisition },
    { 402, "ValueDataPoin", ValueFamily::Acquisition },
    { 411, "ValueDataIntRes", ValueFamily::Acquisition },
    { 412, "ValueDataIntStar", ValueFamily::Acquisition },
    { 413, "ValueDataIntStop", ValueFamily::Acquisition },
    { 414, "ValueDataIntGate", ValueFamily::Acquisition },
    { 415, "ValueDataIntGateAres", ValueFamily::Acquisition },
    { 501, "ValueSensAper", ValueFamily::Acquisition },
    { 1300, "ValueSystBeepAll", ValueFamily::System },
    { 1301, "ValueSystBeepKey", ValueFamily::System },
    { 1302, "ValueSystBeepProt", ValueFamily::System },
    { 1303, "ValueSystBeepScpi", ValueFamily::System },
    { 1201, "ValueSystKloc", ValueFamily::System },
    { 1202, "ValueSystKlocLev", ValueFamily::System },
    { 1203, "ValueSystSecImm", ValueFamily::System },
    { 1204, "ValueSystSsavStat", ValueFamily::System },
    { 1205, "ValueSystSsavDel", ValueFamily::System },
    { 1206, "ValueSystSsavRwak", ValueFamily::System },
    { 1210, "ValueSystConfDigital2Dir", ValueFamily::Output },
    { 1211, "ValueSystConfMsynInd", ValueFamily::Output },
    { 1212, "ValueSystConfRsen", ValueFamily::Output },
    { 1213, "ValueSystConfSoutProt", ValueFamily::Output },
    { 2000, "ValueTrg", ValueFamily::Acquisition },
    { 2001, "ValueAbor", ValueFamily::Acquisition },
    { 2101, "ValueInitAcq", ValueFamily::Acquisition },
    { 2103, "ValueAborAcq", ValueFamily::Acquisition },
    { 2104, "ValueTrigAcqImm", ValueFamily::Acquisition },
    { 2105, "ValueTrigAcqCoun", ValueFamily::Acquisition },
    { 2106, "ValueTrigAcqDel", ValueFamily::Acquisition },
    { 2107, "ValueTrigAcqMsyn", ValueFamily::Acquisition },
    { 2109, "ValueTrigAcqSour", ValueFamily::Acquisition },
    { 2110, "ValueTrigAcqTim", ValueFamily::Acquisition },
    { 2111, "ValueTrigAcqIntStat", ValueFamily::Acquisition },
    { 2201, "ValueInitTran", ValueFamily::Acquisition },
    { 2202, "ValueInitTranProg", ValueFamily::Acquisition },
    { 2203, "ValueAborTran", ValueFamily::Acquisition },
    { 2204, "ValueTrigTranImm", ValueFamily::Acquisition },
    { 2301, "ValueInitPuls", ValueFamily::Source },
    { 2302, "ValueAborPuls", ValueFamily::Source },
    { 2303, "ValueInitSine", ValueFamily::Source },
    { 2304, "ValueAborSine", ValueFamily::Source },
    { 2206, "ValueTrigTranDel", ValueFamily::Acquisition },
    { 2207, "ValueTrigTranMsyn", ValueFamily::Acquisition },
    { 2209, "ValueTrigTranSour", ValueFamily::Acquisition },
    { 2211, "ValueTrigTranVthrPol", ValueFamily::Acquisition },
    { 2212, "ValueTrigTranVthrLev", ValueFamily::Acquisition },
    { 2213, "ValueTrigTranSusp", ValueFamily::Acquisition },
    { 2214, "ValueTrigTranRes", ValueFamily::Acquisition },
    { 3001, "ValueInst", ValueFamily::System },
    { 1002, "ValueDiagFpKey", ValueFamily::System },
    { 1001, "ValueDiagFpDisp", ValueFamily::System },
    { 1011, "ValueDispEtim", ValueFamily::Acquisition },
    { 1012, "ValueDispCap", ValueFamily::Acquisition },
    { 1013, "ValueDispEner", ValueFamily::Acquisition },
    { 1014, "ValueDispView", ValueFamily::Acquisition },
    { 4001, "ValueLxiIden", ValueFamily::System },
    { 9901, "ValueZvol", ValueFamily::System },
    { 9905, "ValueZcur", ValueFamily::System },
    { 9902, "ValueZcur", ValueFamily::System },
    { 9903, "ValueZcur", ValueFamily::System },
    { 9904, "ValueZcur", ValueFamily::System },
};

// Room in the registry: the 116 objects and a few to spare.
constexpr int ReservedEntries = 120;

// Immediate level and triggered level: conductance, current, power, voltage.
constexpr unsigned s_twins[][2] = { { 100, 102 }, { 110, 111 }, { 160, 163 }, { 170, 177 } };

// The families built so far; a family still to come has no table and all its ids are
// placeholders.
ValueFamilyTable familyOf(ValueFamily family)
{
    switch (family) {
    case ValueFamily::Source:
        return sourceValues();
    case ValueFamily::Output:
        return outputValues();
    case ValueFamily::Acquisition:
        return acquisitionValues();
    case ValueFamily::System:
        break;
    }
    return { nullptr, 0 };
}

ValueMaker makerOf(const CreationSlot &slot)
{
    const ValueFamilyTable table = familyOf(slot.family);
    for (int i = 0; i < table.count; ++i) {
        if (table.rows[i].id == slot.id)
            return table.rows[i].make;
    }
    return nullptr;
}

// Registry and objects, kept for the life of the process: never freed, only replaced.
struct ValueObjects
{
    ValueEngine engine;
    std::unique_ptr<zostd::ZOValueManager> registry;
    std::vector<std::shared_ptr<void>> objects;
};

ValueObjects *s_valueObjects = nullptr;

void linkTwins(const zostd::ZOValueManager &registry)
{
    for (const auto &pair : s_twins) {
        auto *immediate = dynamic_cast<ValueOfTwins *>(registry.find(pair[0]));
        auto *triggered = dynamic_cast<ValueOfTwins *>(registry.find(pair[1]));
        if (immediate && triggered)
            ValueOfTwins::linkTwins(immediate, triggered);
    }
}

} // namespace

int createValueObjects(const ValueEngine &engine)
{
    auto made = new ValueObjects;
    made->engine = engine;
    made->registry = std::make_unique<zostd::ZOValueManager>();
    made->registry->reserve(ReservedEntries);
    made->objects.reserve(sizeof s_creationOrder / sizeof s_creationOrder[0]);
    for (const CreationSlot &slot : s_creationOrder) {
        const ValueMaker make = makerOf(slot);
        made->objects.push_back(
            make ? make(engine) : std::make_shared<ValueNotAvailable>(slot.id, slot.className));
    }
    linkTwins(*made->registry);
    delete s_valueObjects;
    s_valueObjects = made;
    return made->registry->count();
}

const ValueEngine &valueEngine()
{
    static const ValueEngine none;
    return s_valueObjects ? s_valueObjects->engine : none;
}
