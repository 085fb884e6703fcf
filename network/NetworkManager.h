#pragma once

#include "instrument/PreferenceInfo.h"
#include "network/AddressDetector.h"
#include "network/ArpSocket.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class NetworkInfo;
class IfUp;
class IfDown;
class IfConfig;
class Route6;
class Route4;
class ZoDns6;
class Dmesg;
class ArpProbe;
class AvahiDaemonProcess;
class AvahiPublishProcess;
class NbnsProcess;
class NtpDateProcess;

namespace platform {
class NetLink;
}
namespace zostd {
class INetworkInfo;
}

// The network manager's pauses, in ms; tests shorten them.
struct NetworkTiming
{
    int pollMs = 1000;
    int startPauseMs = 1000;
    int sysctlDelayMs = 1000; // from the files written to "sysctl -p"
    int ifupDelayMs = 1000; // from "sysctl -p" to ifup
    int dadCheckDelayMs = 2000; // from ifup's end to the duplicate-address check
    int arpWindowMs = 1000; // the wait for an answer after each ARP probe
    int linkLocalRetryMs = 60000; // between candidates after 10 conflicts in a row (RFC 3927)
    int ntpDelayMs = 10000; // from ifup's end to the NTP clock program
    int publishPauseMs = 500; // after the HTTP and the LXI publication (blocks the thread)
    int withdrawPauseMs = 1000; // from the publishers' end to the daemon's (blocks the thread)
};

// Owns the LAN interface eth0: brings it up, watches its carrier once a second, and on every
// up edge writes /etc/network/interfaces and /etc/sysctl.conf from the preferences and runs
// ifdown, "sysctl -p" and ifup (udhcpc for DHCP). It keeps the status record NetworkInfo
// current from the interface and from the tools' output, and stores what DHCP leased in the
// preferences.
//
// Thread use: lives in a thread of its own (the network thread), started by the owner with the
// thread's started() connected to onThreadStarted(); every slot runs there. Before the thread
// quits, the owner runs shutDown() in it (blocking queued). Other threads only emit
// configChanged() and operatedService() and read the record.
//
// Run shape (lctx codes of networkInfoUpdated):
//   thread start   1 s pause, first carrier read, srandom(MAC bytes 2..5), configChanged, 151
//   up edge        both statuses 1; ends a run under way, else starts one (configChanged)
//   down edge      entries and sources cleared, statuses -3, gateways reset; 827 outside a run
//   run            1057, ifdown, files written, 1096, "sysctl -p" 1 s later, ifup 1 s after
//   ifup finished  IPv6 DNS, dmesg 2 s later, 536, mDNS daemon and NetBIOS program when
//                  enabled, lo brought up; the NTP clock program 10 s later when enabled
//   daemon start   its host name cached; the six DNS-SD services published
//   NetBIOS name   1265
class NetworkManager : public QObject
{
    Q_OBJECT

public:
    using Timing = NetworkTiming;

    // Errors (refused preference values, files that cannot be written): a SCPI error number and
    // its detail. Install once before the thread starts; defaults to doing nothing.
    using ErrorSink = std::function<void(int code, const QString &detail)>;
    static void setErrorSink(ErrorSink sink);
    // Makes the ARP tool of the link-local fall-back and the static-address check; defaults
    // to the packet socket on eth0. Install before the thread starts.
    using ArpFactory = std::function<std::unique_ptr<ArpSocket>()>;
    static void setArpFactory(ArpFactory factory);

    // The one instance, set by the constructor.
    static NetworkManager *s_pSelf;

    // Called in the thread that will start the network thread. link is the interface (eth0).
    NetworkManager(NetworkInfo &info,
        PreferenceInfo &preferences,
        std::unique_ptr<platform::NetLink> link,
        const Timing &timing = Timing());
    ~NetworkManager() override;

    // Write the two files from the preferences atomically; false (and an error reported) when
    // a value is refused or the file cannot be written.
    bool genfile_Etc_Network_Interfaces(const zostd::IPreferenceInfo *preferences);
    bool genfile_Etc_Sysctl_conf(const zostd::IPreferenceInfo *preferences);
    // Sends udhcpc (pid from /var/run/udhcpc.eth0.pid) a kill; false without a pid.
    bool killUdhcpc() const;
    // Derives the address sources and some statuses from the record's entry list.
    void update_status_and_source();
    void onLinkDown();

