#pragma once

namespace zo4882 {

// What the instrument does on control events. Every operation but requestRTL() runs in the
// control-message handler's thread, after the remote/local state has changed.
class _IFCTRL_SINK
{
public:
    virtual ~_IFCTRL_SINK() = default;

    // After the parser's share of the device clear (queued messages discarded, the running one
    // stopped at its next unit): ends the waits of *OPC? and *WAI.
    virtual void OnDeviceClear() const;
    // Remote enable switched on (1) or, while remote, off (0). Does nothing.
    virtual void OnControlREN(int on) const;
    // Local lockout was asked for. Does nothing.
    virtual void OnControlLLO() const;
    // The instrument went remote (1) or local (0). Does nothing.
    virtual void OnControlRemote(int remote) const;
    // The panel's LOCAL key (GUI thread): returns non-zero when it asked to go local. Base: 0.
    virtual int requestRTL();
};

} // namespace zo4882
