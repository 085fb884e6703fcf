#include "remote/ZOTcpSession_ScpiTelnet.h"

#include "remote/IPreferenceInfo.h"
#include "remote/ScpiResponder_ScpiTelnet.h"
#include "remote/ZO4882Parser.h"
#include "remote/ZOFlowControl.h"
#include "remote/ZOInputLimit.h"
#include "remote/ZOScpiMessage.h"
#include "remote/ZOTcpService_ScpiTelnet.h"
#include "remote/ZOTelnetInput.h"

#include <QTcpSocket>

#include <algorithm>
#include <climits>

namespace zo4882 {

namespace {
constexpr unsigned char ETX = 0x03;
} // namespace

ZOTcpSession_ScpiTelnet::ZOTcpSession_ScpiTelnet(QTcpSocket *socket, ZO4882Parser *parser)
    : ZOTcpSession(socket, BufferSize)
    , m_parser(parser)
    , m_responder(new ScpiResponder_ScpiTelnet(this))
    , m_flow(std::make_shared<ZOFlowControl>())
{
    // Input held back by the bound of unsent answers resumes as they leave, and input held back
    // by the bound of queued messages as the parser works through them.
    connect(socket, &QTcpSocket::bytesWritten, this, &ZOTcpSession::resumeReceive);
    m_flow->setWakeUp([this] {
        QMetaObject::invokeMethod(this, &ZOTcpSession::resumeReceive, Qt::QueuedConnection);
    });
}

ZOTcpSession_ScpiTelnet::~ZOTcpSession_ScpiTelnet()
{
    m_flow->close();
    m_responder->retire();
}

bool ZOTcpSession_ScpiTelnet::writeAnswer(const SCPIRESP_T &answer)
{
    if (answer.device != socket())
        return false;
    return sendAnswer(QByteArray::fromRawData(answer.text(), answer.length)) >= 0;
}

void ZOTcpSession_ScpiTelnet::OnSessionOpen()
{
    // Written here rather than in the listener thread: the socket belongs to this thread now.
    const zostd::IPreferenceInfo *preferences = ZOTcpService_ScpiTelnet::s_pPI.load();
    if (!preferences)
        preferences = zostd::getInterface_IPreferenceInfo();
    if (!preferences)
        return;
    const QString greeting =
        QStringLiteral("%1\r\n%2")
            .arg(preferences->getTelnetWelcomeMessage(), preferences->getTelnetPrompt());
    sendAnswer(greeting.toLatin1());
}

int ZOTcpSession_ScpiTelnet::OnDataReceive(const unsigned char *data, int len)
{
    unsigned char *buffer = const_cast<unsigned char *>(data);
    m_edited = std::min(m_edited, len);
    const int held = ZOTelnetInput::edit(buffer, &m_edited, len);
    setFillCount(held);
    if (m_edited > 0 && buffer[0] == ETX)
        return -1;

    // The rest of a message refused for overrun never runs: its bytes go through its end.
    int skipped = 0;
    if (m_discard.active()) {
        skipped = m_discard.skip(reinterpret_cast<const char *>(buffer), m_edited, false);
        m_edited -= skipped;
        if (m_discard.active())
            return skipped;
        buffer += skipped;
    }
    const int rest = held - skipped;

    int used = 0;
    const bool lineEnd = std::any_of(buffer, buffer + m_edited, [](unsigned char c) {
        return c == '\r' || c == '\n';
    });
    ZO4882Parser *parser = m_parser ? m_parser : ZO4882Parser::s_pSelf.load();
    const int most = inputEnded() ? INT_MAX : m_flow->room();
    int posted = 0;
    if (lineEnd && parser && most > 0) {
        used = parser->postReceived(reinterpret_cast<char *>(buffer),
            m_edited,
            false,
            INTF_TELNET,
            0,
            socket(),
            m_responder,
            most,
            &posted,
            m_flow);
    }
    // A full buffer is an overrun only when no complete line waits in it: lines held back by
    // the session's bound of queued messages go out as the parser works through them.
    const bool heldByBound = lineEnd && posted >= most;
    if (!heldByBound && ZOInputLimit::overrun(INTF_TELNET, rest, used, bufferSize())) {
        m_discard.begin(reinterpret_cast<const char *>(buffer) + used, rest - used);
        m_edited = 0;
        return held;
    }
    // Line ends between messages are used up too, but not an ETX that starts the next line.
    if (lineEnd)
        used = ZOInputLimit::skipControls(buffer, used, m_edited, ETX);
    m_edited -= used;
    return skipped + used;
}

bool ZOTcpSession_ScpiTelnet::mayReceive() const
{
    return m_flow->mayRead(socket()->bytesToWrite());
}

int ZOTcpSession_ScpiTelnet::OnBufferFull(const unsigned char *data, int len)
{
    m_edited = 0;
    return ZOTcpSession::OnBufferFull(data, len);
}

void ZOTcpSession_ScpiTelnet::OnSessionClose()
{
    m_flow->close();
    m_responder->retire();
}

} // namespace zo4882
