#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace zostd {

// ONC-RPC version 2 as the instrument's RPC services speak it: records cut out of a TCP stream
// by their record marks, calls read with every length checked against the record, replies
// built in XDR (big-endian 32-bit words, opaque data padded to 4 bytes).
//
// Call layout: xid, message type (0 CALL), RPC version (2), program, version, procedure,
// credential (flavour, length, body), verifier (flavour, length, body), then the arguments.
// Reply layout: xid, 1 (REPLY), 0 (MSG_ACCEPTED), verifier AUTH_NULL (0, 0), accept status,
// then the result (SUCCESS) or the lowest and highest version (PROG_MISMATCH).
namespace rpc {

constexpr quint32 LastFragment = 0x80000000u;
constexpr int MaxAuthBody = 400; // the largest credential or verifier body a call may carry

enum AcceptStat : quint32 {
    Success = 0,
    ProgUnavail = 1,
    ProgMismatch = 2,
    ProcUnavail = 3,
    GarbageArgs = 4,
};

// Bounds-checked XDR reader over one record; a read past the end sets the failure mark and
// yields zeros, so a decoder checks ok() once after its reads.
class XdrReader
{
public:
    XdrReader(const unsigned char *data, int len)
        : m_data(data)
        , m_len(len)
    { }

    quint32 u32();
    // Opaque or string of at most maxLen bytes: its length and a pointer into the record.
    const unsigned char *opaque(int maxLen, int *len);
    bool ok() const { return m_ok; }
    int offset() const { return m_pos; }
    int remaining() const { return m_len - m_pos; }
    const unsigned char *current() const { return m_data + m_pos; }

private:
    const unsigned char *m_data;
    int m_len;
    int m_pos = 0;
    bool m_ok = true;
};

// Appends XDR words to a byte array.
class XdrWriter
{
public:
    explicit XdrWriter(QByteArray *out)
        : m_out(out)
    { }
    XdrWriter &u32(quint32 value);
    XdrWriter &opaque(const void *data, int len);

private:
    QByteArray *m_out;
};

// One call's header, the arguments pointing into the record.
struct Call
{
    quint32 xid = 0;
    quint32 prog = 0;
    quint32 vers = 0;
    quint32 proc = 0;
    const unsigned char *args = nullptr;
    int argsLen = 0;
};

enum class CallStatus {
    Ok,
    NotACall, // a reply or unknown message type: dropped
    RpcMismatch, // RPC version other than 2: MSG_DENIED / RPC_MISMATCH
    Garbage, // the header does not fit the record; the xid is known: GARBAGE_ARGS
    Unreadable, // not even a transaction id: dropped
};

CallStatus parseCall(const unsigned char *record, int len, Call *call);

// Decodes a call for program prog version vers: true when it is one; otherwise *refusal is
// the reply due (empty for none): GARBAGE_ARGS, RPC_MISMATCH, PROG_UNAVAIL or PROG_MISMATCH.
bool acceptCall(const unsigned char *record,
    int len,
    quint32 prog,
    quint32 vers,
    Call *call,
    QByteArray *refusal);

// A record's end within a TCP stream: scans the record marks at the front of data. Returns the
// bytes of the whole record (marks included) and copies the fragments' contents into *record;
// 0 while the record is incomplete; -1 when the record cannot be had (its contents would
// exceed maxRecord): the stream cannot be followed further.
int takeRecord(const unsigned char *data, int len, int maxRecord, QByteArray *record);

// Reply bodies (without the record mark).
QByteArray acceptedReply(quint32 xid, AcceptStat stat);
QByteArray successReply(quint32 xid); // then append the result with an XdrWriter
QByteArray mismatchReply(quint32 xid, quint32 low, quint32 high);
QByteArray rpcMismatchReply(quint32 xid);
// The reply for a call that parseCall() did not take (empty: none).
QByteArray replyToBadCall(CallStatus status, const Call &call);
// Prepends the record mark of one last fragment.
QByteArray withRecordMark(const QByteArray &body);

} // namespace rpc
} // namespace zostd
