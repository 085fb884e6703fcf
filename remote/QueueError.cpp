#include "remote/QueueError.h"

#include "remote/ZOSystErrCue.h"

#include <limits>

namespace zo4882 {

void queueError(int code, const QString &detail)
{
    queueErrorFrom(INTF_PANEL, code, detail);
}

void queueErrorFrom(INTF_TYPE_ENUM intf, int code, const QString &detail)
{
    if (code == 0)
        return;
    if (code < std::numeric_limits<short>::min() || code > std::numeric_limits<short>::max())
        code = -310;
    s_systErrCue.cue(SYST_ERR_INFO(short(code), intf, detail));
}

} // namespace zo4882
