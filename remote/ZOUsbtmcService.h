#pragma once

#include "remote/ZOUsbtmcTransfer.h"

#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QTimer;

namespace platform {
class UsbGadget;
struct UsbSetupPacket;
} // namespace platform

namespace zo4882 {

class ScpiResponder_Usbtmc;
class ZO4882Parser;
class ZOUsbtmcBulk;
class ZOUsbtmcEp0;
struct SCPIRESP_T;

// The USBTMC service's waits (ms), the product's by default; tests shorten them.
struct UsbtmcTiming
{
    int moduleGapMs = 10; // between the module loads
    int moduleRetryMs = 100; // between tries to start the gadget module's load
    int moduleTries = 10;
    int bulkWakePauseMs = 100; // from the gadget's "data waiting" to reading them
    int clearHoldMs = 100; // device-clear state 2 before it goes to 1
    int clearReleaseMs = 50; // state 1 before it returns to 2
};

// SCPI over the USB device port as a USBTMC device (USB488 subclass), through the USBTMC gadget
// module's device "/dev/g_usbtmc" (platform::UsbGadget). Program messages carry interface 7.
//
// Threads: the service lives in a thread of its own (start, slots, answers, Bulk-IN);
// ZOUsbtmcEp0 waits for class requests and ZOUsbtmcBulk reads Bulk-OUT data. g_tmc_mtx guards
// the transfer state (ZOUsbtmcTransfer) against all three; m_requestBits belongs to the
// service thread. Nothing is sent while g_tmc_mtx is held except the device's own calls.
//
// Rendezvous of a read: the host's REQUEST_DEV_DEP_MSG_IN (bit 0) and an answer held in the
// transfer state may come in either order; the Bulk-IN transfer goes out when both are there.
class ZOUsbtmcService : public QObject
{
    Q_OBJECT

public:
    // The model identity the gadget module is loaded with.
    struct UsbtmcParams
    {
        quint16 vendorId = 0;
        quint16 productId = 0;
        QString manufacturer;
        QString product;
        QString serialNumber;
    };

    using Timing = UsbtmcTiming;

    static constexpr int ClearBusy = 2;
    static constexpr int ClearDone = 1;
    // The service in use (set when its thread has started, cleared by the destructor).
    static std::atomic<ZOUsbtmcService *> s_pSelf;

    // parser: where messages go (ZO4882Parser::s_pSelf when null). Create it, move it to its
    // thread and connect the thread's started() to onThreadStarted().
    explicit ZOUsbtmcService(
        const UsbtmcParams &params, const Timing &timing = {}, ZO4882Parser *parser = nullptr);
    ~ZOUsbtmcService() override;

    // True once the device is open and the endpoint threads run.
    bool isOpen() const { return m_open.load(); }
    // Closes the device and stops the endpoint threads; blocks until done. Any thread but the
    // endpoint threads; the service's own thread must still run when it is another one.
    void closeDevice();

    // The status byte reported to the host (from the status byte's sinks; any thread).
    static void updateSTB(unsigned char stb);
    static void broadcastSRQ(unsigned char stb);

    // Called by the endpoint threads.
    void ep0_ClassRequestMain(const platform::UsbSetupPacket &setup);
    void ep1_BulkOut(const char *data, int count);
    void ep1_CmdReceive(char *text, int length, unsigned tag);
    // The answer of the last class request that has one, byte for byte (24 for capabilities).
    static QByteArray classAnswer(
        const platform::UsbSetupPacket &setup, unsigned lastBtagOut, unsigned lastBtagIn);

    // The responder's answer, in this thread.
    void respond(const SCPIRESP_T &answer);

signals:
    void setRespRequqest(unsigned flags);
    void resetRespRequqest(unsigned flags);
    void startedDcas();
    void endedDcas();

public slots:
    void onThreadStarted();
    void onSetRespRequest(unsigned flags);
    void onResetRespRequest(unsigned flags);
    void onStartDcas();
    void onEndDcas();

private:
    class TransferSink;

    ZO4882Parser *parser() const;
    void loadModules();
    void openDevice();
    void closeInThread();
    void deviceClear();
    void reportStatus(unsigned char stb);
    unsigned char statusWithAnswer(bool held) const;

    const UsbtmcParams m_params;
    const Timing m_timing;
    ZO4882Parser *const m_parser;
    ScpiResponder_Usbtmc *m_responder = nullptr; // child, made in the service thread
    QTimer *m_clearHold = nullptr; // child
    QTimer *m_clearRelease = nullptr; // child
    unsigned m_requestBits = 0; // service thread: bit 0 the host asked for data

    std::unique_ptr<platform::UsbGadget> m_gadget; // set before the endpoint threads start
    std::atomic<bool> m_open { false };
    std::unique_ptr<ZOUsbtmcEp0> m_ep0;
    std::unique_ptr<ZOUsbtmcBulk> m_bulk;

    std::unique_ptr<TransferSink> m_sink;
    // Guards m_transfer (Bulk-OUT decoding, the answer buffer, the bTags). Taken last: no
    // other lock is taken while it is held.
    QMutex g_tmc_mtx;
    ZOUsbtmcTransfer m_transfer;
};

} // namespace zo4882
