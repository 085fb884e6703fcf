#pragma once

#include "remote/INTF_TYPE_ENUM.h"

#include <QMetaType>

namespace zo4882 {

// IEEE 488.2 control events of the interfaces; the numbers travel in control messages.
enum CTL488_MSG_TYPES : int {
    CTL488_DEVICE_CLEAR = 0,
    CTL488_REN_ON = 1, // remote enable on
    CTL488_REN_OFF = 2,
    CTL488_LOCAL_LOCKOUT = 3,
    CTL488_GO_REMOTE = 4,
    CTL488_GO_LOCAL = 5,
};

// One control event on its way to the control-message handler (ZO4882ParserAsync), which frees
// it with delete after handling it. Made by ZO4882ParserAsync::createControlMessage().
struct CTL488MSG_T
{
    INTF_TYPE_ENUM intf;
    unsigned tag; // the transport's own value, as in program messages
    void *device; // the transport's connection handle, or null
    CTL488_MSG_TYPES type;
};

} // namespace zo4882

Q_DECLARE_METATYPE(const zo4882::CTL488MSG_T *)
