#include "remote/ZO4882ParserAsync.h"

#include "remote/ZO4882Parser.h"
#include "remote/ZO_RLST_T.h"
#include "remote/_IFCTRL_SINK.h"

#include <QThread>

#include <new>

namespace zo4882 {

ZO_RLST_T s_rlst;

std::atomic<ZO4882ParserAsync *> ZO4882ParserAsync::s_pSelf { nullptr };

namespace {

// postControl() calls that may still hold the handler they loaded from s_pSelf.
std::atomic<int> s_controlPosting { 0 };

} // namespace

ZO4882ParserAsync::ZO4882ParserAsync(ZO4882Parser *parser, _IFCTRL_SINK *sink)
    : m_parser(parser)
    , m_sink(sink)
    , m_thread(std::make_unique<QThread>())
{
    qRegisterMetaType<const CTL488MSG_T *>();
    s_pSelf.store(this);
    connect(this,
        &ZO4882ParserAsync::posted,
        this,
        &ZO4882ParserAsync::OnMsgPost,
        Qt::QueuedConnection);
    m_thread->setObjectName(QStringLiteral("ZO4882ParserAsync"));
    if (m_parser) {
        m_parser->setPostHook([](const SCPIMSG_T &message) {
            if (s_rlst.remoteEnable.load() && !s_rlst.remote.load())
                postControl(CTL488_GO_REMOTE, 0, message.intf, nullptr);
        });
    }
    moveToThread(m_thread.get());
    m_thread->start(QThread::InheritPriority);
}

ZO4882ParserAsync::~ZO4882ParserAsync()
{
    ZO4882ParserAsync *self = this;
    s_pSelf.compare_exchange_strong(self, nullptr);
    // Posters that saw the handler finish queueing; later ones free their own record.
    while (s_controlPosting.load() != 0)
        QThread::yieldCurrentThread();
    m_stopping.store(true);
    while (m_posting.load() != 0)
        QThread::yieldCurrentThread();
    // Runs behind every record queued so far, which OnMsgPost frees unhandled.
    QMetaObject::invokeMethod(
        this, [] {}, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

CTL488MSG_T *ZO4882ParserAsync::createControlMessage(
    CTL488_MSG_TYPES type, unsigned tag, INTF_TYPE_ENUM intf, void *device)
{
    return new (std::nothrow) CTL488MSG_T { intf, tag, device, type };
}

void ZO4882ParserAsync::post(const CTL488MSG_T *msg)
{
    if (!msg)
        return;
    m_posting.fetch_add(1);
    if (m_stopping.load())
        delete msg;
    else
        Q_EMIT posted(msg);
    m_posting.fetch_sub(1);
}

bool ZO4882ParserAsync::postControl(
    CTL488_MSG_TYPES type, unsigned tag, INTF_TYPE_ENUM intf, void *device)
{
    s_controlPosting.fetch_add(1);
    ZO4882ParserAsync *handler = s_pSelf.load();
    CTL488MSG_T *msg = handler ? createControlMessage(type, tag, intf, device) : nullptr;
    if (msg)
        handler->post(msg);
    s_controlPosting.fetch_sub(1);
    return msg != nullptr;
}

void ZO4882ParserAsync::OnMsgPost(const CTL488MSG_T *pMsg)
{
    const std::unique_ptr<const CTL488MSG_T> msg(pMsg);
    if (m_stopping.load())
        return;
    handle(*msg);
    Q_EMIT handled(msg->type);
}

void ZO4882ParserAsync::handle(const CTL488MSG_T &msg)
{
    switch (msg.type) {
    case CTL488_DEVICE_CLEAR:
        if (m_parser)
            m_parser->deviceClear();
        if (m_sink)
            m_sink->OnDeviceClear();
        break;
    case CTL488_REN_ON: {
        const bool wasOn = s_rlst.remoteEnable.exchange(1) != 0;
        if (!wasOn && m_sink)
            m_sink->OnControlREN(1);
        break;
    }
    case CTL488_REN_OFF: {
        const bool wasRemote = s_rlst.remote.exchange(0) != 0;
        s_rlst.remoteEnable.store(0);
        s_rlst.localLockout.store(0);
        if (wasRemote && m_sink)
            m_sink->OnControlREN(0);
        break;
    }
    case CTL488_LOCAL_LOCKOUT:
        if (s_rlst.remoteEnable.load())
            s_rlst.localLockout.store(1);
        if (m_sink)
            m_sink->OnControlLLO();
        break;
    case CTL488_GO_REMOTE:
        // Without remote enable the instrument stays local, and the sink hears nothing: telling
        // it "remote" would lock the panel with no way back through the LOCAL key.
        if (s_rlst.remoteEnable.load() && s_rlst.remote.exchange(1) == 0 && m_sink)
            m_sink->OnControlRemote(1);
        break;
    case CTL488_GO_LOCAL: {
        const bool wasRemote = s_rlst.remote.exchange(0) != 0;
        if (wasRemote && m_sink)
            m_sink->OnControlRemote(0);
        break;
    }
    }
}

} // namespace zo4882
