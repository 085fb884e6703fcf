#pragma once

#include "remote/Vxi11LinkTable.h"
#include "remote/ZORpc.h"

#include <QByteArray>
#include <QMutex>

#include <atomic>
#include <map>

class QObject;
class QTimer;

namespace zo4882 {

// The VXI-11 core channel's protocol (program 395183 version 1), one delegate per connection:
// decodes each call, runs the procedure against the link table and the link's own state, and
// hands the reply record to the session. Program messages written to a link go to the parser
// (interface type 3, the link id as their tag); its answers are held per link until
// device_read takes them. Session thread, but for the class-wide link table (its mutex), the
// service-request bits (atomic) and SendResponseBack(): the parser's thread hands an answer
// over under m_stateMutex and, when a device_read already waits for it, sends the read's reply
// itself, so an answer costs no hop through the session thread.
//
// Procedures and their results (all numbers big-endian words):
//   0 NULL                 -                                  10 create_link   error, lid, 4511, 4096
//   11 device_write        error, size                        12 device_read   error, reason, data
//   13 device_readstb      error, status byte                 14..17 trigger, clear, remote, local
//   18/19 lock, unlock     error                              20 device_enable_srq  error
//   22 device_docmd        error 8 (not supported), no data  23 destroy_link  error
//   25/26 create_intr_chan, destroy_intr_chan  error          other: PROC_UNAVAIL
// VXI-11 errors: 0 none, 3 device not accessible, 4 invalid link, 5 parameter error, 6 channel
// not established, 8 not supported, 9 out of resources, 11 locked by another link, 12 no lock
// held, 15 I/O timeout, 23 abort, 29 channel already established.
class ZOVxi11CoreDelegate
{
public:
    static constexpr quint32 Program = 395183;
    static constexpr quint32 Version = 1;
    static constexpr quint16 AbortPort = 4511;
    static constexpr int MaxRecvSize = 4096; // also the most unterminated input a link holds
    static constexpr int MaxAnswer = 49152; // the parser's largest answer

    // Device_Flags
    static constexpr quint32 FlagWaitLock = 0x01;
    static constexpr quint32 FlagEnd = 0x08;
    static constexpr quint32 FlagTermChrSet = 0x80;
    // device_read reasons
    static constexpr quint32 ReasonReqCnt = 1;
    static constexpr quint32 ReasonChr = 2;
    static constexpr quint32 ReasonEnd = 4;

    static Vxi11LinkTable s_linkTable;
    // A service request is outstanding: set when one is raised, cleared by device_readstb.
    static std::atomic<bool> s_rqs;

    // The status byte raised a service request (any thread; only posts): sent on the interrupt
    // channel unless one is still outstanding.
    static void broadcastSRQ(unsigned char stb);

    explicit ZOVxi11CoreDelegate(const void *core);
    virtual ~ZOVxi11CoreDelegate();

    // One call record; its reply (if any) goes out through sendRecord().
    void handleCall(const unsigned char *record, int len);
    // Any thread (the parser's): an answer of the parser for link lid (the message's tag);
    // empty answers are ignored. A device_read waiting for it is answered from here.
    void SendResponseBack(qint32 lid, const char *text, int length);
    // The connection ends: its links are freed, and the interrupt channel with the last link.
    void closeLinks();

protected:
    // Hooks of the session, session thread.
    virtual int OnCmdReceive(const char *text, int length, qint32 lid) = 0;
    // Cuts and posts the complete messages of an input buffer; returns the bytes used.
    virtual int OnInputReceive(char *input, int length, bool end, qint32 lid) = 0;
    virtual void OnDeviceClearReceive(qint32 lid) = 0;
    virtual void OnControlRENReceive(bool on, qint32 lid) = 0;
    virtual void OnControlRemoteReceive(bool remote, qint32 lid) = 0;
    // Any thread: one reply record, in the order of the calls (the session's sendAnyThread()).
    virtual void sendRecord(const QByteArray &body) = 0;
    // The session, for the read timers (they run in its thread).
    virtual QObject *timerContext() = 0;
    // Waits of device_clear, in milliseconds (100 on the instrument).
    int m_clearWaitMs = 100;

private:
    // input and timer belong to the session thread; the rest is guarded by m_stateMutex.
    struct LinkState
    {
        QByteArray input; // unterminated program-message input
        QByteArray answer; // the answer waiting for device_read
        bool readPending = false;
        quint32 readXid = 0;
        quint32 requestSize = 0;
        quint32 readFlags = 0;
        quint8 termChar = 0;
        // The pending read's I/O timeout; a child of the session. A read answered from the
        // parser's thread leaves it running: its timeout then finds no read pending.
        QTimer *timer = nullptr;
    };

    QByteArray dispatch(const zostd::rpc::Call &call, bool *reply);
    // Each procedure returns the result words, or sets *reply false when none is due now.
    QByteArray createLink(zostd::rpc::XdrReader &in);
    QByteArray deviceWrite(zostd::rpc::XdrReader &in);
    QByteArray deviceRead(const zostd::rpc::Call &call, zostd::rpc::XdrReader &in, bool *reply);
    QByteArray deviceReadStb(zostd::rpc::XdrReader &in);
    QByteArray deviceGeneric(quint32 proc, zostd::rpc::XdrReader &in);
    QByteArray deviceLock(zostd::rpc::XdrReader &in);
    QByteArray deviceUnlock(zostd::rpc::XdrReader &in);
    QByteArray enableSrq(zostd::rpc::XdrReader &in);
    QByteArray destroyLink(zostd::rpc::XdrReader &in);
    QByteArray createIntrChan(zostd::rpc::XdrReader &in);

    // 0, or 11/23 (lock held elsewhere; waited when the flags ask for it).
    int lockCheck(qint32 lid, quint32 flags, quint32 lockTimeout);
    LinkState *state(qint32 lid);
    // Drops a buffered answer and cancels a pending read; -410 when an answer was dropped.
    void discardAnswer(LinkState &link);
    // Under m_stateMutex, with pending reads only stopped (their timers are the session's).
    void cancelRead(LinkState &link);
    // Under m_stateMutex: answers the pending read of link lid when its answer is there.
    void completeRead(qint32 lid, LinkState &link);
    void readTimedOut(qint32 lid);
    void sendReadReply(quint32 xid, quint32 error, quint32 reason, const char *data, int n);

    const void *const m_core;
    // Guards the shape of m_links (the session thread inserts and erases under it, and reads
    // it without) and every LinkState field but input and timer. Taken before the session's
    // send mutex and the link table's, never inside them; nothing waits while holding it.
    QMutex m_stateMutex;
    std::map<qint32, LinkState> m_links; // this connection's links
};

} // namespace zo4882
