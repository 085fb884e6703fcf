#include "remote/ZOVxi11CoreDelegate.h"

#include "remote/QueueError.h"
#include "remote/StatusRegisters.h"
#include "remote/ZOVxi11_SRQ.h"

#include <QHostAddress>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace zo4882 {

using namespace zostd;

Vxi11LinkTable ZOVxi11CoreDelegate::s_linkTable;
std::atomic<bool> ZOVxi11CoreDelegate::s_rqs { false };

namespace {

enum Proc : quint32 {
    ProcNull = 0,
    CreateLink = 10,
    DeviceWrite = 11,
    DeviceRead = 12,
    DeviceReadStb = 13,
    DeviceTrigger = 14,
    DeviceClear = 15,
    DeviceRemote = 16,
    DeviceLocal = 17,
    DeviceLock = 18,
    DeviceUnlock = 19,
    DeviceEnableSrq = 20,
    DeviceDocmd = 22,
    DestroyLink = 23,
    CreateIntrChan = 25,
    DestroyIntrChan = 26,
};

constexpr quint32 MaxTimeout = 65535; // lock and I/O timeouts above it are parameter errors
constexpr int MaxDeviceName = 256;
constexpr quint32 FamilyTcp = 0;

QByteArray errorOnly(quint32 error)
{
    QByteArray out;
    rpc::XdrWriter(&out).u32(error);
    return out;
}

} // namespace

void ZOVxi11CoreDelegate::broadcastSRQ(unsigned char)
{
    if (s_rqs.exchange(true))
        return;
    ZOVxi11_SRQ::srq();
}

ZOVxi11CoreDelegate::ZOVxi11CoreDelegate(const void *core)
    : m_core(core)
{ }

ZOVxi11CoreDelegate::~ZOVxi11CoreDelegate() = default;

void ZOVxi11CoreDelegate::handleCall(const unsigned char *record, int len)
{
    rpc::Call call;
    QByteArray body;
    if (rpc::acceptCall(record, len, Program, Version, &call, &body)) {
        bool reply = true;
        body = dispatch(call, &reply);
        if (!reply)
            return;
    }
    if (!body.isEmpty())
        sendRecord(body);
}

QByteArray ZOVxi11CoreDelegate::dispatch(const rpc::Call &call, bool *reply)
{
    rpc::XdrReader in(call.args, call.argsLen);
    QByteArray result;
    switch (call.proc) {
    case ProcNull:
        break;
    case CreateLink:
        result = createLink(in);
        break;
    case DeviceWrite:
        result = deviceWrite(in);
        break;
    case DeviceRead:
        result = deviceRead(call, in, reply);
        break;
    case DeviceReadStb:
        result = deviceReadStb(in);
        break;
    case DeviceTrigger:
    case DeviceClear:
    case DeviceRemote:
    case DeviceLocal:
        result = deviceGeneric(call.proc, in);
        break;
    case DeviceLock:
        result = deviceLock(in);
        break;
    case DeviceUnlock:
        result = deviceUnlock(in);
        break;
    case DeviceEnableSrq:
        result = enableSrq(in);
        break;
    case DeviceDocmd:
        // No vendor commands: operation not supported, and no data out.
        result = errorOnly(8);
        rpc::XdrWriter(&result).u32(0);
        break;
    case DestroyLink:
        result = destroyLink(in);
        break;
    case CreateIntrChan:
        result = createIntrChan(in);
        break;
    case DestroyIntrChan:
        result = errorOnly(quint32(ZOVxi11_SRQ::destroy()));
        break;
    default:
        return rpc::acceptedReply(call.xid, rpc::ProcUnavail);
    }
    // A procedure that found its arguments cut short answered nothing yet.
    if (!in.ok())
        return rpc::acceptedReply(call.xid, rpc::GarbageArgs);
    if (!*reply)
        return QByteArray();
    QByteArray body = rpc::successReply(call.xid);
    body.append(result);
    return body;
}

