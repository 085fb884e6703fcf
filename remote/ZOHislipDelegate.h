#pragma once

#include "remote/ZOMessageSplitter.h"
#include "remote/ZOTcpSession.h"

#include <QByteArray>
#include <QMutex>
#include <QVarLengthArray>
#include <QWaitCondition>

#include <atomic>
#include <cstdint>
#include <memory>

namespace zo4882 {

class ZOScpiResponderLink;

// Message header, 16 bytes on the wire:
//   0-1  prologue "HS"      2  message type      3  control code
//   4-7  message parameter (big-endian)          8-15  payload length (big-endian)
// The payload follows.
struct HISLIP_MESSAGE_HEADER
{
    static constexpr int Size = 16;
    unsigned char type = 0;
    unsigned char control = 0;
    quint32 parameter = 0;
    quint64 payloadLength = 0;

    // Writes the header and payload as one message.
    static QByteArray encode(unsigned char type,
        unsigned char control,
        quint32 parameter,
        const QByteArray &payload = {});
};

// One link slot: the two connections of a client and what the server keeps for it. Connections
// are identities only; bytes reach them through their sessions' answer ports, which notice a
// session that has gone.
struct HISLIP_LINKOBJ
{
    enum Mark : unsigned char {
        MessageAvailable = 0x01,
        ServiceRequest = 0x02,
        AnswerSent = 0x04, // an answer went out whose delivery the client has not confirmed
        Overlapped = 0x08,
        SecondReport = 0x10, // clients that read the service request twice
    };
    static constexpr int InputSize = 4096;

    const void *syncConnection = nullptr; // null marks a free slot
    const void *asyncConnection = nullptr;
    std::shared_ptr<zostd::ZOTcpSession::AnswerPort> syncPort;
    std::shared_ptr<zostd::ZOTcpSession::AnswerPort> asyncPort;
    std::shared_ptr<ZOScpiResponderLink> asyncResponder; // service requests go through it
    std::unique_ptr<char[]> input;
    quint32 inputHeld = 0;
    unsigned char marks = 0;
    char vendor[2] = { 0, 0 };
    qint16 xLocks = 0;
    qint16 sLocks = 0;
    quint32 nextServerId = 0;
    quint32 lastClientId = 0;
    quint32 maxMessageSize = 0; // the client's, recorded only
    quint64 generation = 0; // grows when the slot is freed: stale attachments notice it
    bool syncBlocked = false; // a Data message waits for the access check
};

// The HiSLIP decoder and server state shared by the synchronous and asynchronous connections:
// the second base of the HiSLIP session. One class-wide table of four slots pairs a client's
// connections; every slot field and the lock counts are guarded by s_tableMutex.
//
// Threads: every handler runs in its connection's session thread; broadcastSRQ() in the thread
// that changed the status byte; SendResponseBack() in the synchronous session's thread. Lock
// waits block the asynchronous session's thread on s_lockReleased, never holding a core.
class ZOHislipDelegate
{
public:
    static constexpr int Slots = 4;
    static constexpr quint32 MaxMessageSize = 4096;
    static constexpr quint32 FirstServerMessageId = 0xFFFFFF00u;
    static constexpr quint16 ProtocolVersion = 0x0100; // 1.0
    static constexpr quint16 ServerVendor = ('Z' << 8) | 'O';

