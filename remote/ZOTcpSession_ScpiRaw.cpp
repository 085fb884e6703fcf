#include "remote/ZOTcpSession_ScpiRaw.h"

#include "remote/QueueError.h"
#include "remote/ScpiResponder_ScpiRaw.h"
#include "remote/ZO4882Parser.h"
#include "remote/ZOFlowControl.h"
#include "remote/ZOScpiMessage.h"

#include <QMutexLocker>
#include <QTcpSocket>
#include <QTimer>

#include <climits>

namespace zo4882 {

ZOTcpSession_ScpiRaw::ZOTcpSession_ScpiRaw(
    QTcpSocket *socket, ZO4882Parser *parser, int drainLimitMs)
    : ZOTcpSession(socket, BufferSize)
    , m_parser(parser)
    , m_drainLimitMs(drainLimitMs)
    , m_input(BufferSize)
    , m_flow(std::make_shared<ZOFlowControl>())
    , m_responder(new ScpiResponder_ScpiRaw(this, socket))
    , m_drain(std::make_shared<DrainHandle>())
{
    m_drain->session = this;
    // Leaving the connected state comes before Qt closes the descriptor on every path but a
    // read that finds the peer gone or an error, where errorOccurred follows at once. The
    // duplicate outlives an end of input: the answers still due go out through it.
    connect(socket, &QTcpSocket::stateChanged, this, [this](QAbstractSocket::SocketState state) {
        if (state != QAbstractSocket::ConnectedState && !m_peerEnded)
            m_responder->closeDirect();
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError)
            m_peerEnded = true;
        else
            m_responder->closeDirect();
    });
    connect(socket, &QTcpSocket::bytesWritten, m_responder, &ScpiResponder_ScpiRaw::resumeDirect);
    // Input held back by the bound of unsent answers resumes as they leave.
    connect(socket, &QTcpSocket::bytesWritten, this, &ZOTcpSession::resumeReceive);
    m_flow->setWakeUp([this] {
        QMetaObject::invokeMethod(this, &ZOTcpSession::resumeReceive, Qt::QueuedConnection);
    });
}

ZOTcpSession_ScpiRaw::~ZOTcpSession_ScpiRaw()
{
    m_flow->close();
    {
        QMutexLocker lock(&m_drain->mutex);
        m_drain->session = nullptr;
    }
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
    const ZOStreamInput::Taken taken = m_input.take(buffer,
        len,
        false,
        inputEnded() ? INT_MAX : m_flow->room(),
        [this, parser](char *at, int n, bool end, int most, int *posted) {
            if (!parser)
                return 0;
            return parser->postReceived(
                at, n, end, INTF_SOCKET, 0, socket(), m_responder, most, posted, m_flow);
        });
    if (taken.overrun)
        queueErrorFrom(INTF_SOCKET, -363, QString());
    return taken.used;
}

bool ZOTcpSession_ScpiRaw::mayReceive() const
{
    return m_flow->mayRead(socket()->bytesToWrite());
}

void ZOTcpSession_ScpiRaw::OnSessionClose()
{
    ZO4882Parser *parser = m_parser ? m_parser : ZO4882Parser::s_pSelf.load();
    // Only while every answer so far went out directly: one left in the socket's buffer was
    // lost with its descriptor, and later ones would arrive out of order.
    if (!m_peerEnded || !parser || !m_responder->sendsDirect()) {
        endDrain();
        return;
    }
    lingerAfterClose();
    // Queued like the messages, so it runs after the last one this session posted; a mark
    // the parser never runs is freed with its event, which releases the handle.
    const std::shared_ptr<DrainHandle> drain = m_drain;
    QMetaObject::invokeMethod(
        parser,
        [drain] {
            onParserDrained(*drain);
        },
        Qt::QueuedConnection);
    QTimer::singleShot(m_drainLimitMs, this, &ZOTcpSession_ScpiRaw::endDrain);
}

void ZOTcpSession_ScpiRaw::onParserDrained(DrainHandle &handle)
{
    QMutexLocker lock(&handle.mutex);
    ZOTcpSession_ScpiRaw *session = handle.session;
    if (!session)
        return;
    // Closing the duplicate sends the end of stream after the answers already sent.
    session->m_responder->closeDirect();
    QMetaObject::invokeMethod(session, &ZOTcpSession_ScpiRaw::endDrain, Qt::QueuedConnection);
}

void ZOTcpSession_ScpiRaw::endDrain()
{
    m_flow->close();
    m_responder->retire();
    m_responder->closeDirect();
    finishLinger();
}

} // namespace zo4882
