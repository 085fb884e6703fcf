#include "remote/ZOTcpSession_ScpiRaw.h"

#include "remote/QueueError.h"
#include "remote/ScpiResponder_ScpiRaw.h"
#include "remote/ZO4882Parser.h"
#include "remote/ZOScpiMessage.h"

#include <QTcpSocket>

namespace zo4882 {

ZOTcpSession_ScpiRaw::ZOTcpSession_ScpiRaw(QTcpSocket *socket, ZO4882Parser *parser)
    : ZOTcpSession(socket, BufferSize)
    , m_parser(parser)
    , m_responder(new ScpiResponder_ScpiRaw(this, socket))
{
    // Leaving the connected state comes before Qt closes the descriptor on every path but a
    // read that finds the peer gone or an error, where errorOccurred follows at once.
    connect(socket, &QTcpSocket::stateChanged, this, [this](QAbstractSocket::SocketState state) {
        if (state != QAbstractSocket::ConnectedState)
            m_responder->closeDirect();
    });
    connect(socket, &QTcpSocket::errorOccurred, m_responder, &ScpiResponder_ScpiRaw::closeDirect);
    connect(socket, &QTcpSocket::bytesWritten, m_responder, &ScpiResponder_ScpiRaw::resumeDirect);
}

ZOTcpSession_ScpiRaw::~ZOTcpSession_ScpiRaw()
{
    m_responder->retire();
    m_responder->closeDirect();
}

bool ZOTcpSession_ScpiRaw::writeAnswer(const SCPIRESP_T &answer)
{
    if (answer.device != socket())
        return false;
    // The answer block outlives the write, which copies the bytes into the socket's buffer.
    return sendAnswer(QByteArray::fromRawData(answer.text(), answer.length)) >= 0;
}

qint64 ZOTcpSession_ScpiRaw::unsentBytes() const
{
    return socket()->bytesToWrite();
}

void ZOTcpSession_ScpiRaw::OnSessionOpen()
{
    if (socket()->state() == QAbstractSocket::ConnectedState)
        m_responder->openDirect(int(socket()->socketDescriptor()));
}

int ZOTcpSession_ScpiRaw::OnDataReceive(const unsigned char *data, int len)
{
    ZO4882Parser *parser = m_parser ? m_parser : ZO4882Parser::s_pSelf.load();
    // The buffer is this session's own; cutting writes a NUL over each terminator it uses up.
    char *buffer = reinterpret_cast<char *>(const_cast<unsigned char *>(data));
    int used = 0;
    if (parser) {
        used = parser->postReceived(buffer, len, false, INTF_SOCKET, 0, socket(), m_responder);
    }
    // A full buffer holding no complete message can never complete: drop it whole.
    if (len - used >= bufferSize()) {
        queueErrorFrom(INTF_SOCKET, -363, QString());
        return len;
    }
    // Control bytes between messages (a lone carriage return, blank lines) are used up too.
    while (used < len && data[used] < 0x20)
        ++used;
    return used;
}

void ZOTcpSession_ScpiRaw::OnSessionClose()
{
    m_responder->retire();
    m_responder->closeDirect();
}

} // namespace zo4882
