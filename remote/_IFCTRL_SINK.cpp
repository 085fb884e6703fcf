#include "remote/_IFCTRL_SINK.h"

#include "remote/ZO4882Opc.h"

namespace zo4882 {

void _IFCTRL_SINK::OnDeviceClear() const
{
    s_opc.interruptWaits();
}

void _IFCTRL_SINK::OnControlREN(int) const { }

void _IFCTRL_SINK::OnControlLLO() const { }

void _IFCTRL_SINK::OnControlRemote(int) const { }

int _IFCTRL_SINK::requestRTL()
{
    return 0;
}

} // namespace zo4882