    enum MessageType : unsigned char {
        Initialize = 0,
        InitializeResponse = 1,
        FatalError = 2,
        Error = 3,
        AsyncLock = 4,
        AsyncLockResponse = 5,
        Data = 6,
        DataEnd = 7,
        DeviceClearComplete = 8,
        DeviceClearAcknowledge = 9,
        AsyncRemoteLocalControl = 10,
        AsyncRemoteLocalResponse = 11,
        Trigger = 12,
        Interrupted = 13,
        AsyncInterrupted = 14,
        AsyncMaximumMessageSize = 15,
        AsyncMaximumMessageSizeResponse = 16,
        AsyncInitialize = 17,
        AsyncInitializeResponse = 18,
        AsyncDeviceClear = 19,
        AsyncServiceRequest = 20,
        AsyncStatusQuery = 21,
        AsyncStatusResponse = 22,
        AsyncDeviceClearAcknowledge = 23,
        AsyncLockInfo = 24,
        AsyncLockInfoResponse = 25,
    };
    enum FatalCode : unsigned char {
        FatalNoSlotYet = 2, // needs an initialized connection
        FatalBadInitSequence = 3,
        FatalNoFreeSlot = 4,
    };
    enum ErrorCode : unsigned char {
        ErrorUnknownType = 1,
        ErrorUnknownControl = 2,
        ErrorTooLarge = 4,
    };

    // The next message in received bytes.
    struct Frame
    {
        enum Kind { NeedMore, Complete, TooLarge };
        Kind kind = NeedMore;
        int skip = 0; // bytes before the message (or, for NeedMore, that can be dropped)
        int total = 0; // header and payload, for Complete
        HISLIP_MESSAGE_HEADER header;
    };
    // The framing decoder: finds the prologue, reads the header, checks the payload length.
    static Frame scanFrame(const unsigned char *data, int len);

    // deviceClearSettleMs: the wait between posting a device clear and acknowledging it.
    // lockWaitCapMs: the longest a lock request waits, whatever timeout the client asks for.
    explicit ZOHislipDelegate(
        unsigned long deviceClearSettleMs = 100, quint32 lockWaitCapMs = 0xFFFFFFFFu);
    virtual ~ZOHislipDelegate();
    ZOHislipDelegate(const ZOHislipDelegate &) = delete;
    ZOHislipDelegate &operator=(const ZOHislipDelegate &) = delete;

    // Session thread: decodes len received bytes of this connection; returns the bytes used.
    int OnDataReceive(const void *connection, const unsigned char *data, int len);
    // Session thread: the connection closed. Frees the slot when it was the synchronous one;
    // an asynchronous one only detaches from its slot.
    void OnSessionClose(const void *connection);
    // Synchronous session thread: an answer of the parser, tag its client message id.
    void SendResponseBack(const void *connection, const char *text, int length, unsigned tag);
    // A service request with status byte stb, from the status byte's sink (any thread).
    static void broadcastSRQ(unsigned char stb);

    // Initialized clients.
    static int sessionCount() { return s_hsSessions.load(); }
    // Any thread: while on, every lock request that waits fails at once (a service is stopping
    // and must not wait for a client's timeout).
    static void interruptLockWaits(bool on);

protected:
    // Implemented by the session: posts one program message (text NUL-ended) with tag.
    virtual void OnCmdReceive(const void *connection, char *text, int length, unsigned tag) = 0;
    virtual void OnDeviceClearReceive(const void *device) = 0;
    virtual void OnControlRENReceive(const void *device, int on) = 0;
    virtual void OnControlLLOReceive(const void *device) = 0;
    virtual void OnControlRemoteReceive(const void *device, int remote) = 0;
    // The session's own connection: writes a message at once.
    virtual void sendMessage(const QByteArray &message) = 0;
    // The session's answer port and, for the asynchronous connection, its responder's link.
    virtual std::shared_ptr<zostd::ZOTcpSession::AnswerPort> ownPort() const = 0;
    virtual std::shared_ptr<ZOScpiResponderLink> ownResponderLink() const = 0;

private:
    void dispatch(
        const void *connection, const HISLIP_MESSAGE_HEADER &header, const unsigned char *payload);
    void generateError(bool fatal, unsigned char code);
    // Under s_tableMutex: this connection's slot, null when none (or freed since).
    HISLIP_LINKOBJ *slotLocked() const;
    bool accessGrantedLocked(const HISLIP_LINKOBJ *slot) const;
    void wakeBlockedLocked();
    // Synchronized mode's RMT-delivered rule for Data and Trigger: false on a mismatch (the
    // caller queues -410); clear: a mismatch also clears both marks.
    static bool checkDeliveredLocked(HISLIP_LINKOBJ *slot, unsigned char control, bool clear);
    // Cuts the complete program messages out of the slot's input into messages.
    static void cutMessagesLocked(HISLIP_LINKOBJ *slot,
        const HISLIP_MESSAGE_HEADER &header,
        QVarLengthArray<QByteArray, 4> &messages);

