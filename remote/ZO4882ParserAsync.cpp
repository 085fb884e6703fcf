#include "remote/ZO4882ParserAsync.h"

#include "remote/ZO4882Parser.h"
#include "remote/ZO_RLST_T.h"
#include "remote/_IFCTRL_SINK.h"

#include <QThread>

#include <new>

namespace zo4882 {

ZO_RLST_T s_rlst;

ZO4882ParserAsync *ZO4882ParserAsync::s_pSelf = nullptr;

ZO4882ParserAsync::ZO4882ParserAsync(ZO4882Parser *parser, _IFCTRL_SINK *sink)
    : m_parser(parser)
    , m_sink(sink)
    , m_thread(std::make_unique<QThread>())
{
    qRegisterMetaType<const CTL488MSG_T *>();
    s_pSelf = this;
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
    if (s_pSelf == this)
        s_pSelf = nullptr;
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
    if (msg)
        Q_EMIT posted(msg);
}

bool ZO4882ParserAsync::postControl(
    CTL488_MSG_TYPES type, unsigned tag, INTF_TYPE_ENUM intf, void *device)
{
    ZO4882ParserAsync *handler = s_pSelf;
    if (!handler)
        return false;
    CTL488MSG_T *msg = createControlMessage(type, tag, intf, device);
    if (!msg)
        return false;
    handler->post(msg);
    return true;
}

void ZO4882ParserAsync::OnMsgPost(const CTL488MSG_T *pMsg)
{
    const std::unique_ptr<const CTL488MSG_T> msg(pMsg);
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
