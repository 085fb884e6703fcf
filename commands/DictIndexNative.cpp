#include "commands/DictIndexNative.h"

#include "commands/DictArgTypes.h"
#include "engine/Source.h"

#include <QMutex>
#include <QMutexLocker>

#include <cstring>

namespace {

zo4882::ZO_SCPI_DICT_ENTRY *entryNamed(const char *name)
{
    for (zo4882::ZO_SCPI_DICT_ENTRY &entry : DictIndexNative::s_dictNative) {
        if (entry.name && std::strcmp(entry.name, name) == 0)
            return &entry;
    }
    return nullptr;
}

// The level's argument types in each function mode; null for a value that is no mode.
const unsigned *levelTypes(unsigned char mode)
{
    switch (mode) {
    case KeywordBridge_CcCrCvCpArb::CC:
        return dictargs::args_amps_noMM;
    case KeywordBridge_CcCrCvCpArb::CR:
        return dictargs::args_siem_noMM;
    case KeywordBridge_CcCrCvCpArb::CV:
        return dictargs::args_volts_noMM;
    case KeywordBridge_CcCrCvCpArb::CP:
        return dictargs::args_watts_noMM;
    case KeywordBridge_CcCrCvCpArb::ARB:
        return dictargs::args_nrfp;
    default:
        return nullptr;
    }
}

} // namespace

DictIndexNative::DictIndexNative()
    : zo4882::ZODictIndex<NumEntries>(s_dictNative)
{
    swapUnitSuffix(static_cast<unsigned char>(vek::Source::m_functionMode.load()));
}

void DictIndexNative::swapUnitSuffix(unsigned char mode)
{
    static zo4882::ZO_SCPI_DICT_ENTRY *const pEntry_ProgStepLev = entryNamed("ProgStepLev");
    static zo4882::ZO_SCPI_DICT_ENTRY *const pEntry_ProgStepTranStar =
        entryNamed("ProgStepTranStar");
    static zo4882::ZO_SCPI_DICT_ENTRY *const pEntry_ProgLastLev = entryNamed("ProgLastLev");
    // Guards the three stores, so that two threads changing the mode at once leave the three
    // entries alike; the parser reads each word atomically without it.
    static QMutex mutex;

    if (!pEntry_ProgStepLev || !pEntry_ProgStepTranStar || !pEntry_ProgLastLev)
        return;
    QMutexLocker lock(&mutex);
    if (const unsigned *types = levelTypes(mode))
        pEntry_ProgStepLev->setArgTypes.store(types);
    const unsigned *present = pEntry_ProgStepLev->setArgTypes.load();
    pEntry_ProgStepTranStar->setArgTypes.store(present);
    pEntry_ProgLastLev->setArgTypes.store(present);
}