    void OnInitialize(const void *, const HISLIP_MESSAGE_HEADER &, const unsigned char *);
    void OnAsyncInitialize(const void *, const HISLIP_MESSAGE_HEADER &, const unsigned char *);
    void OnData(const void *, const HISLIP_MESSAGE_HEADER &, const unsigned char *);
    void OnTrigger(const void *, const HISLIP_MESSAGE_HEADER &, const unsigned char *);
    void OnAsyncStatusQuery(const void *, const HISLIP_MESSAGE_HEADER &, const unsigned char *);
    void OnAsyncLock(const void *, const HISLIP_MESSAGE_HEADER &, const unsigned char *);
    void OnAsyncLockInfo(const void *, const HISLIP_MESSAGE_HEADER &, const unsigned char *);
    void OnAsyncRemoteLocal(const void *, const HISLIP_MESSAGE_HEADER &, const unsigned char *);
    void OnAsyncMaximumMessageSize(
        const void *, const HISLIP_MESSAGE_HEADER &, const unsigned char *);
    void OnAsyncDeviceClear(const void *, const HISLIP_MESSAGE_HEADER &, const unsigned char *);
    void OnDeviceClearComplete(const void *, const HISLIP_MESSAGE_HEADER &, const unsigned char *);

    // Lock handling, under s_tableMutex; returns the AsyncLockResponse result.
    unsigned char lockLocked(HISLIP_LINKOBJ *slot, quint32 timeoutMs, const QByteArray &name);
    unsigned char releaseLocked(HISLIP_LINKOBJ *slot);
    // Waits until the count reads 0; false when timeoutMs passed first, the slot was freed
    // meanwhile or the waits were interrupted. A free lock is granted even with timeout 0.
    bool waitForZeroLocked(const int &count, quint32 timeoutMs, const HISLIP_LINKOBJ *slot);

protected:
    // Session thread: whether this connection's Data may be taken now (the access check).
    bool accessGranted() const;
    // A Data message of this connection waits for the access check.
    bool blocked() const { return m_blocked; }
    // Any thread: the connection was initialized as a client's synchronous one.
    bool isSynchronous() const { return m_isSync.load(); }

private:
    // The slot this connection is attached to and the slot's generation then; -1 when none.
    const unsigned long m_deviceClearSettleMs;
    const quint32 m_lockWaitCapMs;
    int m_slot = -1;
    quint64 m_generation = 0;
    std::atomic<bool> m_isSync { false }; // set in the session thread, read by the parser's
    bool m_blocked = false;

    // Lock order: s_tableMutex first; while it is held only the answer ports', responder
    // links', error queue's and status registers' own mutexes are taken, and service requests
    // raised meanwhile are held back (ZO_STB_REGISTER::NotifyHold) until it is released.
    static QMutex s_tableMutex; // guards s_aHsLinkObj, the lock counts and s_lockString
    static QWaitCondition s_lockReleased; // a lock count went down
    static HISLIP_LINKOBJ s_aHsLinkObj[Slots];
    static int s_iXLockCnt; // exclusive locks granted
    static int s_iSLockCnt; // shared locks granted
    static QByteArray s_lockString; // of the current shared lock, empty when none
    static std::atomic<int> s_hsSessions;
    static quint64 s_nextGeneration;
    static int s_interrupting; // services stopping
};

} // namespace zo4882
