#include "remote/ZOPortmapper.h"

#include "remote/ZORpc.h"

#include <QUdpSocket>

namespace zostd {

namespace pmap {

namespace {

constexpr quint32 Version = 2;
constexpr quint32 ProcNull = 0;
constexpr quint32 ProcGetPort = 3;

struct Mapping
{
    quint32 program;
    quint32 version;
    quint32 port;
};
const Mapping s_table[] = {
    { 395183, 1, 4510 }, // VXI-11 core channel
    { 395184, 1, 4511 }, // VXI-11 abort channel
};

quint32 lookUp(quint32 program, quint32 version)
{
    for (const Mapping &m : s_table) {
        if (m.program == program && m.version == version)
            return m.port;
    }
    return 0;
}

} // namespace

QByteArray answer(const unsigned char *record, int len)
{
    rpc::Call call;
    QByteArray refusal;
    if (!rpc::acceptCall(record, len, Program, Version, &call, &refusal))
        return refusal;
    if (call.proc == ProcNull)
        return rpc::successReply(call.xid);
    if (call.proc != ProcGetPort)
        return rpc::acceptedReply(call.xid, rpc::ProcUnavail);
    // mapping: program, version, protocol, port
    rpc::XdrReader in(call.args, call.argsLen);
    const quint32 program = in.u32();
    const quint32 version = in.u32();
    in.u32();
    in.u32();
    if (!in.ok())
        return rpc::acceptedReply(call.xid, rpc::GarbageArgs);
    QByteArray reply = rpc::successReply(call.xid);
    rpc::XdrWriter(&reply).u32(lookUp(program, version));
    return reply;
}

} // namespace pmap

ZOUdpService_Pmap::ZOUdpService_Pmap(quint16 port)
    : ZOUdpService(port)
{ }

qint32 ZOUdpService_Pmap::OnReceive(
    quint8 *pDatagram, qint32 len, const QHostAddress &senderHost, quint16 senderPort)
{
    const QByteArray reply = pmap::answer(pDatagram, len);
    if (reply.isEmpty())
        return 0;
    return qint32(socket()->writeDatagram(reply, senderHost, senderPort));
}

ZOTcpSession_Pmap::ZOTcpSession_Pmap(QTcpSocket *socket)
    : ZOTcpSession_Rpc(socket, BufferSize)
{ }

QByteArray ZOTcpSession_Pmap::answerCall(const unsigned char *record, int len)
{
    return pmap::answer(record, len);
}

ZOTcpService_Pmap::ZOTcpService_Pmap(quint16 port, const QHostAddress &address)
    : ZOTcpService(port, address)
{ }

ZOTcpService_Pmap::~ZOTcpService_Pmap()
{
    stop();
}

ZOTcpSession *ZOTcpService_Pmap::createProtocolSpecificSession(QTcpSocket *socket)
{
    return new ZOTcpSession_Pmap(socket);
}

} // namespace zostd
