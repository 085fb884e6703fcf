#include "instrument/ModelHandler.h"

#include "instrument/InstrumentErrors.h"
#include "instrument/ModelInformation.h"

#include <QIODevice>
#include <QXmlStreamReader>

namespace {

bool parseReal(const QXmlStreamAttributes &attributes, const char *name, double *value)
{
    bool ok = false;
    const double v = attributes.value(QLatin1String(name)).toDouble(&ok);
    if (ok)
        *value = v;
    return ok;
}

// Hexadecimal with an optional 0x prefix.
bool parseHex(const QXmlStreamAttributes &attributes, const char *name, qint64 *value)
{
    QString text = attributes.value(QLatin1String(name)).toString().trimmed();
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text = text.mid(2);
    bool ok = false;
    const qint64 v = text.toLongLong(&ok, 16);
    if (ok && !text.startsWith(QLatin1Char('-')) && !text.startsWith(QLatin1Char('+')))
        *value = v;
    else
        ok = false;
    return ok;
}

bool parseUnsigned(const QXmlStreamAttributes &attributes, const char *name, quint32 *value)
{
    bool ok = false;
    const quint32 v = attributes.value(QLatin1String(name)).toUInt(&ok, 10);
    if (ok)
        *value = v;
    return ok;
}

bool parseInt(const QXmlStreamAttributes &attributes, const char *name, int *value)
{
    bool ok = false;
    const int v = attributes.value(QLatin1String(name)).toInt(&ok, 10);
    if (ok)
        *value = v;
    return ok;
}

struct RangeElement
{
    const char *name;
    int index; // engine range index: key of range and setting maps
    int code; // controller range code: key of measurement maps
    int group; // 0 current, 1 conductance, 2 voltage, 3 power (range target unchanged)
};

const RangeElement rangeElements[] = {
    { "low-curr-range", 0, 1, 0 },
    { "med-curr-range", 1, 2, 0 },
    { "hi-curr-range", 2, 0, 0 },
    { "low-cond-range", 0, 1, 1 },
    { "med-cond-range", 1, 2, 1 },
    { "hi-cond-range", 2, 0, 1 },
    { "low-volt-range", 0, 1, 2 },
    { "hi-volt-range", 1, 0, 2 },
    { "vlcl-power-range", 0, 5, 3 },
    { "vlcm-power-range", 1, 6, 3 },
    { "vlch-power-range", 2, 4, 3 },
    { "vhcl-power-range", 3, 1, 3 },
    { "vhcm-power-range", 4, 2, 3 },
    { "vhch-power-range", 5, 0, 3 },
};

} // namespace

ModelHandler::ModelHandler(ModelInformation *info, long modelId)
    : m_info(info)
    , m_modelId(modelId)
{ }

bool ModelHandler::parse(QIODevice *device)
{
    QXmlStreamReader reader(device);
    m_reader = &reader;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement())
            startElement(reader.qualifiedName().toString(), reader.attributes());
        else if (reader.isEndElement())
            endElement(reader.qualifiedName().toString());
    }
    bool ok = true;
    if (reader.hasError())
        ok = fatalError(reader.lineNumber(), reader.columnNumber(), reader.errorString());
    m_reader = nullptr;
    return ok;
}

bool ModelHandler::startElement(const QString &qName, const QXmlStreamAttributes &attributes)
{
    ModelInformation &info = *m_info;
    const QMap<QString, QMap<int, BoundValue> *> settings = {
        { "current", &info.m_currentMap },
        { "conductance", &info.m_conductanceMap },
        { "voltage", &info.m_voltageMap },
        { "power", &info.m_powerMap },
        { "slew-rate", &info.m_slewRateMap },
        { "opp", &info.m_oppMap },
        { "ocp", &info.m_ocpMap },
        { "uvp", &info.m_uvpMap },
    };
    const QMap<QString, QMap<int, BoundValueAcq> *> measurements = {
        { "acquire-current", &info.m_acqCurrentMap },
        { "acquire-voltage", &info.m_acqVoltageMap },
        { "capacity", &info.m_capacityMap },
        { "energy", &info.m_energyMap },
    };

    // Selecting targets and keys acts in every model element; storing happens only inside the
    // pass's own model.
    if (qName == QLatin1String("model")) {
        startModel(attributes);
    } else if (settings.contains(qName)) {
        m_settingTarget = settings.value(qName);
        m_acqTarget = nullptr;
        m_rangeIndex = m_rangeCode = 0;
    } else if (measurements.contains(qName)) {
        m_acqTarget = measurements.value(qName);
        m_settingTarget = nullptr;
        m_rangeIndex = m_rangeCode = 0;
    } else {
        for (const RangeElement &range : rangeElements) {
            if (qName != QLatin1String(range.name))
                continue;
            m_rangeIndex = range.index;
            m_rangeCode = range.code;
            if (range.group == 0)
                m_rangeTarget = &info.m_currRangeMap;
            else if (range.group == 1)
                m_rangeTarget = &info.m_condRangeMap;
            else if (range.group == 2)
                m_rangeTarget = &info.m_voltRangeMap;
            return true;
        }
        if (m_inModel)
            startFunction(qName, attributes);
    }
    return true;
}

