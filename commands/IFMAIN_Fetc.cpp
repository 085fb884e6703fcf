#include "commands/IFMAIN_Fetc.h"

#include "commands/MeasurementWait.h"
#include "commands/ValueObjects.h"
#include "commands/keywords/KeywordsData.h"
#include "engine/AcquireTrigger.h"
#include "engine/DataLogger.h"
#include "remote/ZOCmdArg.h"

#include <cstring>
#include <iterator>

namespace {

using vek::AcquireTrigger;

enum class Kind { Fetch, Read, Measure };

constexpr int AllItems = -1;

Kind kindOf(const char *header)
{
    if (std::strncmp(header, "MEAS", 4) == 0)
        return Kind::Measure;
    if (std::strncmp(header, "READ", 4) == 0)
        return Kind::Read;
    return Kind::Fetch;
}

// The format code of the item the header names, AllItems for none.
int itemOf(const char *header)
{
    static const char *const words[] = { ":CURR", ":VOLT", ":POW", ":ETIM", ":CAP", ":ENER" };
    for (int code = 0; code < int(std::size(words)); ++code) {
        if (std::strstr(header, words[code]))
            return code;
    }
    return AllItems;
}

// Format code -> logger column.
double itemValue(const ioc::TRACE_DATA &record, int code)
{
    static constexpr DataLogger::Column columns[] = { DataLogger::Current,
        DataLogger::Voltage,
        DataLogger::Power,
        DataLogger::ETime,
        DataLogger::Capacity,
        DataLogger::Energy };
    return DataLogger::columnValue(record, columns[code]);
}

// The newest record: the item, or every item of the data format. -230 when there is none.
short answerNewest(const DataLogger &logger, int item, zo4882::ZOCmdArg **answer)
{
    if (item != AllItems) {
        const std::optional<ioc::TRACE_DATA> record = logger.last();
        if (!record)
            return -230;
        *answer = new zo4882::ZOCmdArg(itemValue(*record, item), zo4882::ZOCmdArg::KIND_REAL);
        return 0;
    }
    const QVector<double> values = logger.getLastWithFormat();
    if (values.isEmpty())
        return -230;
    zo4882::ZOCmdArg *chain = nullptr;
    for (double v : values) {
        auto *item = new zo4882::ZOCmdArg(v, zo4882::ZOCmdArg::KIND_REAL);
        if (chain)
            *chain << item;
        else
            chain = item;
    }
    *answer = chain;
    return 0;
}

// MEASure: one immediate sample of 0.1 s; a setting the engine refuses (while measuring) is
// left as it is, and the initiate that follows reports the conflict.
void setUpSingleMeasurement(AcquireTrigger &acquire)
{
    acquire.setTriggerSources(AcquireTrigger::TrigAcquireSources(ioc::IoControl::tasImmediate));
    acquire.setTriggerCount(1);
    acquire.setTriggerDelay(0.0);
    acquire.setTriggerIntervalState(false);
    acquire.setTriggerTimer(0.1);
    acquire.setSenseAperture(0.1);
}

short outcomeError(MeasurementWait::Outcome outcome)
{
    switch (outcome) {
    case MeasurementWait::Ready:
        return 0;
    case MeasurementWait::Deadlocked:
        return -214;
    case MeasurementWait::Aborted:
    case MeasurementWait::Interrupted:
        break;
    }
    return -410;
}

} // namespace

short IFMAIN_Fetc::OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const
{
    const ValueEngine &engine = valueEngine();
    if (!engine.acquire || !engine.logger)
        return zo4882::notAvailable(result);
    AcquireTrigger &acquire = *engine.acquire;
    const DataLogger &logger = *engine.logger;
    const Kind kind = kindOf(result->header);
    const int item = itemOf(result->header);

    // Listening before the checks and the initiate: an end between them is not missed.
    MeasurementWait wait(&acquire);
    if (kind == Kind::Fetch) {
        if (!logger.isEmpty())
            return answerNewest(logger, item, answer);
        if (!acquire.isInitiated()) // it may have completed since the look at the logger
            return logger.isEmpty() ? short(-230) : answerNewest(logger, item, answer);
        if (MeasurementWait::awaitsBusTrigger())
            return -214;
    } else {
        if (kind == Kind::Measure)
            setUpSingleMeasurement(acquire);
        else if (quint32(acquire.triggerSources()) == ioc::IoControl::tasBus)
            return -221;
        if (acquire.initiate() != 0)
            return -211;
    }
    if (const short e = outcomeError(wait.wait()))
        return e;
    return answerNewest(logger, item, answer);
}
