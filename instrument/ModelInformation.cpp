#include "instrument/ModelInformation.h"

#include "engine/ioc/IoControl.h"
#include "instrument/InstrumentErrors.h"
#include "instrument/ModelHandler.h"
#include "platform/BoardPath.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

using platform::BoardPath;

const QString ModelInformation::eepromDevice = QStringLiteral("/sys/bus/i2c/devices/0-0050/eeprom");
const QString ModelInformation::fileName = QStringLiteral("/usr/bin/model.info");
const QString ModelInformation::modelNameFile = QStringLiteral("/etc/model");
const QString ModelInformation::optionDirectory = QStringLiteral("/usr/bin/options");
const QString ModelInformation::fallbackModelName = QStringLiteral("UNKNOWN");

ModelInformation *ModelInformation::s_pSelf = nullptr;

namespace {

// EEPROM layout: serial number (Latin-1, NUL-terminated when shorter) and MAC address.
constexpr int SerialOffset = 16;
constexpr int SerialLength = 12;
constexpr int MacOffset = 60;
constexpr int MacLength = 6;

// This program's own version, first in the revision text.
const char firmwareRevision[] = "IFC2.11.0000";

QString versionText(const ioc::IOC_VERSION &v)
{
    return QString("%1.%2.%3")
        .arg(unsigned(v.major))
        .arg(unsigned(v.minor), 2, 10, QLatin1Char('0'))
        .arg(unsigned(v.build), 4, 10, QLatin1Char('0'));
}

// Every key a record can carry: current code 0..2, voltage code 0..1, energy key 0..7.
template <typename Value> ioc::AcqFactors factorsOf(Value value)
{
    ioc::AcqFactors factors;
    for (int code = 0; code < 3; ++code) {
        factors.current.insert(code, value(0, code));
        factors.capacity.insert(code, value(2, code));
    }
    for (int code = 0; code < 2; ++code)
        factors.voltage.insert(code, value(1, code));
    for (int key = 0; key < 8; ++key)
        factors.energy.insert(key, value(3, key));
    return factors;
}

ioc::AcqFactors zeroFactors()
{
    return factorsOf([](int, int) {
        return 0.0;
    });
}

} // namespace

ModelInformation::ModelInformation(ioc::IoControl *writer,
    ioc::IoControl *monitor,
    const ErrorSink &errorSink,
    const MessageReporter &parseErrorReporter)
    : ModelInformation(
        [writer, monitor] {
            // No record may be scaled as if a register unit were a volt or an ampere.
            ioc::IoControl::setAcqFactors(zeroFactors());
            writer->start(QThread::InheritPriority);
            monitor->start(QThread::InheritPriority);
            return monitor->getModelsInfo();
        },
        errorSink,
        parseErrorReporter)
{
    ioc::IoControl::setAcqFactors(acqFactors());
}

ModelInformation::ModelInformation(const ReportSource &reportSource,
    const ErrorSink &errorSink,
    const MessageReporter &parseErrorReporter)
    : m_reportSource(reportSource)
    , m_errorSink(errorSink)
    , m_parseErrorReporter(parseErrorReporter)
{
    s_pSelf = this;
    zostd::setInterface_IModelInfo(this);

    const QByteArray serial = readEepRom(SerialOffset, SerialLength);
    const int nul = serial.indexOf('\0');
    m_serial = QString::fromLatin1(nul < 0 ? serial : serial.left(nul));
    const QByteArray mac = readEepRom(MacOffset, MacLength);
    if (mac.size() == MacLength) {
        m_hwAdr = QString::asprintf("%02hhx:%02hhx:%02hhx:%02hhx:%02hhx:%02hhx",
            mac[0],
            mac[1],
            mac[2],
            mac[3],
            mac[4],
            mac[5]);
    } else {
        reportError(InstrumentErrors::SystemError, QString("Unreadable %1").arg(eepromDevice));
    }

    m_softStart = { { 0.0, 0x0 },
        { 0.0001, 0x80000 },
        { 0.0002, 0x90000 },
        { 0.0005, 0xA0000 },
        { 0.001, 0xB0000 },
        { 0.002, 0xC0000 },
        { 0.005, 0xD0000 },
        { 0.01, 0xE0000 },
        { 0.02, 0xF0000 } };

    calculation();
    readOptions();
}

