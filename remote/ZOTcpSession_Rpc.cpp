#include "remote/ZOTcpSession_Rpc.h"

#include "remote/ZORpc.h"

namespace zostd {

ZOTcpSession_Rpc::ZOTcpSession_Rpc(QTcpSocket *socket, int bufferSize)
    : ZOTcpSession(socket, bufferSize)
{ }

void ZOTcpSession_Rpc::sendRecord(const QByteArray &body)
{
    sendAnyThread(rpc::withRecordMark(body));
}

int ZOTcpSession_Rpc::OnDataReceive(const unsigned char *data, int len)
{
    const int used = rpc::takeRecord(data, len, bufferSize() - 4, &m_record);
    if (used <= 0)
        return used;
    const QByteArray reply =
        answerCall(reinterpret_cast<const unsigned char *>(m_record.constData()), m_record.size());
    if (!reply.isEmpty())
        sendRecord(reply);
    return used;
}

int ZOTcpSession_Rpc::OnBufferFull(const unsigned char *, int)
{
    return -1;
}

} // namespace zostd
