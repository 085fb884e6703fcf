#pragma once

#include "remote/ZOTcpService.h"
#include "remote/ZOTcpSession_Rpc.h"

namespace zo4882 {

// One VXI-11 abort-channel connection (port 4511, program 395184 version 1): device_abort
// (procedure 1, argument the link id) marks the link as aborted, which ends its lock wait on
// the core channel with error 23; the result is 0, or 4 for an id that names no link.
class ZOTcpSession_Vxi11Async : public zostd::ZOTcpSession_Rpc
{
    Q_OBJECT

public:
    static constexpr int BufferSize = 8192;
    static constexpr quint32 Program = 395184;
    static constexpr quint32 Version = 1;
    explicit ZOTcpSession_Vxi11Async(QTcpSocket *socket);

    // The reply body to one call record (no record mark); empty when none is due.
    static QByteArray answer(const unsigned char *record, int len);

protected:
    QByteArray answerCall(const unsigned char *record, int len) override
    {
        return answer(record, len);
    }
    void OnSessionClose() override { }
};

class ZOTcpService_Vxi11Async : public zostd::ZOTcpService
{
    Q_OBJECT

public:
    static constexpr quint16 DefaultPort = 4511;
    explicit ZOTcpService_Vxi11Async(
        quint16 port = DefaultPort, const QHostAddress &address = QHostAddress::Any);
    ~ZOTcpService_Vxi11Async() override;

protected:
    zostd::ZOTcpSession *createProtocolSpecificSession(QTcpSocket *socket) override;
};

} // namespace zo4882
