#pragma once

#include <QHostAddress>
#include <QObject>
#include <QThread>

#include <atomic>

class QTcpSocket;

namespace zo4882 {

class Vxi11LinkTable;

// The VXI-11 interrupt channel: a TCP connection the instrument opens to the client after
// create_intr_chan, over which it calls device_intr_srq (program 395185 version 1, procedure
// 30, one call per link with service requests enabled, carrying that link's handle; the
// transaction ids count up from 1). At most one exists. It runs in a thread of its own, so it
// outlives the core connection that created it; the owner is the class itself (create/destroy
// from any thread but its own).
//
// Service requests are gated: one is sent, and the next only after device_readstb read the
// request bit (s_rqs in ZOTcpSession_Vxi11Core).
class ZOVxi11_SRQ : public QObject
{
    Q_OBJECT

public:
    static constexpr quint32 Program = 395185;
    static constexpr quint32 Version = 1;
    static constexpr quint32 ProcIntrSrq = 30;

    // VXI-11 error: 0, or 29 when a channel exists.
    static int create(const QHostAddress &host, quint16 port, Vxi11LinkTable *links);
    // VXI-11 error: 0, or 6 when there is none.
    static int destroy();
    static bool exists();
    // Any thread (it only posts): sends one service request when a channel exists.
    static void srq();
    // Transaction id of the last call sent.
    static quint32 lastXid() { return s_xid.load(); }

signals:
    void srqed();

private slots:
    void OnSRQ();

private:
    ZOVxi11_SRQ(const QHostAddress &host, quint16 port, Vxi11LinkTable *links);
    void connectToClient();

    const QHostAddress m_host;
    const quint16 m_port;
    Vxi11LinkTable *const m_links;
    QTcpSocket *m_socket = nullptr; // child, made in the channel's thread
    static std::atomic<quint32> s_xid;
};

} // namespace zo4882
