#pragma once

#include <QThread>

#include <functional>
#include <memory>

class CTRL_SINK;
class NetworkInfo;
class NetworkManager;
class PreferenceInfo;
class SystErrCustom;

namespace vek {
class ELoad;
}
// What exists of the instrument without its panel, against the board under the board root: the
// engine root (vek::ELoad), the preferences, the value objects, and the remote-control layer as
// the instrument starts it (zo4882::Scpi4882Starter): the parser with the instrument's
// dictionary and its control handler, the raw-socket, telnet and HiSLIP services when the
// preferences enable the LAN, RS-232 when they enable it and the root holds its device
// (/dev/ttyO1, a pty in tests), and USBTMC when they enable USB and the root holds a stand-in
// gadget (/dev/g_usbtmc, platform::UsbGadgetStandIn), then the start-up checks of the board's
// files. The front-panel program puts its main window over it; vek-remote (desktops and tests)
// runs it alone. Build and destroy it in the main thread, whose event loop must run. The value objects outlive it (they live until
// the process ends); build it once per process.
class HeadlessInstrument
{
public:
    // rawPort, telnetPort: the ports; negative takes the preferences' port. hislipPort: the
    // HiSLIP port, served when the LAN and HiSLIP are enabled; negative takes the preferences'.
    // vxi11: serve the VXI-11 core (4510) and abort (4511) channels and the portmapper (TCP
    // and UDP 111) when the preferences enable the LAN; those ports are fixed.
    // queued, dequeued: the error hook's notifications (SystErrCustom), for a main window's
    // error list; may be empty.
    using Notify = std::function<void()>;
    explicit HeadlessInstrument(int rawPort = -1,
        int telnetPort = -1,
        int hislipPort = -1,
        bool vxi11 = false,
        Notify queued = {},
        Notify dequeued = {});
    ~HeadlessInstrument();
    HeadlessInstrument(const HeadlessInstrument &) = delete;
    HeadlessInstrument &operator=(const HeadlessInstrument &) = delete;

    // The listeners started when it was built: 0, or the queued error (-310, naming the port)
    // when a port was taken.
    int start();
    // After a failed start(): the first port that could not be bound ("UDP port 111").
    QString startError() const;
    // The bound ports; 0 for a service not served.
    quint16 rawPort() const;
    quint16 telnetPort() const;
    // Starts the LAN manager on eth0 in its own thread; onUpdate runs in this thread at every
    // networkInfoUpdated with the record and its code. Acts on the machine's own interface:
    // only a run asked for it on its command line (in a test's private namespace) calls it.
    using LanUpdate = std::function<void(const NetworkInfo &info, unsigned lctx)>;
    void startNetwork(LanUpdate onUpdate);
    // 0 when HiSLIP is not served.
    quint16 hislipPort() const;

    // The engine root, in this (the main) thread.
    vek::ELoad *engine() const { return m_engine.get(); }
    // Whether the preferences could not be loaded and were replaced by the factory defaults.
    bool preferencesRestored() const { return m_preferencesRestored; }

    // The instrument configuration's power-on setting, as at power-on: recall setup 0 or the
    // automatic setup, or reset; a failed recall resets and queues -314 naming it.
    void applyPowerOnSetting();
    // The shut-down's saves: the automatic setup, the preferences and the instrument
    // configuration, each replaced atomically. False, with what failed in *failure, when any
    // could not be written (the others are still written).
    bool saveForShutDown(QString *failure);

private:
    void createEngine();
    // The clock-adjust command's NTP launcher.
    void createClockAdjust();
    void createRemote();
    void stopNetwork();

    const int m_rawPortOverride;
    const int m_telnetPortOverride;
    const int m_hislipPortOverride;
    const bool m_vxi11;
    int m_startResult = 0;
    bool m_preferencesRestored = false;
    std::unique_ptr<SystErrCustom> m_errorHook;
    std::unique_ptr<vek::ELoad> m_engine; // lives in this (the main) thread
    std::unique_ptr<PreferenceInfo> m_preferences;
    std::unique_ptr<CTRL_SINK> m_controlSink; // outlives the remote layer
    std::unique_ptr<NetworkInfo> m_networkInfo;
    std::unique_ptr<NetworkManager> m_network; // lives in m_networkThread
    QThread m_networkThread;
};
