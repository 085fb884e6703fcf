#pragma once

#include "remote/IPreferenceInfo.h"

// Preferences for the remote library's tests: the *PSC, *SRE and *ESE state is kept, every
// other getter answers 0, false or the empty text. Registers itself as the library's
// preferences while it lives.
class FakePreferences : public zostd::IPreferenceInfo
{
public:
    FakePreferences() { zostd::setInterface_IPreferenceInfo(this); }
    ~FakePreferences() override { zostd::setInterface_IPreferenceInfo(nullptr); }

    bool getPSC() const override { return m_psc; }
    void setPSC(bool psc) override { m_psc = psc; }
    unsigned char getSRE() const override { return m_sre; }
    void setSRE(unsigned char sre) override { m_sre = sre; }
    unsigned char getESE() const override { return m_ese; }
    void setESE(unsigned char ese) override { m_ese = ese; }

    bool getGpibEnabled() const override { return false; }
    bool getRs232Enabled() const override { return false; }
    bool getUsbEnabled() const override { return false; }
    bool getLanEnabled() const override { return false; }
    bool getScpiRawEnabled() const override { return false; }
    bool getVxi11Enabled() const override { return false; }
    bool getHislipEnabled() const override { return false; }
    bool getTelnetEnabled() const override { return false; }
    bool getWebCtlEnabled() const override { return false; }
    bool getIpv4Enabled() const override { return false; }
    bool getDhcpv4Enabled() const override { return false; }
    bool getLinkLocal4Enabled() const override { return false; }
    bool getStaticIp4Enabled() const override { return false; }
    bool getIpv6Enabled() const override { return false; }
    bool getDhcpv6Enabled() const override { return false; }
    bool getSlaac6Enabled() const override { return false; }
    bool getStaticIp6Enabled() const override { return false; }
    bool getMdnsEnabled() const override { return false; }
    bool getDdnsEnabled() const override { return false; }
    bool getNbnsEnabled() const override { return false; }
    bool getLxiEventMsgEnabled() const override { return false; }
    int getLxiEventDomain() const override { return 0; }
    int getGpibAddress() const override { return 0; }
    int getRs232Bitrate() const override { return 0; }
    int getRs232DataBits() const override { return 0; }
    int getRs232StopBits() const override { return 0; }
    int getRs232FlowCtrl() const override { return 0; }
    QString getIpAdr4() const override { return QString(); }
    QString getNetMask4() const override { return QString(); }
    QString getDefGW4() const override { return QString(); }
    QString getPriDNS4() const override { return QString(); }
    QString getSecDNS4() const override { return QString(); }
    QString getPriWINS4() const override { return QString(); }
    QString getSecWINS4() const override { return QString(); }
    QString getIpAdr6() const override { return QString(); }
    quint16 getPrefix6() const override { return 0; }
    QString getDefGW6() const override { return QString(); }
    QString getPriDNS6() const override { return QString(); }
    QString getSecDNS6() const override { return QString(); }
    QString getNtpServerHostname() const override { return QString(); }
    bool getAutoClockAdjEnabled() const override { return false; }
    QString getHostname() const override { return QString(); }
    QString getDescription() const override { return QString(); }
    quint16 getScpiRawPort() const override { return 0; }
    quint16 getScpiRawCtrlPort() const override { return 0; }
    quint16 getHislipPort() const override { return 0; }
    quint16 getTelnetPort() const override { return 0; }
    QString getTelnetWelcomeMessage() const override { return QString(); }
    QString getTelnetPrompt() const override { return QString(); }
    bool getZostdSafuEnabled() const override { return false; }

private:
    bool m_psc = false;
    unsigned char m_sre = 0;
    unsigned char m_ese = 0;
};
