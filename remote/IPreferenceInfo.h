#pragma once

#include <QMetaType>
#include <QString>

#include <atomic>

namespace zostd {

// The communication preferences as the remote-control library sees them. The instrument's
// preference object implements it; the library reaches it through getInterface_IPreferenceInfo().
// Getters may be called from any thread. The declaration order is the interface's layout.
class IPreferenceInfo
{
public:
    virtual ~IPreferenceInfo() = default;

    virtual bool getGpibEnabled() const = 0;
    virtual bool getRs232Enabled() const = 0;
    virtual bool getUsbEnabled() const = 0;
    virtual bool getLanEnabled() const = 0;
    virtual bool getScpiRawEnabled() const = 0;
    virtual bool getVxi11Enabled() const = 0;
    virtual bool getHislipEnabled() const = 0;
    virtual bool getTelnetEnabled() const = 0;
    virtual bool getWebCtlEnabled() const = 0;
    virtual bool getIpv4Enabled() const = 0;
    virtual bool getDhcpv4Enabled() const = 0;
    virtual bool getLinkLocal4Enabled() const = 0;
    virtual bool getStaticIp4Enabled() const = 0;
    virtual bool getIpv6Enabled() const = 0;
    virtual bool getDhcpv6Enabled() const = 0;
    virtual bool getSlaac6Enabled() const = 0;
    virtual bool getStaticIp6Enabled() const = 0;
    virtual bool getMdnsEnabled() const = 0;
    virtual bool getDdnsEnabled() const = 0;
    virtual bool getNbnsEnabled() const = 0;
    virtual bool getLxiEventMsgEnabled() const = 0;
    virtual int getLxiEventDomain() const = 0;
    virtual int getGpibAddress() const = 0;
    virtual int getRs232Bitrate() const = 0; // bit/s
    virtual int getRs232DataBits() const = 0;
    virtual int getRs232StopBits() const = 0;
    virtual int getRs232FlowCtrl() const = 0; // 0 none, 1 CTS-RTS
    virtual QString getIpAdr4() const = 0;
    virtual QString getNetMask4() const = 0;
    virtual QString getDefGW4() const = 0;
    virtual QString getPriDNS4() const = 0;
    virtual QString getSecDNS4() const = 0;
    virtual QString getPriWINS4() const = 0;
    virtual QString getSecWINS4() const = 0;
    virtual QString getIpAdr6() const = 0;
    virtual quint16 getPrefix6() const = 0;
    virtual QString getDefGW6() const = 0;
    virtual QString getPriDNS6() const = 0;
    virtual QString getSecDNS6() const = 0;
    virtual QString getNtpServerHostname() const = 0;
    virtual bool getAutoClockAdjEnabled() const = 0;
    virtual QString getHostname() const = 0;
    virtual QString getDescription() const = 0;
    virtual quint16 getScpiRawPort() const = 0;
    virtual quint16 getScpiRawCtrlPort() const = 0;
    virtual quint16 getHislipPort() const = 0;
    virtual quint16 getTelnetPort() const = 0;
    virtual QString getTelnetWelcomeMessage() const = 0;
    virtual QString getTelnetPrompt() const = 0;
    // The power-on status clear flag and the two enable bytes kept across power cycles. The
    // setters change memory only; the file follows at the next save.
    virtual bool getPSC() const = 0;
    virtual void setPSC(bool psc) = 0;
    virtual unsigned char getSRE() const = 0;
    virtual void setSRE(unsigned char sre) = 0;
    virtual unsigned char getESE() const = 0;
    virtual void setESE(unsigned char ese) = 0;
    virtual bool getZostdSafuEnabled() const = 0;
};

namespace detail {
// The live preferences; header-only so that this library does not link to the one that
// implements the interface.
inline std::atomic<IPreferenceInfo *> s_preferenceInfo { nullptr };
} // namespace detail

// The live preferences, or null before they are built.
inline IPreferenceInfo *getInterface_IPreferenceInfo()
{
    return detail::s_preferenceInfo.load();
}

// Called by the implementation's constructor (and with null by its destructor).
inline void setInterface_IPreferenceInfo(IPreferenceInfo *preferences)
{
    detail::s_preferenceInfo.store(preferences);
}

} // namespace zostd

Q_DECLARE_METATYPE(zostd::IPreferenceInfo *)