QByteArray ZOVxi11CoreDelegate::createLink(rpc::XdrReader &in)
{
    in.u32(); // client id, not used
    const bool lockDevice = in.u32() != 0;
    const quint32 lockTimeout = in.u32();
    int nameLen = 0;
    const unsigned char *name = in.opaque(MaxDeviceName, &nameLen);
    if (!in.ok())
        return QByteArray();
    QByteArray out;
    rpc::XdrWriter result(&out);
    quint32 error = 0;
    qint32 lid = 0;
    if (lockTimeout > MaxTimeout)
        error = 5;
    else if (nameLen < 5 || std::memcmp(name, "inst0", 5) != 0)
        error = 3;
    else if (s_linkTable.freeLinks() == 0)
        error = 9;
    if (error == 0) {
        lid = s_linkTable.registerLink(m_core, false);
        if (lid == 0) {
            error = 9;
        } else if (lockDevice && s_linkTable.waitLock(lid, int(lockTimeout), false, true) != 0) {
            s_linkTable.unregisterLink(lid, m_core);
            lid = 0;
            error = 11;
        } else {
            // One timer per link, made once: a read costs no timer of its own.
            QTimer *timer = new QTimer(timerContext());
            timer->setSingleShot(true);
            QObject::connect(timer, &QTimer::timeout, timerContext(), [this, lid] {
                readTimedOut(lid);
            });
            QMutexLocker lock(&m_stateMutex);
            m_links[lid].timer = timer;
        }
    }
    result.u32(error).u32(quint32(lid)).u32(AbortPort).u32(MaxRecvSize);
    return out;
}

QByteArray ZOVxi11CoreDelegate::deviceWrite(rpc::XdrReader &in)
{
    const qint32 lid = qint32(in.u32());
    const quint32 ioTimeout = in.u32();
    const quint32 lockTimeout = in.u32();
    const quint32 flags = in.u32();
    int dataLen = 0;
    // Longer data is decoded too (the record holds it), and refused below as a parameter error.
    const unsigned char *data = in.opaque(INT_MAX, &dataLen);
    if (!in.ok())
        return QByteArray();
    QByteArray out;
    LinkState *link = state(lid);
    if (!link)
        return errorOnly(4);
    if (ioTimeout > MaxTimeout || lockTimeout > MaxTimeout || dataLen > MaxRecvSize)
        return errorOnly(5);
    if (const int locked = lockCheck(lid, flags, lockTimeout))
        return errorOnly(quint32(locked));
    discardAnswer(*link);
    if (link->input.size() + dataLen > MaxRecvSize) {
        queueErrorFrom(INTF_VXI11, -363, QString());
        link->input.clear();
        return errorOnly(5);
    }
    link->input.append(reinterpret_cast<const char *>(data), dataLen);
    const int used =
        OnInputReceive(link->input.data(), link->input.size(), (flags & FlagEnd) != 0, lid);
    link->input.remove(0, used);
    rpc::XdrWriter(&out).u32(0).u32(quint32(dataLen));
    return out;
}

QByteArray ZOVxi11CoreDelegate::deviceRead(const rpc::Call &call, rpc::XdrReader &in, bool *reply)
{
    const qint32 lid = qint32(in.u32());
    const quint32 requestSize = in.u32();
    const quint32 ioTimeout = in.u32();
    const quint32 lockTimeout = in.u32();
    const quint32 flags = in.u32();
    const quint32 termChar = in.u32();
    if (!in.ok())
        return QByteArray();
    QByteArray out;
    quint32 error = 0;
    LinkState *link = state(lid);
    if (!link)
        error = 4;
    else if (ioTimeout > MaxTimeout || lockTimeout > MaxTimeout)
        error = 5;
    else
        error = quint32(lockCheck(lid, flags, lockTimeout));
    if (error != 0) {
        rpc::XdrWriter(&out).u32(error).u32(0).u32(0);
        return out;
    }
    *reply = false;
    QMutexLocker lock(&m_stateMutex);
    cancelRead(*link);
    link->readPending = true;
    link->readXid = call.xid;
    link->requestSize = requestSize & 0x7FFFFFFFu;
    link->readFlags = flags;
    link->termChar = quint8(termChar);
    if (link->answer.isEmpty()) {
        // Replies a little before the client's own timeout, so the client sees error 15.
        link->timer->start(ioTimeout > 100 ? int(ioTimeout) - 10 : int(ioTimeout));
        return QByteArray();
    }
    completeRead(lid, *link);
    return QByteArray();
}

