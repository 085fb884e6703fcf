#include "remote/ZOUdpService.h"

#include "remote/QueueError.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

namespace zostd {

ZOUdpService::ZOUdpService(quint16 port, const QHostAddress &address)
    : m_port(port)
    , m_address(address)
    , m_socket(new QUdpSocket(this))
{ }

ZOUdpService::~ZOUdpService() = default;

int ZOUdpService::start()
{
    if (m_socket->state() == QAbstractSocket::BoundState)
        return 0;
    if (!m_socket->bind(m_address, m_port, QUdpSocket::ShareAddress)) {
        zo4882::queueError(
            -310, QStringLiteral("UDP port %1: %2").arg(m_port).arg(m_socket->errorString()));
        return -310;
    }
    m_port = m_socket->localPort();
    connect(m_socket,
        &QUdpSocket::readyRead,
        this,
        static_cast<void (ZOUdpService::*)()>(&ZOUdpService::OnReceive));
    return 0;
}

void ZOUdpService::OnReceive()
{
    // All of them: a notification may stand for several datagrams.
    while (m_socket->hasPendingDatagrams()) {
        QNetworkDatagram datagram = m_socket->receiveDatagram();
        QByteArray data = datagram.data();
        if (!data.isEmpty()) {
            OnReceive(reinterpret_cast<quint8 *>(data.data()),
                data.size(),
                datagram.senderAddress(),
                quint16(datagram.senderPort()));
        }
    }
}

qint32 ZOUdpService::OnReceive(quint8 *, qint32, const QHostAddress &, quint16)
{
    return 0;
}

} // namespace zostd
