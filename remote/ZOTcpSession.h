#pragma once

#include <QByteArray>
#include <QMutex>
#include <QObject>

#include <memory>

class QTcpSocket;

namespace zostd {

// One accepted TCP connection, running in a thread of its own (made by ZOTcpService). Received
// bytes gather in a fixed buffer of bufferSize bytes and are handed to the protocol's frame
// decoder OnDataReceive(). Socket, buffer and everything the subclass keeps are touched only in
// the session thread; other threads answer through answerPort() or sendAnyThread().
//
// Lifecycle: thread started (buffer allocated) -> receiving -> closed (peer disconnect, decoder
// result below 0, or the service stopping; OnSessionClose() runs exactly once) -> lingering,
// when OnSessionClose() asked for it -> deleted in its own thread when that thread ends.
class ZOTcpSession : public QObject
{
    Q_OBJECT

public:
    // Thread-safe way to hand answers to a session: holders keep the port, never the session,
    // so a session that has ended is noticed instead of touched after it was freed.
    class AnswerPort
    {
    public:
        // Any thread. Queues the answer for one write in the session thread; false when the
        // session has already closed (the answer is dropped).
        bool post(const QByteArray &answer);
        // Any thread. Queues resumeReceive() in the session thread, for input that mayReceive()
        // held back; false when the session has already closed.
        bool resume();

    private:
        friend class ZOTcpSession;
        QMutex m_mutex; // guards m_session, cleared by the session when it closes
        ZOTcpSession *m_session = nullptr;
    };

    // Takes ownership of the socket (it becomes a child). bufferSize is the protocol's fixed
    // receive buffer, in bytes. Called by the service subclass in the listener thread.
    ZOTcpSession(QTcpSocket *socket, int bufferSize);
    ~ZOTcpSession() override;

    int bufferSize() const { return m_bufferSize; }
    std::shared_ptr<AnswerPort> answerPort() const { return m_answerPort; }

signals:
    // The session has closed; its thread quits (connected directly, QThread::quit is
    // thread-safe) and the session is deleted when the thread ends.
    void finished();
    // Emitted from any thread (the LAN configuration reset); OnLciActivate() runs queued in
    // the session thread.
    void lciActivated();

public slots:
    void OnThreadStart();
    void OnClose();
    void OnReceive();
    // Reads and decodes again after mayReceive() had stopped it, also the bytes already held.
    void resumeReceive();
    virtual void OnLciActivate();
    // Connected directly to the session thread's finished(): closes a session that is still
    // open (the service is stopping) and schedules the deletion.
    void OnThreadFinish();

protected:
    // The frame decoder, called with the start of the buffer and the fill count. Returns the
    // number of bytes used at the front of the buffer (> 0), 0 to keep everything and wait for
    // more, or < 0 to close the connection. It may lower the fill count with setFillCount().
    // It is called again without new bytes while it used some and bytes remain.
    virtual int OnDataReceive(const unsigned char *data, int len) = 0;
    // Runs once in the session thread when it starts, before the first bytes are decoded.
    // Base: nothing.
    virtual void OnSessionOpen();
    // The protocol's clean-up; runs once, in the session thread, when the session closes.
    virtual void OnSessionClose() = 0;
    // Called when the buffer is full and the decoder used nothing: no further byte could be read
    // and the socket would never signal again. Returns the bytes to drop at the front (at least
    // one is dropped), or < 0 to close. Base: the whole buffer, so reading goes on.
    virtual int OnBufferFull(const unsigned char *data, int len);
    // Asked before every read and decode: false holds the input where it is (the socket's own
    // buffer fills and the peer is pushed back) until resumeReceive(). Not asked once the
    // input has ended (the connection closing): what is held is decoded then. Base: true.
    virtual bool mayReceive() const;
    // The connection is closing: the decoder is offered the last of the input, all of it.
    bool inputEnded() const { return m_inputEnded; }

    // Session thread. One socket write per answer, sent at once (the socket has TCP_NODELAY).
    // Returns the bytes queued, or -1 when the connection is gone.
    qint64 sendAnswer(const QByteArray &answer);
    // Any thread, for protocols whose answers are made elsewhere (the parser's thread): once
    // openDirect() ran, the message leaves at once as one non-blocking send on the session's own
    // duplicate of the socket's descriptor, while nothing waits in the socket; otherwise, and
    // after a partial send, sendAnswer() writes it in the session thread, in order, until the
    // socket has written everything out. Callers may hold their own locks: see m_directMutex.
    void sendAnyThread(const QByteArray &message);
    // Session thread, once the connection is up: sendAnyThread() may send directly from now on.
    void openDirect();
    // Any thread: nothing leaves directly any more; the duplicate descriptor is closed. Called
    // by the session when it closes, and by a protocol before it closes the socket itself.
    void closeDirect();

    // Session thread. Closes the connection after pending answers went out; ends the session.
    void closeConnection();
    // Session thread, from OnSessionClose(): the thread keeps running after the close (nothing
    // more is read or written through the socket) until finishLinger() or the service stopping.
    void lingerAfterClose() { m_lingering = true; }
    // Session thread: ends a lingering session's thread; nothing otherwise.
    void finishLinger();

    QTcpSocket *socket() const { return m_socket; }
    int fillCount() const { return m_fill; }
    // Only lowers: a decoder that edits the held bytes in place (line editing) drops the tail.
    void setFillCount(int fill);

private:
    // Reads and decodes until the socket is drained or stuck; fresh: held bytes not yet offered.
    void receive(bool fresh);
    void endSession();
    void detachAnswerPort();
    // Session thread, when the socket's write buffer may have drained: direct sending resumes
    // once no queued message is left and the socket holds no unsent bytes.
    void resumeDirect();

    QTcpSocket *const m_socket;
    const int m_bufferSize;
    std::unique_ptr<unsigned char[]> m_buffer; // allocated in the session thread, not cleared
    int m_fill = 0; // bytes held at the front of m_buffer
    bool m_closing = false; // closeConnection() ran: nothing more is decoded
    bool m_inputEnded = false; // the connection is closing: mayReceive() no longer holds input
    bool m_closed = false;
    bool m_lingering = false; // closed, and the thread waits for finishLinger()
    const std::shared_ptr<AnswerPort> m_answerPort;

    // Guards m_descriptor, m_direct and m_queued. Taken inside the locks a protocol holds while
    // it sends (HiSLIP's table mutex, a responder's link mutex, VXI-11's link states), never
    // the other way round.
    QMutex m_directMutex;
    int m_descriptor = -1; // own duplicate of the socket's descriptor, -1 once closed
    bool m_direct = false; // messages may be sent at once on m_descriptor
    int m_queued = 0; // messages handed to the session thread and not yet written
};

} // namespace zostd
