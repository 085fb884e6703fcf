#pragma once

#include "remote/ZOMessageSplitter.h"
#include "remote/ZOTcpSession.h"

namespace zo4882 {

class ScpiResponder_ScpiRaw;
class ZO4882Parser;
struct SCPIRESP_T;

// One raw-socket SCPI connection: the byte stream is cut into program messages at the newline
// (definite-length block data stepped over whole) and each is posted to the parser with
// interface type 1 and tag 0; answers come back through the session's responder and leave
// unchanged, one write each (most straight from the parser's thread, see the responder). A message may arrive in any number of pieces; input that fills
// the 4096-byte buffer without a complete message is dropped with -363 and the connection
// stays open. The session never closes the connection itself.
class ZOTcpSession_ScpiRaw : public zostd::ZOTcpSession
{
    Q_OBJECT

public:
    static constexpr int BufferSize = 4096;

    // Listener thread. parser receives the messages (ZO4882Parser::s_pSelf when null, looked
    // up as each message is posted); it must outlive the session.
    ZOTcpSession_ScpiRaw(QTcpSocket *socket, ZO4882Parser *parser = nullptr);
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
    // Retires the responder, so answers still on their way are freed unsent.
    void OnSessionClose() override;

private:
    ZO4882Parser *const m_parser;
    ScpiResponder_ScpiRaw *const m_responder; // child
};

} // namespace zo4882
