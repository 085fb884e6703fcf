#include "commands/SourceValues.h"

#include "engine/Basic.h"
#include "instrument/ModelInformation.h"

namespace {

const BoundValue &currentEntry(const ModelInformation &info)
{
    return ModelInformation::rangeValue(info.currentMap(), int(vek::Source::getCurrentRange()));
}

const ValueMakerRow s_rows[] = {
    { ValueCurr::Id, makeValue<ValueCurr> },
    { ValueCurrTrig::Id, makeValue<ValueCurrTrig> },
    { ValueVoltResp::Id, makeValue<ValueVoltResp> },
};

} // namespace

ValueCurr::ValueCurr(const ValueEngine &engine)
    : ValueCurr(Id, engine)
{ }

ValueCurr::ValueCurr(unsigned id, const ValueEngine &engine)
    : ValueOfTwins(id)
    , m_engine(engine)
{ }

int ValueCurr::setValue(const double &amps)
{
    return m_engine.basic->setRealCurrentLevel(amps, vek::UpdateIfChanged);
}

double ValueCurr::getValue() const
{
    return m_engine.basic->getRealCurrentLevel();
}

double ValueCurr::getMin() const
{
    return m_engine.info ? currentEntry(*m_engine.info).m_min : ValueOfTwins::getMin();
}

double ValueCurr::getMax() const
{
    return m_engine.info ? currentEntry(*m_engine.info).m_max : ValueOfTwins::getMax();
}

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
