#pragma once

#include <QObject>

#include <atomic>
#include <memory>

namespace zo4882 {

class ZOScpiResponderLink;
struct SCPIRESP_T;

// Where the parser's answers for one transport session go. Each transport derives its own and
// implements OnRespSend and OnSrqRaise, which the base calls in the responder's own thread;
// nothing needs connecting. Answers travel as queued events that own their record: when the
// responder is destroyed first, Qt drops the events and the records are freed with them.
class ZOScpiResponder : public QObject
{
    Q_OBJECT

public:
    static constexpr quint32 MAGIC_VALID = 0x12345678u;
    static constexpr quint32 MAGIC_DEAD = 0xDEADBEEFu;

    explicit ZOScpiResponder(QObject *parent = nullptr);
    ~ZOScpiResponder() override;

    // True once the responder has been retired or destroyed (validity word not MAGIC_VALID).
    bool isBadMagic() const { return m_magic.load() != MAGIC_VALID; }
    // The handle that program messages carry (createScpiMessage copies it).
    const std::shared_ptr<ZOScpiResponderLink> &link() const { return m_link; }

    // Stops all further deliveries; answers still queued are freed unsent. The destructor does
    // it; a subclass whose OnRespSend uses members it tears down calls it first in its own.
    void retire();

protected:
    // Takes ownership of the answer (free it with freeScpiResponse); never null.
    virtual void OnRespSend(SCPIRESP_T *response) = 0;
    // A service request with the status byte stb.
    virtual void OnSrqRaise(unsigned char stb) = 0;
    // Called in the posting thread, under the link's mutex (so the responder is alive and not
    // retired), before the answer is queued. Returns true when it took the answer (sent and
    // freed it); false leaves it to the queued OnRespSend. Base: false.
    virtual bool OnRespSendNow(SCPIRESP_T *response);

    bool event(QEvent *event) override;

private:
    friend class ZOScpiResponderLink;
    void enqueueResponse(SCPIRESP_T *response);
    void enqueueSrq(unsigned char stb);

    const std::shared_ptr<ZOScpiResponderLink> m_link;
    std::atomic<quint32> m_magic { MAGIC_VALID };
};

} // namespace zo4882