void ModelHandler::startModel(const QXmlStreamAttributes &attributes)
{
    bool ok = false;
    const long tag = attributes.value(QLatin1String("tag")).toString().toLong(&ok, 10);
    if (!ok || tag != m_modelId)
        return;
    m_info->m_modelNames << attributes.value(QLatin1String("name")).toString();
    m_cutoffMin = m_cutoffMax = 0.0;
    m_inModel = true;
    m_matched = true;
}

void ModelHandler::startRange(const QXmlStreamAttributes &attributes)
{
    double title = 0.0;
    parseReal(attributes, "title", &title);
    m_work = BoundValue();
    m_work.m_scale = 1;
    m_workValid = m_work.setLimits(0.0, title);
    if (!m_workValid)
        m_work.m_max = title; // for the report; the entry is not committed
}

void ModelHandler::startLevel(const QXmlStreamAttributes &attributes)
{
    double min = 0.0;
    double max = 0.0;
    parseReal(attributes, "min", &min);
    parseReal(attributes, "max", &max);
    m_work = BoundValue();
    m_workValid = m_work.setLimits(min, max) && min <= max;
    if (!m_workValid) {
        // Keep the text for the report; the entry is not committed.
        m_work.m_min = min;
        m_work.m_max = max;
    }
    m_work.m_default = max;
    parseReal(attributes, "default", &m_work.m_default);
    m_work.m_scale = 0;
    parseHex(attributes, "scale", &m_work.m_scale);
    m_rangeTarget = nullptr;
}

void ModelHandler::startFunction(const QString &qName, const QXmlStreamAttributes &attributes)
{
    ModelInformation &info = *m_info;
    if (qName == QLatin1String("range")) {
        startRange(attributes);
    } else if (qName == QLatin1String("level")) {
        startLevel(attributes);
    } else if (qName == QLatin1String("list")) {
        double value = 0.0;
        qint64 code = 0;
        if (m_listTarget && parseReal(attributes, "value", &value)
            && parseHex(attributes, "iocvalue", &code))
            m_listTarget->append({ value, qint32(code) });
    } else if (qName == QLatin1String("pulse-function")) {
        parseReal(attributes, "min", &info.m_pulseMin);
        parseReal(attributes, "max", &info.m_pulseMax);
    } else if (qName == QLatin1String("sin-function")) {
        parseReal(attributes, "min", &info.m_sineMin);
        parseReal(attributes, "max", &info.m_sineMax);
    } else if (qName == QLatin1String("arb-point-function")) {
        quint32 points = 0;
        if (parseUnsigned(attributes, "value", &points)) {
            // The table travels in blocks of 32 entries.
            if (points >= 32 && points % 32 == 0)
                info.m_arbPoints = points;
            else
                refuse(QString("arbitrary point count %1 is not a whole number of 32-entry "
                               "blocks")
                           .arg(points));
        }
    } else if (qName == QLatin1String("arb-response-function")) {
        m_listTarget = &info.m_arbResponse;
        m_listTarget->clear();
    } else if (qName == QLatin1String("soft-start-function")) {
        m_listTarget = &info.m_softStart;
        m_listTarget->clear();
    } else if (qName == QLatin1String("ioc-cutoff-function")
        || qName == QLatin1String("ioc-short-function")
        || qName == QLatin1String("ioc-trig-acquire-ex-function")) {
        quint32 enable = 0;
        if (parseUnsigned(attributes, "enable", &enable)) {
            bool &flag = qName == QLatin1String("ioc-cutoff-function") ? info.m_iocCutoff
                : qName == QLatin1String("ioc-short-function")         ? info.m_iocShort
                                                                       : info.m_iocTrigAcquireEx;
            flag = enable != 0;
        }
    } else if (qName == QLatin1String("program-steptime-function")) {
        parseReal(attributes, "min", &info.m_stepTimeMin);
        parseReal(attributes, "max", &info.m_stepTimeMax);
        parseInt(attributes, "decimals", &info.m_stepTimeDecimals);
        parseReal(attributes, "singlestep", &info.m_stepTimeSingleStep);
    } else if (qName == QLatin1String("meas-function")) {
        parseReal(attributes, "min", &info.m_measMin);
        parseReal(attributes, "max", &info.m_measMax);
        parseInt(attributes, "decimals", &info.m_measDecimals);
        parseReal(attributes, "singlestep", &info.m_measSingleStep);
    } else if (qName == QLatin1String("ad-sample-base-time")) {
        parseReal(attributes, "value", &info.m_adSampleBaseTime);
    } else if (qName == QLatin1String("cutoff-capacity")
        || qName == QLatin1String("cutoff-energy")) {
        parseReal(attributes, "min", &m_cutoffMin);
        parseReal(attributes, "max", &m_cutoffMax);
    }
}

