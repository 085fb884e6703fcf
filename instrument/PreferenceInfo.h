#pragma once

#include "remote/IPreferenceInfo.h"

#include <QByteArray>
#include <QJsonObject>
#include <QMutex>
#include <QString>

#include <functional>

// The communication preferences: LAN addressing and name services, NTP, host name and
// description, service ports and telnet texts, the USB, RS-232 and GPIB settings, and the
// *PSC, *SRE and *ESE state kept across power cycles. One live instance (built by the main
// window) owns the file; copies are snapshots that cannot load or save.
//
// Thread use: the parser, GUI, network and session threads read and write the values at once,
// so every access goes through the value lock; readers get copies (values(), the getters) and
// writers change values under the lock (modify(), the setters).
class PreferenceInfo : public zostd::IPreferenceInfo
{
public:
    enum InitLevelEnum { LanReset = 0, LanDefault = 1, FactoryDefault = 2 };

    static constexpr const char *DefaultPath = "/etc/instr/preference_sig0903_vek3r.info";
    // The web front end's password file, removed by every reset level.
    static constexpr const char *WebPasswordPath = "/etc/phppw.auth";

    // The persisted values, named as their file keys, in the file's order.
    struct Values
    {
        qint32 adrsAssign4 = 0; // 0 off, 1 static, 2 DHCP with link-local fall-back
        qint32 adrsAssign6 = 0; // 0 off, 1 static, 2 stateless autoconfiguration
        bool ddnsEnabled = false;
        bool mdnsEnabled = false;
        bool nbnsEnabled = false;
        QString IpAdr4;
        QString NetMask4;
        QString DefGW4;
        QString PriDNS4;
        QString SecDNS4;
        QString PriWINS4;
        QString SecWINS4;
        QString IpAdr6;
        quint16 Prefix6 = 0;
        QString DefGW6;
        QString PriDNS6;
        QString SecDNS6;
        QString ntpServerHostname;
        bool autoClockAdjEnabled = false;
        QString hostname;
        QString description;
        quint16 scpiRawPort = 0;
        quint16 hislipPort = 0;
        quint16 telnetPort = 0;
        QString telnetWelcomeMessage;
        QString telnetPrompt;
        bool gpibEnabled = false;
        bool usbEnabled = false;
        bool rs232Enabled = false;
        qint32 gpibAddress = 0; // no reset level sets it
        qint32 rs232Bitrate = 0; // bit/s
        qint32 rs232DataBits = 0;
        qint32 rs232StopBits = 0;
        qint32 rs232FlowCtrl = 0; // 0 none, 1 CTS-RTS
        bool PSC = false;
        quint8 SRE = 0;
        quint8 ESE = 0;
    };

    // What the default texts are built from: the model information's identity.
    struct ModelIdentity
    {
        QString manufacturer;
        QString model;
        QString productDescription;
        QString serial;

        // From anything with the model information's getters (zostd::IModelInfo).
        template <class ModelInfo> static ModelIdentity of(const ModelInfo &info)
        {
            return { info.getManufacturer(),
                info.getModel(),
                info.getProductDescription(),
                info.getSerial() };
        }
    };

    // Hooks to the neighbours, installed once by start-up before other threads run; each
    // defaults to doing nothing (an empty identity).
    // Errors: a SCPI error number and its detail (-310 for a failed file operation, -315).
    using ErrorSink = std::function<void(int code, const QString &detail)>;
    static void setErrorSink(ErrorSink sink);
    // The status registers' enable operations: the service request enable register of the
    // status byte and the standard event status enable register. Called by load().
    using StatusEnableSink = std::function<void(quint8 sre, quint8 ese)>;
    static void setStatusEnableSink(StatusEnableSink sink);
    // The model identity behind the level-1 and level-2 host name, description and welcome text.
    using ModelIdentitySource = std::function<ModelIdentity()>;
    static void setModelIdentitySource(ModelIdentitySource source);

    // The live instance, set by the constructor, cleared by its destructor.
    static zostd::IPreferenceInfo *s_pSelf;

    // Binds the file, applies level 0 (without removing the web password file) and becomes
    // s_pSelf and the library's interface. Other values stay 0, false or empty until load()
    // or initialize().
    PreferenceInfo();
    // A snapshot of the values, bound to no file; its unpersisted flags are false.
    PreferenceInfo(const PreferenceInfo &other);
    PreferenceInfo &operator=(const PreferenceInfo &) = delete;
    ~PreferenceInfo() override;

