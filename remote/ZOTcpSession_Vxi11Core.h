#pragma once

#include "remote/ZOTcpService.h"
#include "remote/ZOTcpSession_Rpc.h"
#include "remote/ZOVxi11CoreDelegate.h"

namespace zo4882 {

class ScpiResponder_Vxi11Core;
class ZO4882Parser;

// One VXI-11 core connection (port 4510): each RPC call is run by the delegate, which sends
// its reply itself (a device_read's reply may come later, sent from the parser's thread when
// the answer comes after the read: see ZOTcpSession::sendAnyThread()).
class ZOTcpSession_Vxi11Core : public zostd::ZOTcpSession_Rpc, public ZOVxi11CoreDelegate
{
    Q_OBJECT

public:
    static constexpr int BufferSize = 8192;

    // parser receives the messages (ZO4882Parser::s_pSelf when null); it must outlive the
    // session. clearWaitMs: device_clear's pause before its reply.
    explicit ZOTcpSession_Vxi11Core(
        QTcpSocket *socket, ZO4882Parser *parser = nullptr, int clearWaitMs = 100);
    ~ZOTcpSession_Vxi11Core() override;

protected:
    QByteArray answerCall(const unsigned char *record, int len) override;
    void OnSessionOpen() override;
    void OnSessionClose() override;

    int OnCmdReceive(const char *text, int length, qint32 lid) override;
    int OnInputReceive(char *input, int length, bool end, qint32 lid) override;
    void OnDeviceClearReceive(qint32 lid) override;
    void OnControlRENReceive(bool on, qint32 lid) override;
    void OnControlRemoteReceive(bool remote, qint32 lid) override;
    void sendRecord(const QByteArray &body) override { ZOTcpSession_Rpc::sendRecord(body); }
    QObject *timerContext() override { return this; }

private:
    ZO4882Parser *parser() const;

    ZO4882Parser *const m_parser;
    ScpiResponder_Vxi11Core *const m_responder; // child
};

// The core channel's service (port 4510).
class ZOTcpService_Vxi11Core : public zostd::ZOTcpService
{
    Q_OBJECT

public:
    static constexpr quint16 DefaultPort = 4510;
    explicit ZOTcpService_Vxi11Core(quint16 port = DefaultPort,
        ZO4882Parser *parser = nullptr,
        const QHostAddress &address = QHostAddress::Any,
        int clearWaitMs = 100);
    ~ZOTcpService_Vxi11Core() override;

protected:
    zostd::ZOTcpSession *createProtocolSpecificSession(QTcpSocket *socket) override;

private:
    ZO4882Parser *const m_parser;
    const int m_clearWaitMs;
};

} // namespace zo4882
