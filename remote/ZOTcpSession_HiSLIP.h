#pragma once

#include "remote/ZOHislipDelegate.h"
#include "remote/ZOTcpSession.h"

namespace zo4882 {

class ScpiResponder_HiSLIP;
class ZO4882Parser;

// One HiSLIP connection, synchronous or asynchronous (the client's Initialize or
// AsyncInitialize decides): the delegate decodes its messages and pairs it with the client's
// other connection. Program messages go to the parser with interface type 4 and the client's
// message id as tag; the parser's answers come back through the session's responder. While a
// Data message waits for another client's lock, nothing more is read from the connection.
//
// Messages leave at once from whichever thread makes them (an answer from the parser's) as one
// non-blocking send on the session's own duplicate of the socket's descriptor, while nothing
// waits in the socket's buffer; otherwise, and after a partial send, they go through the socket
// in the session thread until it has written everything out.
class ZOTcpSession_HiSLIP : public zostd::ZOTcpSession, public ZOHislipDelegate
{
    Q_OBJECT

public:
    static constexpr int BufferSize = 8192;

    // Listener thread. parser receives the messages (ZO4882Parser::s_pSelf when null); it must
    // outlive the session.
    explicit ZOTcpSession_HiSLIP(QTcpSocket *socket, ZO4882Parser *parser = nullptr);
    ~ZOTcpSession_HiSLIP() override;

    // Session thread (the responder): hands an answer to the delegate.
    void writeAnswer(const char *text, int length, unsigned tag);
    // Parser thread, under the responder's link mutex: answers of a synchronous connection are
    // sent from here; false leaves the answer to writeAnswer() in the session thread.
    bool writeAnswerNow(const char *text, int length, unsigned tag);
    // Session thread (the responder): an AsyncServiceRequest with status byte stb.
    void writeServiceRequest(unsigned char stb);

protected:
    void OnSessionOpen() override;
    int OnDataReceive(const unsigned char *data, int len) override;
    void OnSessionClose() override;
    bool mayReceive() const override;
    // The LAN configuration was reset: the connection closes.
    void OnLciActivate() override;

    void OnCmdReceive(const void *device, char *text, int length, unsigned tag) override;
    void OnDeviceClearReceive(const void *device) override;
    void OnControlRENReceive(const void *device, int on) override;
    void OnControlLLOReceive(const void *device) override;
    void OnControlRemoteReceive(const void *device, int remote) override;
    void sendMessage(const QByteArray &message) override;
    std::shared_ptr<AnswerPort> ownPort() const override { return answerPort(); }
    std::shared_ptr<ZOScpiResponderLink> ownResponderLink() const override;

private:
    ZO4882Parser *const m_parser;
    ScpiResponder_HiSLIP *const m_responder; // child
};

} // namespace zo4882