ModelInformation::~ModelInformation()
{
    if (s_pSelf == this) {
        s_pSelf = nullptr;
        zostd::setInterface_IModelInfo(nullptr);
    }
}

QString ModelInformation::getManufacturer() const
{
    return QStringLiteral("ZORVANE");
}

QString ModelInformation::getModel() const
{
    return m_modelNames.isEmpty() ? fallbackModelName : m_modelNames.first();
}

QString ModelInformation::getSerial() const
{
    return m_serial;
}

QString ModelInformation::getRevision() const
{
    return QString("%1 FPGA%2 IOC%3")
        .arg(
            QLatin1String(firmwareRevision), versionText(m_fpgaVersion), versionText(m_iocVersion));
}

QString ModelInformation::getProductDescription() const
{
    return QStringLiteral("Electronic Load");
}

QString ModelInformation::getIviDriverIdentifier() const
{
    return QStringLiteral("ZorvaneVek3r");
}

quint16 ModelInformation::getUsbVID() const
{
    return 0x1209; // an id pool open to hardware projects
}

quint16 ModelInformation::getUsbPID() const
{
    return 0x0001;
}

QString ModelInformation::getHwAdr() const
{
    return m_hwAdr;
}

ioc::AcqFactors ModelInformation::acqFactors() const
{
    const QMap<int, BoundValueAcq> *maps[] = {
        &m_acqCurrentMap, &m_acqVoltageMap, &m_capacityMap, &m_energyMap
    };
    return factorsOf([&maps](int map, int key) {
        return rangeValue(*maps[map], key).m_factor;
    });
}

QByteArray ModelInformation::readEepRom(int offset, int length) const
{
    QFile file(BoardPath::map(eepromDevice));
    if (offset < 0 || length < 0 || !file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return QByteArray();
    return file.read(length);
}

bool ModelInformation::writeEepRom(int offset, QByteArray data, int length) const
{
    if (offset < 0 || length < 0)
        return false;
    if (data.size() > length)
        data.truncate(length);
    // Written in place: the EEPROM is a device file that cannot be replaced by a rename, and
    // ReadWrite keeps the bytes around the field (WriteOnly would truncate a plain file).
    QFile file(BoardPath::map(eepromDevice));
    if (!file.open(QIODevice::ReadWrite) || !file.seek(offset))
        return false;
    const bool written = file.write(data) == data.size() && file.flush();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

bool ModelInformation::setSerial(const QString &serial) const
{
    QByteArray field = serial.toLatin1();
    field.append('\0');
    return writeEepRom(SerialOffset, field, SerialLength);
}

bool ModelInformation::setMacAddress(const QByteArray &mac) const
{
    if (mac.size() != MacLength)
        return false;
    return writeEepRom(MacOffset, mac, MacLength);
}

void ModelInformation::getModelsInfo()
{
    const ioc::MODELS_INFO report = m_reportSource ? m_reportSource() : ioc::MODELS_INFO();
    m_iocVersion = report.versions.value(0);
    m_fpgaVersion = report.versions.value(1);

    QVector<long> ids;
    ids << report.modelCode;
    for (quint16 code : report.unitModelCodes)
        ids << code;
    modelFile(ids);
    if (m_modelNames.isEmpty())
        useFallbackModel();
    writeModelName();
}

void ModelInformation::modelFile(const QVector<long> &ids)
{
    const QString path = BoardPath::map(fileName);
    if (!QFileInfo::exists(path)) {
        reportError(InstrumentErrors::SystemError, QString("Missing %1").arg(fileName));
        return;
    }
    for (int i = 0; i < ids.size(); ++i) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            reportError(InstrumentErrors::SystemError, QString("Unreadable %1").arg(fileName));
            return;
        }
        ModelHandler handler(this, ids[i]);
        handler.parse(&file);
        if (handler.matched())
            continue;
        reportError(
            InstrumentErrors::SystemError, QString("Model %1 not in %2").arg(ids[i]).arg(fileName));
        // Without the unit's own model the ratings of the others are no basis for limits.
        if (i == 0)
            return;
    }
}