    // True from the start of a configuration run to the up edge that ends it.
    bool configuring() const { return m_configuring; }

signals:
    void configChanged();
    // 0: withdraw the name services; non-zero: start them.
    void operatedService(int action);
    // ni: the long-lived record; lctx: the code of the emitting step (see the table above).
    void networkInfoUpdated(const zostd::INetworkInfo *ni, unsigned lctx);
    void executedIfconfig();

public slots:
    void onConfigChange();
    // 0: the six publishers killed, a pause, then the mDNS daemon and the NetBIOS program
    // stopped; non-zero: the daemon and the NetBIOS program started.
    void onOperateService(int action);
    void onThreadStarted();
    void onTimeout();
    void onExecuteIfconfig();
    void onReadyReadLines_IfUp();
    void onProgFinish_IfUp();
    void onProgStart_IfDown();
    void onReadyReadLines_IfDown();
    void onProgFinish_IfDown();
    void onReadyReadLines_IfConfig();
    void onProgFinish_IfConfig();
    void onReadyReadLines_Route6();
    void onProgFinish_Route6();
    void onReadyReadLines_Route4();
    void onProgFinish_Route4();
    void onReadyReadLines_ZoDns6();
    void onProgFinish_ZoDns6();
    void onReadyReadLines_Dmesg();
    void onProgFinish_Dmesg();
    void avahiDaemonErrout();
    void avahiPublishHttpErrout();
    void avahiPublishLxiErrout();
    void avahiPublishScpiRawErrout();
    void avahiPublishHislipErrout();
    void avahiPublishVxi11Errout();
    void avahiPublishScpiTelnetErrout();
    void nbnsStdout();
    void ntpStdout();
    // Stops the poll and ends the tools; runs in the network thread before it quits.
    void shutDown();

private:
    void createProcesses();
    void finishThreadStart();
    void handleIfUpLine(const QString &line);
    void runSysctl();
    void runIfUp();
    // Stores a leased value in the preferences and saves them.
    void storeLease(QString PreferenceInfo::Values::*member, const QString &value);
    void appendNameserver(const QString &server) const;
    // The ARP probes run on this thread's event loop, one at a time; a new configuration
    // run, a link-down edge and the shut-down end them.
    void startArpProbe(
        const ArpSocket::Address &address, void (NetworkManager::*done)(bool answered));
    void stopArpProbe();
    void stopArpWork();
    // Claims a link-local address: probes candidates until one is free, at most
    // MaxQuickConflicts in a row; after that one candidate every linkLocalRetryMs.
    void claimLinkLocal();
    void onLinkLocalProbed(bool answered);
    void takeLinkLocal();
    // Probes the static address: a free one gets the stored name servers, a taken one is
    // removed and reported as conflicted (status -2) a second later.
    void probeStaticAddress(const QString &address);
    void onStaticProbed(bool answered);
    void reportConflict();
    void useStaticNameservers();
    void report(int code, const QString &detail) const;
    void startNameServices(const PreferenceInfo &preferences);
    void sub_publishErrout(AvahiPublishProcess *publisher);
    void emitUpdated(unsigned lctx);

    NetworkInfo &m_networkInfo;
    PreferenceInfo &m_preferences;
    const std::unique_ptr<platform::NetLink> m_link;
    const Timing m_timing;
    AddressDetector m_addressDetector;
    bool m_configuring = false;
    int m_linkLocalConflicts = 0;
    qint64 m_lastDadStamp = -1; // kernel time stamp (us) of the last DAD line handled
    ArpProbe *m_arpProbe = nullptr; // child, the probe under way
    QTimer m_linkLocalRetry { this }; // children, so that they move with the manager
    QTimer m_conflictReport { this };
    bool m_linkUp = false;
    bool m_prevLinkUp = false; // the carrier as the previous poll saw it
    QTimer *m_pollTimer = nullptr; // owned, lives in the network thread
    std::unique_ptr<IfUp> m_ifUp;
    std::unique_ptr<IfDown> m_ifDown;
    std::unique_ptr<IfConfig> m_ifConfig;
    std::unique_ptr<Route6> m_route6;
    std::unique_ptr<Route4> m_route4;
    std::unique_ptr<ZoDns6> m_zoDns6;
    std::unique_ptr<Dmesg> m_dmesg;
    std::unique_ptr<AvahiDaemonProcess> m_avahiDaemon;
    std::unique_ptr<AvahiPublishProcess> m_publishHttp;
    std::unique_ptr<AvahiPublishProcess> m_publishLxi;
    std::unique_ptr<AvahiPublishProcess> m_publishVxi11;
    std::unique_ptr<AvahiPublishProcess> m_publishScpiRaw;
    std::unique_ptr<AvahiPublishProcess> m_publishScpiTelnet;
    std::unique_ptr<AvahiPublishProcess> m_publishHislip;
    std::unique_ptr<NbnsProcess> m_nbns;
    std::unique_ptr<NtpDateProcess> m_ntpDate;
};
