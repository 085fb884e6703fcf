#pragma once

#include "remote/ZOOverrunDiscard.h"

#include "remote/ZOTcpSession.h"

#include <memory>

namespace zo4882 {

class ScpiResponder_ScpiTelnet;
class ZO4882Parser;
class ZOFlowControl;
struct SCPIRESP_T;

// One telnet console connection. It greets with the welcome text and the prompt, edits what
// the user types (ZOTelnetInput: backspace, erase character and erase line; option
// negotiation consumed), and once a line end arrives posts each complete program message to
// the parser with interface type 2; the parser sends every answer and then "\r" and the prompt.
// ETX (0x03) or the client's interrupt as the first byte of a line closes the connection; ETX
// after other characters stays in the line. The server sends no telnet commands and no echo.
// Input that fills the 4096-byte buffer without a complete message is dropped with -363. A
// client that never reads its answers is held back by its own connection (ZOFlowControl).
class ZOTcpSession_ScpiTelnet : public zostd::ZOTcpSession
{
    Q_OBJECT

public:
    static constexpr int BufferSize = 4096;

    // Listener thread. parser as ZOTcpSession_ScpiRaw's; it must outlive the session.
    explicit ZOTcpSession_ScpiTelnet(QTcpSocket *socket, ZO4882Parser *parser = nullptr);
    ~ZOTcpSession_ScpiTelnet() override;

    // Session thread (the responder). Writes the answer's bytes when it names this connection
    // as its device; false when it does not or the connection is gone.
    bool writeAnswer(const SCPIRESP_T &answer);

protected:
    // Writes the greeting: the welcome text, CR LF and the prompt of the preferences.
    void OnSessionOpen() override;
    int OnDataReceive(const unsigned char *data, int len) override;
    int OnBufferFull(const unsigned char *data, int len) override;
    // Holds the input while the session has its bound of messages queued or of answers unsent.
    bool mayReceive() const override;
    void OnSessionClose() override;

private:
    ZO4882Parser *const m_parser;
    ScpiResponder_ScpiTelnet *const m_responder; // child
    int m_edited = 0; // bytes at the front of the buffer that are edited text
    ZOOverrunDiscard m_discard; // the rest of a message refused for overrun
    const std::shared_ptr<ZOFlowControl> m_flow; // shared with the messages posted
};

} // namespace zo4882