bool ModelHandler::endElement(const QString &qName)
{
    if (qName == QLatin1String("model")) {
        m_inModel = false;
        m_settingTarget = nullptr;
        m_acqTarget = nullptr;
    } else if (!m_inModel) {
        return true;
    } else if (qName == QLatin1String("range")) {
        commitRange();
    } else if (qName == QLatin1String("level")) {
        commitLevel();
    } else if (qName == QLatin1String("cutoff-capacity")
        || qName == QLatin1String("cutoff-energy")) {
        commitCutoff(qName);
    }
    return true;
}

bool ModelHandler::fatalError(qint64 line, qint64 column, const QString &message)
{
    const QString text =
        QString("Parse error at line %1, column %2:\n%3.").arg(line).arg(column).arg(message);
    if (m_info->m_parseErrorReporter)
        m_info->m_parseErrorReporter(QStringLiteral("Model Handler"), text);
    m_info->reportError(InstrumentErrors::SystemError,
        QString("%1 line %2, column %3: %4")
            .arg(ModelInformation::fileName)
            .arg(line)
            .arg(column)
            .arg(message));
    return false;
}

bool ModelHandler::isFirstUnit() const
{
    return m_info->m_modelNames.size() <= 1;
}

void ModelHandler::refuse(const QString &what)
{
    const qint64 line = m_reader ? m_reader->lineNumber() : 0;
    m_info->reportError(InstrumentErrors::SystemError,
        QString("%1 line %2: %3").arg(ModelInformation::fileName).arg(line).arg(what));
}

void ModelHandler::commitRange()
{
    if (!m_rangeTarget)
        return;
    if (!m_workValid) {
        refuse(QString("range title %1 refused").arg(m_work.m_max));
        return;
    }
    const int key = m_rangeIndex;
    if (m_rangeTarget == &m_info->m_voltRangeMap) {
        if (m_info->m_decided.voltageRange)
            return;
        m_info->m_decided.voltageRange = true;
        m_rangeTarget->insert(key, m_work);
        return;
    }
    BoundValueBase entry = m_work;
    if (!isFirstUnit()) {
        const BoundValueBase other = m_rangeTarget->value(key);
        entry.m_min += other.m_min;
        entry.m_max += other.m_max;
        entry.m_minE5 += other.m_minE5;
        entry.m_maxE5 += other.m_maxE5;
    }
    m_rangeTarget->insert(key, entry);
}

void ModelHandler::commitLevel()
{
    if (!m_settingTarget && !m_acqTarget)
        return;
    if (!m_workValid) {
        refuse(QString("level limits %1 .. %2 refused").arg(m_work.m_min).arg(m_work.m_max));
        return;
    }
    ModelInformation &info = *m_info;
    if (m_settingTarget) {
        const int key = m_rangeIndex;
        bool *decided = m_settingTarget == &info.m_voltageMap ? &info.m_decided.voltage
            : m_settingTarget == &info.m_uvpMap               ? &info.m_decided.uvp
                                                              : nullptr;
        if (decided) {
            if (!*decided) {
                *decided = true;
                m_settingTarget->insert(key, m_work);
            }
            return;
        }
        BoundValue entry = m_work;
        if (!isFirstUnit())
            entry += m_settingTarget->value(key);
        m_settingTarget->insert(key, entry);
        return;
    }

    const int key = m_rangeCode;
    if (m_acqTarget == &info.m_acqVoltageMap) {
        if (!info.m_decided.acquireVoltage) {
            info.m_decided.acquireVoltage = true;
            m_acqTarget->insert(key, m_work);
        }
        return;
    }
    BoundValueAcq entry = m_work;
    if (!isFirstUnit()) {
        const BoundValueAcq other = m_acqTarget->value(key);
        entry.m_min += other.m_min;
        entry.m_max += other.m_max;
        entry.m_minE5 += other.m_minE5;
        entry.m_maxE5 += other.m_maxE5;
    }
    m_acqTarget->insert(key, entry);
}

void ModelHandler::commitCutoff(const QString &qName)
{
    ModelInformation &info = *m_info;
    const bool capacity = qName == QLatin1String("cutoff-capacity");
    double &min = capacity ? info.m_cutoffCapacityMin : info.m_cutoffEnergyMin;
    double &max = capacity ? info.m_cutoffCapacityMax : info.m_cutoffEnergyMax;
    if (isFirstUnit()) {
        min = m_cutoffMin;
        max = m_cutoffMax;
    } else {
        min += m_cutoffMin;
        max += m_cutoffMax;
    }
}
