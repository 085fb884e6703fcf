#include "instrument/PreferenceInfo.h"

#include "instrument/UnreadableFile.h"

#include "platform/AtomicFile.h"
#include "platform/BoardPath.h"
#include "platform/JsonFile.h"

#include <QFile>
#include <QJsonDocument>
#include <QMutexLocker>

zostd::IPreferenceInfo *PreferenceInfo::s_pSelf = nullptr;

namespace {
// Set once at start-up, before other threads run.
PreferenceInfo::ErrorSink s_errorSink;
PreferenceInfo::StatusEnableSink s_statusEnableSink;
PreferenceInfo::ModelIdentitySource s_modelIdentitySource;

void report(int code, const QString &detail)
{
    if (s_errorSink)
        s_errorSink(code, detail);
}

// The file's members: toInt() gives 0 for a missing member, another type or a fraction.
// The 16-bit and 8-bit members keep the low bits of what is there.
PreferenceInfo::Values valuesOf(const QJsonObject &o)
{
    PreferenceInfo::Values v;
    v.adrsAssign4 = o.value("adrsAssign4").toInt();
    v.adrsAssign6 = o.value("adrsAssign6").toInt();
    v.ddnsEnabled = o.value("ddnsEnabled").toBool();
    v.mdnsEnabled = o.value("mdnsEnabled").toBool();
    v.nbnsEnabled = o.value("nbnsEnabled").toBool();
    v.IpAdr4 = o.value("IpAdr4").toString();
    v.NetMask4 = o.value("NetMask4").toString();
    v.DefGW4 = o.value("DefGW4").toString();
    v.PriDNS4 = o.value("PriDNS4").toString();
    v.SecDNS4 = o.value("SecDNS4").toString();
    v.PriWINS4 = o.value("PriWINS4").toString();
    v.SecWINS4 = o.value("SecWINS4").toString();
    v.IpAdr6 = o.value("IpAdr6").toString();
    v.Prefix6 = quint16(o.value("Prefix6").toInt());
    v.DefGW6 = o.value("DefGW6").toString();
    v.PriDNS6 = o.value("PriDNS6").toString();
    v.SecDNS6 = o.value("SecDNS6").toString();
    v.ntpServerHostname = o.value("ntpServerHostname").toString();
    v.autoClockAdjEnabled = o.value("autoClockAdjEnabled").toBool();
    v.hostname = o.value("hostname").toString();
    v.description = o.value("description").toString();
    v.scpiRawPort = quint16(o.value("scpiRawPort").toInt());
    v.hislipPort = quint16(o.value("hislipPort").toInt());
    v.telnetPort = quint16(o.value("telnetPort").toInt());
    v.telnetWelcomeMessage = o.value("telnetWelcomeMessage").toString();
    v.telnetPrompt = o.value("telnetPrompt").toString();
    v.gpibEnabled = o.value("gpibEnabled").toBool();
    v.usbEnabled = o.value("usbEnabled").toBool();
    v.rs232Enabled = o.value("rs232Enabled").toBool();
    v.gpibAddress = o.value("gpibAddress").toInt();
    v.rs232Bitrate = o.value("rs232Bitrate").toInt();
    v.rs232DataBits = o.value("rs232DataBits").toInt();
    v.rs232StopBits = o.value("rs232StopBits").toInt();
    v.rs232FlowCtrl = o.value("rs232FlowCtrl").toInt();
    v.PSC = o.value("PSC").toBool();
    // Power-on status clear: the enables start at 0 whatever the file holds.
    if (!v.PSC) {
        v.SRE = quint8(o.value("SRE").toInt());
        v.ESE = quint8(o.value("ESE").toInt());
    }
    return v;
}

QJsonObject objectOf(const PreferenceInfo::Values &v)
{
    QJsonObject o;
    o.insert("adrsAssign4", v.adrsAssign4);
    o.insert("adrsAssign6", v.adrsAssign6);
    o.insert("ddnsEnabled", v.ddnsEnabled);
    o.insert("mdnsEnabled", v.mdnsEnabled);
    o.insert("nbnsEnabled", v.nbnsEnabled);
    o.insert("IpAdr4", v.IpAdr4);
    o.insert("NetMask4", v.NetMask4);
    o.insert("DefGW4", v.DefGW4);
    o.insert("PriDNS4", v.PriDNS4);
    o.insert("SecDNS4", v.SecDNS4);
    o.insert("PriWINS4", v.PriWINS4);
    o.insert("SecWINS4", v.SecWINS4);
    o.insert("IpAdr6", v.IpAdr6);
    o.insert("Prefix6", int(v.Prefix6));
    o.insert("DefGW6", v.DefGW6);
    o.insert("PriDNS6", v.PriDNS6);
    o.insert("SecDNS6", v.SecDNS6);
    o.insert("ntpServerHostname", v.ntpServerHostname);
    o.insert("autoClockAdjEnabled", v.autoClockAdjEnabled);
    o.insert("hostname", v.hostname);
    o.insert("description", v.description);
    o.insert("scpiRawPort", int(v.scpiRawPort));
    o.insert("hislipPort", int(v.hislipPort));
    o.insert("telnetPort", int(v.telnetPort));
    o.insert("telnetWelcomeMessage", v.telnetWelcomeMessage);
    o.insert("telnetPrompt", v.telnetPrompt);
    o.insert("gpibEnabled", v.gpibEnabled);
    o.insert("usbEnabled", v.usbEnabled);
    o.insert("rs232Enabled", v.rs232Enabled);
    o.insert("gpibAddress", v.gpibAddress);
    o.insert("rs232Bitrate", v.rs232Bitrate);
    o.insert("rs232DataBits", v.rs232DataBits);
    o.insert("rs232StopBits", v.rs232StopBits);
    o.insert("rs232FlowCtrl", v.rs232FlowCtrl);
    o.insert("PSC", v.PSC);
    o.insert("SRE", int(v.SRE));
    o.insert("ESE", int(v.ESE));
    return o;
}
} // namespace

