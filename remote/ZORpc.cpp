#include "remote/ZORpc.h"

#include <QtEndian>

#include <cstring>

namespace zostd {
namespace rpc {

namespace {

constexpr quint32 MsgCall = 0;
constexpr quint32 MsgReply = 1;
constexpr quint32 MsgAccepted = 0;
constexpr quint32 MsgDenied = 1;
constexpr quint32 RpcMismatchStat = 0;
constexpr quint32 RpcVersion = 2;

int padded(int len)
{
    return (len + 3) & ~3;
}

} // namespace

quint32 XdrReader::u32()
{
    if (!m_ok || m_len - m_pos < 4) {
        m_ok = false;
        return 0;
    }
    const quint32 value = qFromBigEndian<quint32>(m_data + m_pos);
    m_pos += 4;
    return value;
}

const unsigned char *XdrReader::opaque(int maxLen, int *len)
{
    *len = 0;
    const quint32 n = u32();
    // The padding must be there as well: a record that ends inside it was cut short.
    if (!m_ok || n > quint32(maxLen) || qint64(padded(int(n))) > qint64(m_len - m_pos)) {
        m_ok = false;
        return nullptr;
    }
    const unsigned char *at = m_data + m_pos;
    m_pos += padded(int(n));
    *len = int(n);
    return at;
}

XdrWriter &XdrWriter::u32(quint32 value)
{
    unsigned char word[4];
    qToBigEndian(value, word);
    m_out->append(reinterpret_cast<const char *>(word), 4);
    return *this;
}

XdrWriter &XdrWriter::opaque(const void *data, int len)
{
    u32(quint32(len));
    m_out->append(static_cast<const char *>(data), len);
    m_out->append(padded(len) - len, '\0');
    return *this;
}

CallStatus parseCall(const unsigned char *record, int len, Call *call)
{
    *call = Call();
    XdrReader in(record, len);
    call->xid = in.u32();
    if (!in.ok())
        return CallStatus::Unreadable;
    const quint32 type = in.u32();
    if (!in.ok())
        return CallStatus::Garbage;
    if (type != MsgCall)
        return CallStatus::NotACall;
    const quint32 version = in.u32();
    call->prog = in.u32();
    call->vers = in.u32();
    call->proc = in.u32();
    if (in.ok() && version != RpcVersion)
        return CallStatus::RpcMismatch;
    // Credential and verifier: flavour, then a body skipped by its length.
    for (int i = 0; i < 2; ++i) {
        in.u32();
        int bodyLen = 0;
        in.opaque(MaxAuthBody, &bodyLen);
    }
    if (!in.ok())
        return CallStatus::Garbage;
    call->args = in.current();
    call->argsLen = in.remaining();
    return CallStatus::Ok;
}

bool acceptCall(const unsigned char *record,
    int len,
    quint32 prog,
    quint32 vers,
    Call *call,
    QByteArray *refusal)
{
    const CallStatus status = parseCall(record, len, call);
    if (status != CallStatus::Ok)
        *refusal = replyToBadCall(status, *call);
    else if (call->prog != prog)
        *refusal = acceptedReply(call->xid, ProgUnavail);
    else if (call->vers != vers)
        *refusal = mismatchReply(call->xid, vers, vers);
    else
        return true;
    return false;
}

int takeRecord(const unsigned char *data, int len, int maxRecord, QByteArray *record)
{
    // First pass: find the last fragment without copying, so that an incomplete record costs
    // nothing and a lying length is refused before anything is taken.
    qint64 contents = 0;
    int pos = 0;
    bool last = false;
    while (!last) {
        if (len - pos < 4)
            return 0;
        const quint32 mark = qFromBigEndian<quint32>(data + pos);
        last = (mark & LastFragment) != 0;
        const qint64 fragment = mark & ~LastFragment;
        contents += fragment;
        if (contents > maxRecord)
            return -1;
        if (qint64(len - pos - 4) < fragment)
            return 0;
        pos += 4 + int(fragment);
    }
    record->resize(0);
    for (int at = 0; at < pos;) {
        const int fragment = int(qFromBigEndian<quint32>(data + at) & ~LastFragment);
        record->append(reinterpret_cast<const char *>(data + at + 4), fragment);
        at += 4 + fragment;
    }
    return pos;
}

QByteArray acceptedReply(quint32 xid, AcceptStat stat)
{
    QByteArray out;
    out.reserve(64);
    XdrWriter(&out).u32(xid).u32(MsgReply).u32(MsgAccepted).u32(0).u32(0).u32(stat);
    return out;
}

QByteArray successReply(quint32 xid)
{
    return acceptedReply(xid, Success);
}

QByteArray mismatchReply(quint32 xid, quint32 low, quint32 high)
{
    QByteArray out = acceptedReply(xid, ProgMismatch);
    XdrWriter(&out).u32(low).u32(high);
    return out;
}

QByteArray rpcMismatchReply(quint32 xid)
{
    QByteArray out;
    XdrWriter(&out)
        .u32(xid)
        .u32(MsgReply)
        .u32(MsgDenied)
        .u32(RpcMismatchStat)
        .u32(RpcVersion)
        .u32(RpcVersion);
    return out;
}

QByteArray replyToBadCall(CallStatus status, const Call &call)
{
    switch (status) {
    case CallStatus::RpcMismatch:
        return rpcMismatchReply(call.xid);
    case CallStatus::Garbage:
        return acceptedReply(call.xid, GarbageArgs);
    case CallStatus::Ok:
    case CallStatus::NotACall:
    case CallStatus::Unreadable:
        break;
    }
    return QByteArray();
}

QByteArray withRecordMark(const QByteArray &body)
{
    QByteArray out;
    out.reserve(body.size() + 4);
    XdrWriter(&out).u32(LastFragment | quint32(body.size()));
    out.append(body);
    return out;
}

} // namespace rpc
} // namespace zostd
