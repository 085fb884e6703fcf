#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace zostd {
class IModelInfo;
class IPreferenceInfo;
} // namespace zostd

namespace zo4882 {

class ISystErrCustom;
class ZO4882Parser;
class _IFCTRL_SINK;

// Brings the remote-control layer up in one call, in the GUI thread, after the engine and the
// preferences exist: the parser and its control-message handler, the administrator deny flag,
// every transport the preferences enable, the instrument's error hook, the preset of the
// questionable and operation registers and the communication watchdog. No instances: what
// start() makes is kept class-wide until shutDown() (or the end of the process).
class Scpi4882Starter
{
public:
    // What the instrument's layers above this library hand down.
    struct Instrument
    {
        // The instrument's parser over its dictionary (optional root SOURce); called once.
        std::function<std::unique_ptr<ZO4882Parser>()> createParser;
        _IFCTRL_SINK *controlSink = nullptr; // outlives the control-message handler
        ISystErrCustom *errorHook = nullptr; // installed in the error queue; may be null
        zostd::IPreferenceInfo *preferences = nullptr; // required
        const zostd::IModelInfo *model = nullptr; // USBTMC descriptors; required for USB
        // The instrument configuration's communication watchdog.
        bool watchdogEnabled = false;
        int watchdogDelaySeconds = 0;
    };
    // Desktop and test runs only; the instrument itself takes the defaults.
    struct Options
    {
        // A port >= 0 replaces the preferences' (0: any free port).
        int rawPort = -1;
        int telnetPort = -1;
        int hislipPort = -1;
        // The fixed-port VXI-11 channels and portmapper (TCP 4510, 4511, TCP and UDP 111).
        bool vxi11 = true;
        // Whether the machine has the serial line and the USB device port at all.
        bool rs232 = true;
        bool usb = true;
    };

    // The ports of the instrument's defaults, used when the preferences name port 0.
    static constexpr quint16 DefaultRawPort = 5025;
    static constexpr quint16 DefaultTelnetPort = 5024;
    static constexpr quint16 DefaultHislipPort = 4880;
    // The instrument's serial port, under /dev.
    static constexpr const char *SerialPortName = "ttyO1";

    // Builds and starts everything; the listeners start listening here. Returns 0, or the first
    // failure to bind (each failure is queued by its listener; the rest still start); see
    // startError(). Called once until shutDown().
    static int start(const Instrument &instrument, const Options &options);
    static int start(const Instrument &instrument) { return start(instrument, Options()); }
    // Stops the transports, the control-message handler and the parser, in this order, and
    // removes the error hook and the status-byte sinks: an orderly end for a process that stops
    // (threads left running would be torn down under it). Safe to call when nothing started.
    static void shutDown();

    static bool isStarted();
    // After a failed start(): the first port that could not be bound ("UDP port 111").
    static QString startError();
    // The parser; null before start().
    static ZO4882Parser *parser();
    // The bound ports; 0 for a transport that is not served.
    static quint16 rawPort();
    static quint16 telnetPort();
    static quint16 hislipPort();
    static quint16 vxi11CorePort();
    // Whether the serial and the USBTMC services exist.
    static bool servesRs232();
    static bool servesUsbtmc();
};

} // namespace zo4882
