#pragma once

#include "remote/ZOStreamInput.h"
#include "remote/ZOTcpSession.h"

#include <QMutex>

#include <memory>

namespace zo4882 {

class ScpiResponder_ScpiRaw;
class ZO4882Parser;
class ZOFlowControl;
struct SCPIRESP_T;

// One raw-socket SCPI connection: the byte stream is cut into program messages at the newline
// (definite-length block data stepped over whole) and each is posted to the parser with
// interface type 1 and tag 0; answers come back through the session's responder and leave
// unchanged, one write each (most straight from the parser's thread, see the responder). A
// message may arrive in any number of pieces; input that fills the 4096-byte buffer without a
// complete message is dropped with -363, and so is the rest of that message (ZOStreamInput);
// the connection stays open. The session never closes the connection itself.
//
// Flow control (ZOFlowControl): while the session has its bound of messages in the parser, or
// more than its bound of answer bytes not yet sent, it reads nothing, so TCP holds the client
// back; when the session closes, its messages still queued are dropped.
//
// A client that ends its sending side and waits for its answers (shutdown for writing right
// after the queries) still gets them: the session lingers until the parser has handled what it
// posted (a mark queued behind the messages) or drainLimitMs passed, then the connection closes.
class ZOTcpSession_ScpiRaw : public zostd::ZOTcpSession
{
    Q_OBJECT

public:
    static constexpr int BufferSize = 4096;

    // Listener thread. parser receives the messages (ZO4882Parser::s_pSelf when null, looked
    // up as each message is posted); it must outlive the session.
    // drainLimitMs bounds the wait for answers after the peer ended its sending side.
    ZOTcpSession_ScpiRaw(
        QTcpSocket *socket, ZO4882Parser *parser = nullptr, int drainLimitMs = 2000);
    ~ZOTcpSession_ScpiRaw() override;

    // Session thread (the responder). Writes the answer's bytes to this connection when the
    // answer names it as its device; false when it does not or the connection is gone.
    bool writeAnswer(const SCPIRESP_T &answer);
    // Session thread: bytes written to the socket and not yet handed to the kernel.
    qint64 unsentBytes() const;

protected:
    // Lets the responder send answers straight from the parser's thread.
    void OnSessionOpen() override;
    int OnDataReceive(const unsigned char *data, int len) override;
    bool mayReceive() const override;
    // Retires the responder, so answers still on their way are freed unsent; after the peer
    // ended its sending side, first lets the answers to what it sent go out directly.
    void OnSessionClose() override;

private:
    // Lets the parser's thread reach a lingering session; the session clears it when destroyed.
    struct DrainHandle
    {
        QMutex mutex; // guards session; taken before the responder's direct mutex
        ZOTcpSession_ScpiRaw *session = nullptr;
    };

    // Parser thread, after every message the session posted: no more answers go out.
    static void onParserDrained(DrainHandle &handle);
    // Session thread: retires the responder and ends the lingering.
    void endDrain();

    ZO4882Parser *const m_parser;
    const int m_drainLimitMs;
    ZOStreamInput m_input;
    const std::shared_ptr<ZOFlowControl> m_flow;
    ScpiResponder_ScpiRaw *const m_responder; // child
    const std::shared_ptr<DrainHandle> m_drain;
    bool m_peerEnded = false; // the peer ended its sending side (or reset the connection)
};

} // namespace zo4882
