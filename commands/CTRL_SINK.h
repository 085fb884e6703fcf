#pragma once

#include "remote/_IFCTRL_SINK.h"

#include <QMutex>

#include <functional>

// The instrument's answers to control events. One object, made by the remote start-up and
// handed to the control-message handler; lives for the whole run.
class CTRL_SINK : public zo4882::_IFCTRL_SINK
{
public:
    // Told the new remote state (the main window's remoteStateChanged, which locks or unlocks
    // the panel keys); called in the control-message handler's thread, so it must only post.
    using RemoteStateSink = std::function<void(bool remote)>;

    // The action value that aborts the transient, the acquisition, the pulse and the sine.
    static constexpr unsigned AbortValueId = 2001;

    void setRemoteStateSink(RemoteStateSink sink);

    // Runs the abort action (so the running operations stop and their waits end with them),
    // then the base's end of the *OPC? and *WAI waits.
    void OnDeviceClear() const override;
    // Remote enable off while remote reports local, as OnControlRemote(0).
    void OnControlREN(int on) const override;
    void OnControlLLO() const override;
    void OnControlRemote(int remote) const override;
    // The LOCAL key: when remote and not locked out, posts go-to-local and returns 1; else 0.
    int requestRTL() override;

private:
    mutable QMutex m_mutex; // guards m_remoteStateSink
    RemoteStateSink m_remoteStateSink;
};