void ModelInformation::useFallbackModel()
{
    m_modelNames.clear();
    m_currRangeMap.clear();
    m_condRangeMap.clear();
    m_voltRangeMap.clear();
    m_currentMap.clear();
    m_conductanceMap.clear();
    m_voltageMap.clear();
    m_powerMap.clear();
    m_slewRateMap.clear();
    m_oppMap.clear();
    m_ocpMap.clear();
    m_uvpMap.clear();
    m_acqCurrentMap.clear();
    m_acqVoltageMap.clear();
    m_capacityMap.clear();
    m_energyMap.clear();
}

void ModelInformation::writeModelName()
{
    QSaveFile file(BoardPath::map(modelNameFile));
    if (!file.open(QIODevice::WriteOnly) || file.write(getModel().toUtf8()) < 0 || !file.commit())
        reportError(InstrumentErrors::SystemError, QString("Cannot write %1").arg(modelNameFile));
}

template <typename T> void ModelInformation::calculateMap(QMap<int, T> &map, const char *name)
{
    int power = BoundValueBase::PowerUnset;
    for (auto it = map.begin(); it != map.end();) {
        const int before = power;
        if (it.value().calculation(&power) == 0) {
            ++it;
            continue;
        }
        reportError(InstrumentErrors::SystemError,
            QString("%1: %2 entry %3 (0 .. %4) cannot be held by the controller")
                .arg(fileName, QLatin1String(name))
                .arg(it.key())
                .arg(it.value().m_max));
        power = before;
        it = map.erase(it);
    }
    if (map.isEmpty())
        map.insert(0, T::safeEntry());
}

void ModelInformation::calculation()
{
    getModelsInfo();

    calculateMap(m_currRangeMap, "current range");
    calculateMap(m_condRangeMap, "conductance range");
    calculateMap(m_voltRangeMap, "voltage range");

    calculateMap(m_currentMap, "current");
    calculateMap(m_conductanceMap, "conductance");
    calculateMap(m_voltageMap, "voltage");
    calculateMap(m_powerMap, "power");
    calculateMap(m_slewRateMap, "slew rate");
    calculateMap(m_oppMap, "OPP");
    calculateMap(m_ocpMap, "OCP");
    calculateMap(m_uvpMap, "UVP");

    calculateMap(m_acqCurrentMap, "acquired current");
    calculateMap(m_acqVoltageMap, "acquired voltage");
    calculateMap(m_capacityMap, "capacity");
    calculateMap(m_energyMap, "energy");
}

void ModelInformation::readOptions()
{
    m_options = { { QStringLiteral("SAMPLE"), QStringLiteral("A sample option"), false },
        { QStringLiteral("MORE"), QStringLiteral("One more option"), false } };
    static const QRegularExpression enabled(
        QStringLiteral("^(1|true|yes|on)$"), QRegularExpression::CaseInsensitiveOption);
    for (CustomOption &option : m_options) {
        QFile file(BoardPath::map(optionDirectory + QLatin1Char('/') + option.name));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        QByteArray line = file.readLine(257); // at most 256 bytes
        const int nul = line.indexOf('\0');
        if (nul >= 0)
            line.truncate(nul);
        option.enabled = enabled.match(QString::fromLatin1(line).trimmed()).hasMatch();
    }
}

void ModelInformation::reportError(int code, const QString &detail)
{
    m_startupErrors.append({ code, detail });
    if (m_errorSink)
        m_errorSink(code, detail);
}

const BoundValue *ModelInformation::levelBound(
    int mode, int currentRange, int voltageRange, int powerRange) const
{
    switch (mode) {
    case 0:
        return &rangeValue(m_currentMap, currentRange);
    case 1:
        return &rangeValue(m_conductanceMap, currentRange);
    case 2:
        return &rangeValue(m_voltageMap, voltageRange);
    case 3:
        return &rangeValue(m_powerMap, powerRange);
    default:
        return nullptr;
    }
}

QString ModelInformation::rangeText(const BoundValueBase &entry, const QString &unit)
{
    // The safe entry of an empty map has factor 0.
    const double factor = entry.m_prefixFactor != 0.0 ? entry.m_prefixFactor : 1.0;
    return QString::number(entry.m_max / factor, 'g', 6) + entry.m_siPrefix + unit;
}