void PreferenceInfo::setErrorSink(ErrorSink sink)
{
    s_errorSink = std::move(sink);
}

void PreferenceInfo::setStatusEnableSink(StatusEnableSink sink)
{
    s_statusEnableSink = std::move(sink);
}

void PreferenceInfo::setModelIdentitySource(ModelIdentitySource source)
{
    s_modelIdentitySource = std::move(source);
}

PreferenceInfo::PreferenceInfo()
    : m_filePath(QString::fromLatin1(DefaultPath))
{
    s_pSelf = this;
    zostd::setInterface_IPreferenceInfo(this);
    // Level 0 only sets defaults here: removing the web password at every start would lose
    // the user's password; the LAN reset requests and level 2 remove it.
    applyLevel(LanReset, false);
    qRegisterMetaType<zostd::IPreferenceInfo *>("IPreferenceInfo");
}

PreferenceInfo::PreferenceInfo(const PreferenceInfo &other)
    : zostd::IPreferenceInfo()
    , m_values(other.values())
{ }

PreferenceInfo::~PreferenceInfo()
{
    if (s_pSelf == this) {
        s_pSelf = nullptr;
        zostd::setInterface_IPreferenceInfo(nullptr);
    }
}

bool PreferenceInfo::load()
{
    if (m_filePath.isEmpty())
        return false;
    QJsonObject object;
    {
        QMutexLocker lock(&m_fileMutex);
        if (!platform::readJsonObject(platform::BoardPath::map(m_filePath), &object))
            return false;
    }
    const Values loaded = valuesOf(object);
    {
        QMutexLocker lock(&m_valueMutex);
        m_values = loaded;
    }
    if (s_statusEnableSink)
        s_statusEnableSink(loaded.SRE, loaded.ESE);
    return true;
}

bool PreferenceInfo::save()
{
    if (m_filePath.isEmpty())
        return false;
    QString reason;
    int result;
    {
        QMutexLocker lock(&m_fileMutex);
        result = platform::AtomicFile::write(
            platform::BoardPath::map(m_filePath), toJsonString(QString()), &reason);
    }
    if (result != 0)
        report(result, QStringLiteral("Cannot write %1: %2").arg(m_filePath, reason));
    return result == 0;
}

void PreferenceInfo::initialize(int level)
{
    applyLevel(level, true);
}

bool PreferenceInfo::loadOrRestoreDefaults()
{
    if (load())
        return true;
    bool overwrite = true;
    QString kept;
    {
        QMutexLocker lock(&m_fileMutex);
        kept = instrument::keepUnreadableFile(m_filePath, &overwrite);
    }
    initialize(FactoryDefault);
    if (overwrite)
        save();
    report(-315, m_filePath + kept);
    return false;
}

