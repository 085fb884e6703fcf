#pragma once

#include "remote/ZOTcpSession.h"

#include <QByteArray>

namespace zostd {

// A connection of an ONC-RPC service over TCP: calls are cut out of the stream by their record
// marks (any number per read, each in any number of pieces and fragments) and handed to the
// protocol one record at a time. A record that cannot fit the buffer ends the connection: the
// stream has no other place to resume.
class ZOTcpSession_Rpc : public ZOTcpSession
{
    Q_OBJECT

public:
    ZOTcpSession_Rpc(QTcpSocket *socket, int bufferSize);

protected:
    // One call record; returns the reply body to send now (without record mark), or empty.
    virtual QByteArray answerCall(const unsigned char *record, int len) = 0;
    // Any thread: sends a reply body in one record, record mark and body in one write (see
    // sendAnyThread()).
    void sendRecord(const QByteArray &body);

    int OnDataReceive(const unsigned char *data, int len) override;
    int OnBufferFull(const unsigned char *data, int len) override;

private:
    QByteArray m_record; // the call being answered, kept to spare an allocation per call
};

} // namespace zostd
