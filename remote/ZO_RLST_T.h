#pragma once

#include <atomic>

namespace zo4882 {

// The instrument's remote/local state, all clear (local) at start. Written only by the
// control-message handler's thread; read by the parser thread, the control sink and the panel.
struct ZO_RLST_T
{
    std::atomic<unsigned char> remoteEnable { 0 };
    std::atomic<unsigned char> remote { 0 };
    std::atomic<unsigned char> localLockout { 0 };
};

// Defined beside the control-message handler (ZO4882ParserAsync.cpp).
extern ZO_RLST_T s_rlst;

} // namespace zo4882
