#include "sim/remote/HeadlessDictionary.h"

#include "commands/InstrumentCommonRows.h"
#include "engine/Basic.h"
#include "instrument/ModelInformation.h"
#include "remote/ZODictIndex.h"
#include "remote/ZOGenericCommands.h"
#include "remote/ZOStandardRows.h"

using namespace zo4882;

namespace headless {

namespace {

const BoundValue &currentEntry(const ModelInformation *info)
{
    return ModelInformation::rangeValue(info->currentMap(), int(vek::Source::getCurrentRange()));
}

constexpr unsigned argsAmps[] = { ZOCmdArg::ARG_INT | ZOCmdArg::ARG_REAL | ZOCmdArg::ARG_MINMAX
    | ZOCmdArg::unitWord(ZOCmdArg::UNIT_AMPERE) };
constexpr unsigned argsMinMax[] = { ZOCmdArg::ARG_MINMAX };

constexpr ZO_SCPI_DICT_ENTRY bound(const char *name,
    ZOCommandFactory factory,
    unsigned valueId,
    const unsigned *setTypes,
    unsigned queryCount,
    const unsigned *queryTypes,
    const char *first,
    const char *second,
    const char *pattern)
{
    return { name,
        factory,
        valueId,
        0,
        rows::oneArg,
        setTypes,
        0,
        queryCount,
        queryTypes,
        0,
        first,
        second,
        pattern,
        1,
        nullptr };
}

ZO_SCPI_DICT_ENTRY s_dict[] = {
    rows::cls(),
    rows::ese(),
    rows::esr(),
    rows::idn(),
    rows::opc(),
    instrumentrows::opt(),
    rows::psc(),
    rows::rcl(),
    rows::rst(),
    rows::sav(),
    rows::sre(),
    rows::stb(),
    rows::trg(),
    rows::tst(),
    rows::wai(),
    bound("Curr",
        rows::factory<_IFMAIN_gen_real64>(),
        CcLevelId,
        argsAmps,
        zoArgCount(0, 1),
        argsMinMax,
        "C",
        "U",
        "^CURR(ENT)?(:LEV(EL)?)?(:IMM(EDIATE)?)?(:AMPL(ITUDE)?)?\\??$"),
    bound("Inp",
        rows::factory<_IFMAIN_gen_bool8>(),
        LoadId,
        rows::argsBool,
        rows::noArgs,
        nullptr,
        "I",
        "N",
        "^INP(UT)?(:STAT(E)?)?\\??$"),
    bound("Outp",
        rows::factory<_IFMAIN_gen_bool8>(),
        LoadId,
        rows::argsBool,
        rows::noArgs,
        nullptr,
        "O",
        "U",
        "^OUTP(UT)?(:STAT(E)?)?\\??$"),
    rows::statAnyCond(),
    rows::statAnyEven(),
    rows::statAnyEnab(),
    rows::statAnyPtr(),
    rows::statAnyNtr(),
    rows::statPres(),
    rows::systErr(),
    rows::systErrCoun(),
    rows::systVers(),
    instrumentrows::systPassCdis(),
    instrumentrows::systPassCen(),
    instrumentrows::systPassCenStat(),
};

} // namespace

CcLevelValue::CcLevelValue(vek::Basic *basic, const ModelInformation *info)
    : ZOValue_real64_t(CcLevelId)
    , m_basic(basic)
    , m_info(info)
{ }

double CcLevelValue::getMin() const
{
    return currentEntry(m_info).m_min;
}

double CcLevelValue::getMax() const
{
    return currentEntry(m_info).m_max;
}

double CcLevelValue::getValue() const
{
    return m_basic->getRealCurrentLevel();
}

int CcLevelValue::commit()
{
    const int result = m_basic->setRealCurrentLevel(pending(), vek::UpdateIfChanged);
    if (result == 0)
        notify();
    return result;
}

LoadValue::LoadValue(vek::Basic *basic)
    : ZOValue_bool8_t(LoadId)
    , m_basic(basic)
{ }

unsigned char LoadValue::getValue() const
{
    return vek::Source::m_load.load() ? 1 : 0;
}

int LoadValue::commit()
{
    const int result = m_basic->setOutput(pending() != 0);
    if (result == 0)
        notify();
    return result;
}

const IDictIndex *dictionary()
{
    static const ZODictIndex<int(sizeof(s_dict) / sizeof(s_dict[0]))> index(s_dict);
    return &index;
}

} // namespace headless