QByteArray ZOVxi11CoreDelegate::deviceReadStb(rpc::XdrReader &in)
{
    const qint32 lid = qint32(in.u32());
    const quint32 flags = in.u32();
    const quint32 lockTimeout = in.u32();
    const quint32 ioTimeout = in.u32();
    if (!in.ok())
        return QByteArray();
    QByteArray out;
    LinkState *link = state(lid);
    quint32 error = 0;
    if (!link)
        error = 4;
    else if (ioTimeout > MaxTimeout || lockTimeout > MaxTimeout)
        error = 5;
    else
        error = quint32(lockCheck(lid, flags, lockTimeout));
    quint32 stb = 0;
    if (error == 0) {
        stb = s_stb.condition()
            & ~quint32(ZO_STB_REGISTER::MessageAvailable | ZO_STB_REGISTER::RequestService);
        QMutexLocker lock(&m_stateMutex);
        if (!link->answer.isEmpty())
            stb |= ZO_STB_REGISTER::MessageAvailable;
        if (s_rqs.exchange(false))
            stb |= ZO_STB_REGISTER::RequestService;
    }
    rpc::XdrWriter(&out).u32(error).u32(stb);
    return out;
}

QByteArray ZOVxi11CoreDelegate::deviceGeneric(quint32 proc, rpc::XdrReader &in)
{
    const qint32 lid = qint32(in.u32());
    const quint32 flags = in.u32();
    const quint32 lockTimeout = in.u32();
    in.u32(); // I/O timeout
    if (!in.ok())
        return QByteArray();
    LinkState *link = state(lid);
    if (!link)
        return errorOnly(4);
    if (lockTimeout > MaxTimeout)
        return errorOnly(5);
    if (const int locked = lockCheck(lid, flags, lockTimeout))
        return errorOnly(quint32(locked));
    switch (proc) {
    case DeviceTrigger:
        discardAnswer(*link);
        OnCmdReceive("*TRG", 4, lid);
        break;
    case DeviceClear:
        discardAnswer(*link);
        OnDeviceClearReceive(lid);
        // Lets the parser finish discarding before the client sends again.
        QThread::msleep(ulong(m_clearWaitMs));
        break;
    case DeviceRemote:
        OnControlRENReceive(true, lid);
        OnControlRemoteReceive(true, lid);
        break;
    case DeviceLocal:
        OnControlRENReceive(false, lid);
        break;
    }
    return errorOnly(0);
}

QByteArray ZOVxi11CoreDelegate::deviceLock(rpc::XdrReader &in)
{
    const qint32 lid = qint32(in.u32());
    const quint32 flags = in.u32();
    const quint32 lockTimeout = in.u32();
    if (!in.ok())
        return QByteArray();
    if (!state(lid))
        return errorOnly(4);
    if (lockTimeout > MaxTimeout)
        return errorOnly(5);
    // Already holding it is refused as well: the lock does not nest.
    if (s_linkTable.findLockOwner() == lid)
        return errorOnly(11);
    if (s_linkTable.tryLock(lid))
        return errorOnly(0);
    if (!(flags & FlagWaitLock))
        return errorOnly(11);
    return errorOnly(quint32(s_linkTable.waitLock(lid, int(lockTimeout), true, true)));
}

QByteArray ZOVxi11CoreDelegate::deviceUnlock(rpc::XdrReader &in)
{
    const qint32 lid = qint32(in.u32());
    if (!in.ok())
        return QByteArray();
    if (!state(lid))
        return errorOnly(4);
    return errorOnly(s_linkTable.unlock(lid) ? 0 : 12);
}

QByteArray ZOVxi11CoreDelegate::enableSrq(rpc::XdrReader &in)
{
    const qint32 lid = qint32(in.u32());
    const bool enable = in.u32() != 0;
    int handleLen = 0;
    const unsigned char *handle = in.opaque(VXI11_LINKOBJ::MaxHandle, &handleLen);
    if (!in.ok())
        return QByteArray();
    if (!state(lid))
        return errorOnly(4);
    s_linkTable.setSrq(lid, enable, QByteArray(reinterpret_cast<const char *>(handle), handleLen));
    return errorOnly(0);
}

QByteArray ZOVxi11CoreDelegate::destroyLink(rpc::XdrReader &in)
{
    const qint32 lid = qint32(in.u32());
    if (!in.ok())
        return QByteArray();
    LinkState *link = state(lid);
    if (!link)
        return errorOnly(4);
    delete link->timer;
    {
        QMutexLocker lock(&m_stateMutex);
        m_links.erase(lid);
    }
    s_linkTable.unregisterLink(lid, m_core);
    if (s_linkTable.usedLinks() == 0)
        ZOVxi11_SRQ::destroy();
    return errorOnly(0);
}