    // Reads the file member by member (missing or mistyped members take 0, false or empty
    // text) and hands SRE and ESE to the status enable sink. Returns false and changes nothing
    // when the file cannot be opened or holds no JSON object; a copy always returns false.
    bool load();
    // Replaces the file atomically with toJsonString(""). Saves from several threads are
    // serialised, the latest values winning. A failure is reported as -310 with the path,
    // returns false and keeps the old file; a copy returns false and writes nothing.
    bool save();
    // Applies a reset level (InitLevelEnum); every level removes the web password file.
    void initialize(int level);
    // The start-up sequence: load(); when that fails, level 2, save() and -315 once; a file
    // that exists but cannot be read is first kept as <path>.bad (see keepUnreadableFile()).
    // Returns whether the file was loaded.
    bool loadOrRestoreDefaults();

    // A copy of the values.
    Values values() const;
    // Runs change on the values under the value lock; change must not call this object.
    void modify(const std::function<void(Values &)> &change);

    // True once level 2 ran in this process.
    bool factoryDefaulted() const;
    // The RS-232 meta-command mode (not persisted).
    void setZostdSafuEnabled(bool enabled);

    // The 37 values by file key, plus "queryName" when queryName is not empty.
    QJsonObject toJsonObject(const QString &queryName) const;
    // toJsonObject() as indented JSON text; with an empty query name, the file's content.
    QByteArray toJsonString(const QString &queryName) const;

    // "<model, 9 characters>-<serial, last 5 characters>"
    static QString createDefaultHostname(const ModelIdentity &identity);
    // "<manufacturer> <model> <product description> - <serial>"
    static QString createDefaultDescription(const ModelIdentity &identity);
    // "Welcome to SCPI Telnet - <model> <serial>"
    static QString createDefaultTelnetWelcomeMessage(const ModelIdentity &identity);

    // zostd::IPreferenceInfo
    bool getGpibEnabled() const override;
    bool getRs232Enabled() const override;
    bool getUsbEnabled() const override;
    bool getLanEnabled() const override;
    bool getScpiRawEnabled() const override { return true; }
    bool getVxi11Enabled() const override { return true; }
    bool getHislipEnabled() const override { return true; }
    bool getTelnetEnabled() const override { return true; }
    bool getWebCtlEnabled() const override { return true; }
    bool getIpv4Enabled() const override;
    bool getDhcpv4Enabled() const override;
    bool getLinkLocal4Enabled() const override;
    bool getStaticIp4Enabled() const override;
    bool getIpv6Enabled() const override;
    bool getDhcpv6Enabled() const override { return false; }
    bool getSlaac6Enabled() const override;
    bool getStaticIp6Enabled() const override;
    bool getMdnsEnabled() const override;
    bool getDdnsEnabled() const override;
    bool getNbnsEnabled() const override;
    bool getLxiEventMsgEnabled() const override { return false; }
    int getLxiEventDomain() const override { return 0; }
    int getGpibAddress() const override;
    int getRs232Bitrate() const override;
    int getRs232DataBits() const override;
    int getRs232StopBits() const override;
    int getRs232FlowCtrl() const override;
    QString getIpAdr4() const override;
    QString getNetMask4() const override;
    QString getDefGW4() const override;
    QString getPriDNS4() const override;
    QString getSecDNS4() const override;
    QString getPriWINS4() const override;
    QString getSecWINS4() const override;
    QString getIpAdr6() const override;
    quint16 getPrefix6() const override;
    QString getDefGW6() const override;
    QString getPriDNS6() const override;
    QString getSecDNS6() const override;
    QString getNtpServerHostname() const override;
    bool getAutoClockAdjEnabled() const override;
    QString getHostname() const override;
    QString getDescription() const override;
    quint16 getScpiRawPort() const override;
    quint16 getScpiRawCtrlPort() const override { return 0; }
    quint16 getHislipPort() const override;
    quint16 getTelnetPort() const override;
    QString getTelnetWelcomeMessage() const override;
    QString getTelnetPrompt() const override;
    bool getPSC() const override;
    void setPSC(bool psc) override;
    unsigned char getSRE() const override;
    void setSRE(unsigned char sre) override;
    unsigned char getESE() const override;
    void setESE(unsigned char ese) override;
    bool getZostdSafuEnabled() const override;

private:
    template <class T> T read(T Values::*member) const;
    template <class T> void write(T Values::*member, T value);
    void applyLevel(int level, bool removeWebPassword);

    // Board path of the file; empty in a copy.
    const QString m_filePath;

    // Lock order: m_fileMutex before m_valueMutex.
    QMutex m_fileMutex; // guards the file: a save snapshots and writes under it
    mutable QMutex m_valueMutex; // guards m_values, m_zostdSafuEnabled, m_factoryDefaulted
    Values m_values;
    bool m_zostdSafuEnabled = false;
    bool m_factoryDefaulted = false;
};
