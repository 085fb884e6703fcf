#pragma once

#include "remote/INTF_TYPE_ENUM.h"

namespace zo4882 {

// The input limit of the SCPI transports that cut program messages out of a byte stream
// (telnet, RS-232): at most Capacity bytes of unterminated input are held. Input that fills
// them without a complete message can never complete; it is dropped with -363.
class ZOInputLimit
{
public:
    static constexpr int Capacity = 4096;

    // After a pass that used `used` of the `held` bytes: true when the rest fills capacity
    // bytes; then -363 ("Input buffer overrun") is queued for intf and the caller drops all.
    static bool overrun(INTF_TYPE_ENUM intf, int held, int used, int capacity = Capacity);
    // Where the text after the used bytes starts: the line ends and other control bytes
    // (below 0x20) that begin it are used up as well, up to a byte equal to keep (-1: none).
    static int skipControls(const unsigned char *data, int used, int len, int keep = -1);
};

} // namespace zo4882