QByteArray ZOVxi11CoreDelegate::createIntrChan(rpc::XdrReader &in)
{
    const quint32 hostAddr = in.u32();
    const quint32 hostPort = in.u32();
    const quint32 progNum = in.u32();
    const quint32 progVers = in.u32();
    const quint32 family = in.u32();
    if (!in.ok())
        return QByteArray();
    if (progNum != ZOVxi11_SRQ::Program || progVers != ZOVxi11_SRQ::Version || family != FamilyTcp
        || hostPort > 0xFFFF)
        return errorOnly(8);
    return errorOnly(
        quint32(ZOVxi11_SRQ::create(QHostAddress(hostAddr), quint16(hostPort), &s_linkTable)));
}

int ZOVxi11CoreDelegate::lockCheck(qint32 lid, quint32 flags, quint32 lockTimeout)
{
    const qint32 owner = s_linkTable.findLockOwner();
    if (owner == 0 || owner == lid)
        return 0;
    if (!(flags & FlagWaitLock))
        return 11;
    return s_linkTable.waitLock(lid, int(lockTimeout), true, false);
}

ZOVxi11CoreDelegate::LinkState *ZOVxi11CoreDelegate::state(qint32 lid)
{
    const auto it = m_links.find(lid);
    if (it == m_links.end() || !s_linkTable.belongsTo(lid, m_core))
        return nullptr;
    return &it->second;
}

void ZOVxi11CoreDelegate::discardAnswer(LinkState &link)
{
    bool dropped = false;
    {
        QMutexLocker lock(&m_stateMutex);
        dropped = !link.answer.isEmpty();
        link.answer.clear();
        cancelRead(link);
    }
    if (dropped)
        queueErrorFrom(INTF_VXI11, -410, QString());
}

void ZOVxi11CoreDelegate::cancelRead(LinkState &link)
{
    if (link.readPending)
        link.timer->stop();
    link.readPending = false;
}

void ZOVxi11CoreDelegate::SendResponseBack(qint32 lid, const char *text, int length)
{
    if (length <= 0)
        return;
    {
        QMutexLocker lock(&m_stateMutex);
        const auto it = m_links.find(lid);
        if (it == m_links.end())
            return;
        it->second.answer = QByteArray(text, std::min(length, MaxAnswer));
        completeRead(lid, it->second);
    }
    if ((s_stb.enabler() & ZO_STB_REGISTER::MessageAvailable) && !s_rqs.exchange(true))
        ZOVxi11_SRQ::srq();
}

void ZOVxi11CoreDelegate::completeRead(qint32 lid, LinkState &link)
{
    if (!link.readPending || link.answer.isEmpty())
        return;
    int n = int(std::min<quint32>(link.requestSize, quint32(link.answer.size())));
    if (n == 0)
        return;
    quint32 reason = 0;
    if (link.readFlags & FlagTermChrSet) {
        const void *at = std::memchr(link.answer.constData(), link.termChar, size_t(n));
        if (at) {
            n = int(static_cast<const char *>(at) - link.answer.constData()) + 1;
            reason |= ReasonChr;
        }
    }
    if (quint32(n) == link.requestSize)
        reason |= ReasonReqCnt;
    if (n == link.answer.size())
        reason |= ReasonEnd;
    const quint32 xid = link.readXid;
    link.readPending = false;
    sendReadReply(xid, 0, reason, link.answer.constData(), n);
    s_linkTable.setLastReadXid(lid, xid);
    link.answer.remove(0, n);
}

void ZOVxi11CoreDelegate::readTimedOut(qint32 lid)
{
    QMutexLocker lock(&m_stateMutex);
    const auto it = m_links.find(lid);
    if (it == m_links.end() || !it->second.readPending)
        return;
    LinkState &link = it->second;
    const quint32 xid = link.readXid;
    link.readPending = false;
    sendReadReply(xid, 15, 0, nullptr, 0);
}

void ZOVxi11CoreDelegate::sendReadReply(
    quint32 xid, quint32 error, quint32 reason, const char *data, int n)
{
    QByteArray body = rpc::successReply(xid);
    rpc::XdrWriter(&body).u32(error).u32(reason).opaque(data, n);
    sendRecord(body);
}

void ZOVxi11CoreDelegate::closeLinks()
{
    {
        QMutexLocker lock(&m_stateMutex);
        for (auto &entry : m_links)
            delete entry.second.timer;
        m_links.clear();
    }
    s_linkTable.unregisterAll(m_core);
    if (s_linkTable.usedLinks() == 0)
        ZOVxi11_SRQ::destroy();
}

} // namespace zo4882
