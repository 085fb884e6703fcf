#pragma once

#include <QThread>

#include <functional>
#include <memory>
#include <vector>

class CTRL_SINK;
class MyParser;
class NetworkInfo;
class NetworkManager;
class PreferenceInfo;
class SystErrCustom;

namespace vek {
class ELoad;
}
namespace zo4882 {
class ZO4882ParserAsync;
class ZORs232Service;
class ZOTcpService_HiSLIP;
class ZOUsbtmcService;
class ZOTcpService_ScpiRaw;
class ZOTcpService_ScpiTelnet;
class ZOTcpService_Vxi11Async;
class ZOTcpService_Vxi11Core;
} // namespace zo4882
namespace zostd {
class ZOTcpService_Pmap;
class ZOUdpService_Pmap;
} // namespace zostd

// What exists of the instrument without its panel, against the board under the board root: the
// engine root (vek::ELoad), the preferences, the value objects, the parser with the instrument's
// dictionary and its control handler, the raw-socket, telnet and HiSLIP services, and the RS-232
// service when the preferences enable it and the root holds its device (/dev/ttyO1, a pty in
// tests), and USBTMC when the preferences enable USB and the root holds a stand-in gadget
// (/dev/g_usbtmc, platform::UsbGadgetStandIn). Development and tests only;
// the front-panel program replaces it. Build and destroy it in the main thread, whose event
// loop must run. The value objects outlive it (they live until the process ends); build it once
// per process.
class HeadlessInstrument
{
public:
    // rawPort, telnetPort: the ports; negative takes the preferences' port. hislipPort: the
    // HiSLIP port, served when the LAN and HiSLIP are enabled; negative takes the preferences'.
    // vxi11: serve the VXI-11 core (4510) and abort (4511) channels and the portmapper (TCP
    // and UDP 111) when the preferences enable the LAN; those ports are fixed.
    explicit HeadlessInstrument(
        int rawPort = -1, int telnetPort = -1, int hislipPort = -1, bool vxi11 = false);
    ~HeadlessInstrument();
    HeadlessInstrument(const HeadlessInstrument &) = delete;
    HeadlessInstrument &operator=(const HeadlessInstrument &) = delete;

    // Starts the raw-socket, telnet and (when asked for) VXI-11 services; 0, or the queued
    // error (-310, naming the port) when a port is taken.
    int start();
    // After a failed start(): the first port that could not be bound ("UDP port 111").
    QString startError() const { return m_startError; }
    // The bound ports after start().
    quint16 rawPort() const;
    quint16 telnetPort() const;
    // Starts the LAN manager on eth0 in its own thread; onUpdate runs in this thread at every
    // networkInfoUpdated with the record and its code. Acts on the machine's own interface:
    // only a run asked for it on its command line (in a test's private namespace) calls it.
    using LanUpdate = std::function<void(const NetworkInfo &info, unsigned lctx)>;
    void startNetwork(LanUpdate onUpdate);
    // 0 when HiSLIP is not served.
    quint16 hislipPort() const;

private:
    void createEngine();
    // The clock-adjust command's NTP launcher.
    void createClockAdjust();
    void createRemote();
    void createRs232();
    void createVxi11();
    void stopNetwork();
    void createHislip();
    void createUsbtmc();
    // Transports that report the status byte or service requests register here; the status
    // byte's two sinks call every one of them (they only post).
    using StbNotifier = std::function<void(unsigned char)>;
    void addStatusByteNotifier(StbNotifier notify);
    void addServiceRequestNotifier(StbNotifier notify);
    void installStbSinks();

    const int m_rawPortOverride;
    const int m_telnetPortOverride;
    const int m_hislipPortOverride;
    const bool m_vxi11;
    QString m_startError;
    std::unique_ptr<SystErrCustom> m_errorHook;
    std::unique_ptr<vek::ELoad> m_engine; // lives in this (the main) thread
    std::unique_ptr<PreferenceInfo> m_preferences;
    std::unique_ptr<MyParser> m_parser;
    std::unique_ptr<CTRL_SINK> m_controlSink;
    std::unique_ptr<zo4882::ZO4882ParserAsync> m_control;
    std::unique_ptr<zo4882::ZOTcpService_ScpiRaw> m_raw;
    std::unique_ptr<zo4882::ZOTcpService_ScpiTelnet> m_telnet;
    std::unique_ptr<zo4882::ZORs232Service> m_rs232;
    std::unique_ptr<zo4882::ZOTcpService_Vxi11Core> m_vxiCore;
    std::unique_ptr<zo4882::ZOTcpService_Vxi11Async> m_vxiAsync;
    std::unique_ptr<zostd::ZOTcpService_Pmap> m_pmapTcp;
    std::unique_ptr<zostd::ZOUdpService_Pmap> m_pmapUdp;
    std::unique_ptr<NetworkInfo> m_networkInfo;
    std::unique_ptr<NetworkManager> m_network; // lives in m_networkThread
    QThread m_networkThread;
    std::unique_ptr<zo4882::ZOTcpService_HiSLIP> m_hislip;
    std::unique_ptr<zo4882::ZOUsbtmcService> m_usbtmc;
    QThread m_usbtmcThread;
    // Written only in createRemote(), before installStbSinks(); read by the sinks afterwards.
    std::vector<StbNotifier> m_stbNotifiers;
    std::vector<StbNotifier> m_srqNotifiers;
};
