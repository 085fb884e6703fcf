#pragma once

#include <QHostAddress>
#include <QObject>

#include <atomic>
#include <map>
#include <memory>

class QTcpServer;
class QTcpSocket;
class QThread;

namespace zostd {

class ZOTcpSession;

// A TCP listener in a thread of its own; every accepted connection gets a session from the
// protocol subclass and a new thread. A protocol overrides createProtocolSpecificSession() to
// construct its session around the socket, and nothing else.
//
// Each session costs a thread and a few descriptors, so the sessions are bounded: a connection
// beyond maxSessions, or one whose thread or descriptors cannot be had, is closed at once and
// the program goes on. When accepting fails for want of descriptors, accepting pauses and
// resumes after acceptRetryMs.
//
// Threads: start() and stop() are called by the owner (the thread that created the service);
// OnConnect() and createProtocolSpecificSession() run in the listener thread. The service
// owns the listener thread and every session thread and stops them all in stop().
class ZOTcpService : public QObject
{
    Q_OBJECT

public:
    // Bytes the socket itself buffers beyond a session's own buffer.
    static constexpr qint64 SocketReadBufferSize = 1024;
    static constexpr int DefaultMaxSessions = 32;
    static constexpr int DefaultAcceptRetryMs = 100;
    // Descriptors that must be free before a session's thread starts: its event loop takes one
    // or two, and Qt ends the whole program when it finds none.
    static constexpr int SessionDescriptorReserve = 8;

    // Port 0 asks the system for a free port (see port()).
    explicit ZOTcpService(quint16 port,
        const QHostAddress &address = QHostAddress::Any,
        int maxSessions = DefaultMaxSessions,
        int acceptRetryMs = DefaultAcceptRetryMs);
    // Stops the service. A subclass calls stop() in its own destructor, so that no connection
    // is accepted while only the base part is left.
    ~ZOTcpService() override;

    // Owner thread. Listens and starts the listener thread. Returns 0, or -310 (also queued,
    // with the port in the detail) when the port cannot be bound; then nothing runs.
    int start();
    // Owner thread. Closes the listener, closes every session (each protocol's clean-up runs)
    // and waits for all their threads. Afterwards the service is back in the owner's thread and
    // may be started again.
    void stop();

    // The port asked for; after a successful start the port actually bound.
    quint16 port() const { return m_port.load(); }
    bool isListening() const { return m_listening.load(); }
    // Sessions whose threads are still running. Any thread.
    int sessionCount() const { return m_sessionCount.load(); }
    int maxSessions() const { return m_maxSessions; }
    // Connections closed at once since start(): beyond the limit or without resources. Any thread.
    int refusedCount() const { return m_refusedCount.load(); }

public slots:
    // Connected to the server's newConnection(); listener thread.
    virtual void OnConnect();

protected:
    // Listener thread. Constructs the protocol's session around the accepted socket (a null
    // result refuses the connection).
    virtual ZOTcpSession *createProtocolSpecificSession(QTcpSocket *socket) = 0;

private:
    // Listener thread: a session for the socket in a thread of its own; false when the socket
    // was refused (and freed).
    bool startSession(QTcpSocket *socket);
    void refuse(QTcpSocket *socket);
    void onAcceptError();
    void shutdownInListener();
    void reapSession(quint64 key);

    const QHostAddress m_address;
    const int m_maxSessions;
    const int m_acceptRetryMs;
    std::atomic<int> m_refusedCount { 0 };
    std::atomic<quint16> m_port;
    std::atomic<bool> m_listening { false };
    std::atomic<int> m_sessionCount { 0 };
    QThread *m_ownerThread = nullptr;
    std::unique_ptr<QThread> m_listenerThread; // owned and stopped by the owner thread
    QTcpServer *m_server = nullptr; // child; lives in the listener thread while it runs
    // Session threads by key, touched only in the listener thread. Keys, not pointers, travel
    // in queued reap calls, so a call that arrives after stop() finds nothing.
    std::map<quint64, QThread *> m_sessionThreads;
    quint64 m_nextKey = 0;
};

} // namespace zostd
