#include "commands/CTRL_SINK.h"

#include "remote/IValue.h"
#include "remote/ZO4882ParserAsync.h"
#include "remote/ZOValueManager.h"
#include "remote/ZO_RLST_T.h"

#include <QMutexLocker>

void CTRL_SINK::setRemoteStateSink(RemoteStateSink sink)
{
    QMutexLocker lock(&m_mutex);
    m_remoteStateSink = std::move(sink);
}

void CTRL_SINK::OnDeviceClear() const
{
    // Under the registry's mutex like every value change; the parser's abort was raised before,
    // so a setting running under it ends and the wait is short (lock order: ZOValueManager.h).
    if (zostd::ZOValueManager *registry = zostd::ZOValueManager::s_pSelf) {
        if (zostd::IValue *abort = registry->find(AbortValueId)) {
            QMutexLocker lock(registry->getMutex());
            abort->commit();
        }
    }
    zo4882::_IFCTRL_SINK::OnDeviceClear();
}

void CTRL_SINK::OnControlREN(int on) const
{
    if (!on)
        OnControlRemote(0);
}

void CTRL_SINK::OnControlLLO() const { }

void CTRL_SINK::OnControlRemote(int remote) const
{
    RemoteStateSink sink;
    {
        QMutexLocker lock(&m_mutex);
        sink = m_remoteStateSink;
    }
    if (sink)
        sink(remote != 0);
}

int CTRL_SINK::requestRTL()
{
    if (!zo4882::s_rlst.remote.load() || zo4882::s_rlst.localLockout.load())
        return 0;
    return zo4882::ZO4882ParserAsync::postControl(
               zo4882::CTL488_GO_LOCAL, 0, zo4882::INTF_PANEL, nullptr)
        ? 1
        : 0;
}
