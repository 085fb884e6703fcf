#pragma once

#include <QHostAddress>
#include <QObject>

class QUdpSocket;

namespace zostd {

// A UDP datagram service in the thread that creates it (it gets no thread of its own). A
// protocol overrides OnReceive(datagram, ...) and answers through socket().
class ZOUdpService : public QObject
{
    Q_OBJECT

public:
    explicit ZOUdpService(quint16 port, const QHostAddress &address = QHostAddress::Any);
    ~ZOUdpService() override;

    // Binds the port (shared with other sockets that ask for sharing) and starts receiving.
    // Returns 0, or -310 (also queued, with the port in the detail) when it cannot be bound.
    int start();
    // The port asked for; after a successful start the port actually bound.
    quint16 port() const { return m_port; }

public slots:
    // Reads every pending datagram and hands each to the protocol.
    void OnReceive();

protected:
    // One datagram of len bytes (len > 0) from senderHost:senderPort. Base: nothing, 0.
    virtual qint32 OnReceive(
        quint8 *pDatagram, qint32 len, const QHostAddress &senderHost, quint16 senderPort);
    QUdpSocket *socket() const { return m_socket; }

private:
    quint16 m_port;
    const QHostAddress m_address;
    QUdpSocket *const m_socket; // child
};

} // namespace zostd
