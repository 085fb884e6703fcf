#pragma once

#include "remote/INTF_TYPE_ENUM.h"

#include <QString>

namespace zo4882 {

// The one entry point for layers that report errors through an injected
// std::function<void(int code, const QString &detail)>: posts to s_systErrCue as panel work.
// Code 0 means success and posts nothing; codes outside 16 bits become -310 "System error".
void queueError(int code, const QString &detail);
// The same for work that came from a remote interface.
void queueErrorFrom(INTF_TYPE_ENUM intf, int code, const QString &detail);

} // namespace zo4882
