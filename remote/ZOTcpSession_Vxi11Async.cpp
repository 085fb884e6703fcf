#include "remote/ZOTcpSession_Vxi11Async.h"

#include "remote/ZORpc.h"
#include "remote/ZOVxi11CoreDelegate.h"

namespace zo4882 {

using namespace zostd;

namespace {
constexpr quint32 ProcNull = 0;
constexpr quint32 ProcDeviceAbort = 1;
} // namespace

ZOTcpSession_Vxi11Async::ZOTcpSession_Vxi11Async(QTcpSocket *socket)
    : ZOTcpSession_Rpc(socket, BufferSize)
{ }

QByteArray ZOTcpSession_Vxi11Async::answer(const unsigned char *record, int len)
{
    rpc::Call call;
    QByteArray refusal;
    if (!rpc::acceptCall(record, len, Program, Version, &call, &refusal))
        return refusal;
    if (call.proc == ProcNull)
        return rpc::successReply(call.xid);
    if (call.proc != ProcDeviceAbort)
        return rpc::acceptedReply(call.xid, rpc::ProcUnavail);
    rpc::XdrReader in(call.args, call.argsLen);
    const qint32 lid = qint32(in.u32());
    if (!in.ok())
        return rpc::acceptedReply(call.xid, rpc::GarbageArgs);
    QByteArray reply = rpc::successReply(call.xid);
    rpc::XdrWriter(&reply).u32(ZOVxi11CoreDelegate::s_linkTable.abort(lid) ? 0 : 4);
    return reply;
}

ZOTcpService_Vxi11Async::ZOTcpService_Vxi11Async(quint16 port, const QHostAddress &address)
    : ZOTcpService(port, address)
{ }

ZOTcpService_Vxi11Async::~ZOTcpService_Vxi11Async()
{
    stop();
}

ZOTcpSession *ZOTcpService_Vxi11Async::createProtocolSpecificSession(QTcpSocket *socket)
{
    return new ZOTcpSession_Vxi11Async(socket);
}

} // namespace zo4882
