#pragma once

#include "remote/ZOTcpService.h"
#include "remote/ZOTcpSession_Rpc.h"
#include "remote/ZOUdpService.h"

#include <QByteArray>

namespace zostd {

// The ONC-RPC portmapper (program 100000 version 2) over UDP and TCP on port 111, answering
// from a fixed table and keeping no registrations:
//   GETPORT 395183 (VXI-11 core) v1 -> 4510, 395184 (VXI-11 abort) v1 -> 4511, else 0,
//   whatever protocol the query names; NULL answered; other procedures PROC_UNAVAIL;
//   versions 3 and 4 (rpcbind) PROG_MISMATCH 2..2, so that clients fall back at once.
namespace pmap {

constexpr quint16 Port = 111;
constexpr quint32 Program = 100000;

// The reply body to one call record (no record mark); empty when none is due.
QByteArray answer(const unsigned char *record, int len);

} // namespace pmap

class ZOUdpService_Pmap : public ZOUdpService
{
    Q_OBJECT

public:
    explicit ZOUdpService_Pmap(quint16 port = pmap::Port);

protected:
    qint32 OnReceive(
        quint8 *pDatagram, qint32 len, const QHostAddress &senderHost, quint16 senderPort) override;
};

// One TCP portmapper connection.
class ZOTcpSession_Pmap : public ZOTcpSession_Rpc
{
    Q_OBJECT

public:
    static constexpr int BufferSize = 4096;
    explicit ZOTcpSession_Pmap(QTcpSocket *socket);

protected:
    QByteArray answerCall(const unsigned char *record, int len) override;
    void OnSessionClose() override { }
};

class ZOTcpService_Pmap : public ZOTcpService
{
    Q_OBJECT

public:
    explicit ZOTcpService_Pmap(
        quint16 port = pmap::Port, const QHostAddress &address = QHostAddress::Any);
    ~ZOTcpService_Pmap() override;

protected:
    ZOTcpSession *createProtocolSpecificSession(QTcpSocket *socket) override;
};

} // namespace zostd