void PreferenceInfo::applyLevel(int level, bool removeWebPassword)
{
    // The identity is fetched before the value lock: the source calls into other objects.
    ModelIdentity identity;
    if ((level == LanDefault || level == FactoryDefault) && s_modelIdentitySource)
        identity = s_modelIdentitySource();

    {
        QMutexLocker lock(&m_valueMutex);
        Values &v = m_values;
        v.adrsAssign4 = 2;
        v.adrsAssign6 = 0;
        v.ddnsEnabled = true;
        v.mdnsEnabled = true;
        v.nbnsEnabled = true;
        if (level == FactoryDefault) {
            v.gpibEnabled = false;
            v.rs232FlowCtrl = 0;
            v.SRE = 0;
            v.ESE = 0;
            v.usbEnabled = true;
            v.rs232Enabled = true;
            v.rs232StopBits = 1;
            v.PSC = true;
            m_factoryDefaulted = true;
            v.rs232Bitrate = 19200;
            v.rs232DataBits = 8;
        }
        if (level == LanDefault || level == FactoryDefault) {
            v.IpAdr4 = QStringLiteral("192.168.1.33");
            v.NetMask4 = QStringLiteral("255.255.0.0");
            v.DefGW4 = QStringLiteral("192.168.1.1");
            v.PriDNS4 = QStringLiteral("0.0.0.0");
            v.SecDNS4 = QStringLiteral("0.0.0.0");
            v.PriWINS4 = QStringLiteral("0.0.0.0");
            v.SecWINS4 = QStringLiteral("0.0.0.0");
            v.IpAdr6 = QStringLiteral("2100::2");
            v.Prefix6 = 64;
            v.DefGW6 = QStringLiteral("2100::1");
            v.PriDNS6 = QStringLiteral("::");
            v.SecDNS6 = QStringLiteral("::");
            v.ntpServerHostname = QStringLiteral("pool.ntp.org");
            v.autoClockAdjEnabled = true;
            v.hostname = createDefaultHostname(identity);
            v.description = createDefaultDescription(identity);
            v.scpiRawPort = 5025;
            v.hislipPort = 4880;
            v.telnetPort = 5024;
            v.telnetWelcomeMessage = createDefaultTelnetWelcomeMessage(identity);
            v.telnetPrompt = QStringLiteral("SCPI>");
        }
    }

    if (!removeWebPassword)
        return;
    QFile password(platform::BoardPath::map(WebPasswordPath));
    if (password.exists() && !password.remove())
        report(-310,
            QStringLiteral("Cannot delete %1: %2")
                .arg(QLatin1String(WebPasswordPath), password.errorString()));
}

PreferenceInfo::Values PreferenceInfo::values() const
{
    QMutexLocker lock(&m_valueMutex);
    return m_values;
}

void PreferenceInfo::modify(const std::function<void(Values &)> &change)
{
    QMutexLocker lock(&m_valueMutex);
    change(m_values);
}

bool PreferenceInfo::factoryDefaulted() const
{
    QMutexLocker lock(&m_valueMutex);
    return m_factoryDefaulted;
}

void PreferenceInfo::setZostdSafuEnabled(bool enabled)
{
    QMutexLocker lock(&m_valueMutex);
    m_zostdSafuEnabled = enabled;
}

QJsonObject PreferenceInfo::toJsonObject(const QString &queryName) const
{
    QJsonObject o = objectOf(values());
    if (!queryName.isEmpty())
        o.insert("queryName", queryName);
    return o;
}

QByteArray PreferenceInfo::toJsonString(const QString &queryName) const
{
    return QJsonDocument(toJsonObject(queryName)).toJson(QJsonDocument::Indented);
}

QString PreferenceInfo::createDefaultHostname(const ModelIdentity &identity)
{
    return QStringLiteral("%1-%2").arg(identity.model.left(9), identity.serial.right(5));
}

QString PreferenceInfo::createDefaultDescription(const ModelIdentity &identity)
{
    return QStringLiteral("%1 %2 %3 - %4")
        .arg(identity.manufacturer, identity.model, identity.productDescription, identity.serial);
}

QString PreferenceInfo::createDefaultTelnetWelcomeMessage(const ModelIdentity &identity)
{
    return QStringLiteral("Welcome to SCPI Telnet - %1 %2").arg(identity.model, identity.serial);
}

template <class T> T PreferenceInfo::read(T Values::*member) const
{
    QMutexLocker lock(&m_valueMutex);
    return m_values.*member;
}

template <class T> void PreferenceInfo::write(T Values::*member, T value)
{
    QMutexLocker lock(&m_valueMutex);
    m_values.*member = std::move(value);
}

bool PreferenceInfo::getGpibEnabled() const
{
    return read(&Values::gpibEnabled);
}

bool PreferenceInfo::getRs232Enabled() const
{
    return read(&Values::rs232Enabled);
}

bool PreferenceInfo::getUsbEnabled() const
{
    return read(&Values::usbEnabled);
}

bool PreferenceInfo::getLanEnabled() const
{
    return getIpv4Enabled() || getIpv6Enabled();
}

bool PreferenceInfo::getIpv4Enabled() const
{
    return read(&Values::adrsAssign4) != 0;
}

bool PreferenceInfo::getDhcpv4Enabled() const
{
    return read(&Values::adrsAssign4) == 2;
}

bool PreferenceInfo::getLinkLocal4Enabled() const
{
    return read(&Values::adrsAssign4) == 2;
}

bool PreferenceInfo::getStaticIp4Enabled() const
{
    return read(&Values::adrsAssign4) == 1;
}

bool PreferenceInfo::getIpv6Enabled() const
{
    return read(&Values::adrsAssign6) != 0;
}

bool PreferenceInfo::getSlaac6Enabled() const
{
    return read(&Values::adrsAssign6) == 2;
}

bool PreferenceInfo::getStaticIp6Enabled() const
{
    return read(&Values::adrsAssign6) == 1;
}

bool PreferenceInfo::getMdnsEnabled() const
{
    return read(&Values::mdnsEnabled);
}

bool PreferenceInfo::getDdnsEnabled() const
{
    return read(&Values::ddnsEnabled);
}

bool PreferenceInfo::getNbnsEnabled() const
{
    return read(&Values::nbnsEnabled);
}

int PreferenceInfo::getGpibAddress() const
{
    return read(&Values::gpibAddress);
}

int PreferenceInfo::getRs232Bitrate() const
{
    return read(&Values::rs232Bitrate);
}

int PreferenceInfo::getRs232DataBits() const
{
    return read(&Values::rs232DataBits);
}

int PreferenceInfo::getRs232StopBits() const
{
    return read(&Values::rs232StopBits);
}

int PreferenceInfo::getRs232FlowCtrl() const
{
    return read(&Values::rs232FlowCtrl);
}

QString PreferenceInfo::getIpAdr4() const
{
    return read(&Values::IpAdr4);
}

QString PreferenceInfo::getNetMask4() const
{
    return read(&Values::NetMask4);
}

QString PreferenceInfo::getDefGW4() const
{
    return read(&Values::DefGW4);
}

QString PreferenceInfo::getPriDNS4() const
{
    return read(&Values::PriDNS4);
}

QString PreferenceInfo::getSecDNS4() const
{
    return read(&Values::SecDNS4);
}

QString PreferenceInfo::getPriWINS4() const
{
    return read(&Values::PriWINS4);
}

QString PreferenceInfo::getSecWINS4() const
{
    return read(&Values::SecWINS4);
}

QString PreferenceInfo::getIpAdr6() const
{
    return read(&Values::IpAdr6);
}

quint16 PreferenceInfo::getPrefix6() const
{
    return read(&Values::Prefix6);
}

QString PreferenceInfo::getDefGW6() const
{
    return read(&Values::DefGW6);
}

QString PreferenceInfo::getPriDNS6() const
{
    return read(&Values::PriDNS6);
}

QString PreferenceInfo::getSecDNS6() const
{
    return read(&Values::SecDNS6);
}

QString PreferenceInfo::getNtpServerHostname() const
{
    return read(&Values::ntpServerHostname);
}

bool PreferenceInfo::getAutoClockAdjEnabled() const
{
    return read(&Values::autoClockAdjEnabled);
}

QString PreferenceInfo::getHostname() const
{
    return read(&Values::hostname);
}

QString PreferenceInfo::getDescription() const
{
    return read(&Values::description);
}

quint16 PreferenceInfo::getScpiRawPort() const
{
    return read(&Values::scpiRawPort);
}

quint16 PreferenceInfo::getHislipPort() const
{
    return read(&Values::hislipPort);
}

quint16 PreferenceInfo::getTelnetPort() const
{
    return read(&Values::telnetPort);
}

QString PreferenceInfo::getTelnetWelcomeMessage() const
{
    return read(&Values::telnetWelcomeMessage);
}

QString PreferenceInfo::getTelnetPrompt() const
{
    return read(&Values::telnetPrompt);
}

bool PreferenceInfo::getPSC() const
{
    return read(&Values::PSC);
}

void PreferenceInfo::setPSC(bool psc)
{
    write(&Values::PSC, psc);
}

unsigned char PreferenceInfo::getSRE() const
{
    return read(&Values::SRE);
}

void PreferenceInfo::setSRE(unsigned char sre)
{
    write(&Values::SRE, quint8(sre));
}

unsigned char PreferenceInfo::getESE() const
{
    return read(&Values::ESE);
}

void PreferenceInfo::setESE(unsigned char ese)
{
    write(&Values::ESE, quint8(ese));
}

bool PreferenceInfo::getZostdSafuEnabled() const
{
    QMutexLocker lock(&m_valueMutex);
    return m_zostdSafuEnabled;
}
