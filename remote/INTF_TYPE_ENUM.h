#pragma once

namespace zo4882 {

// Origin of a program message or an error entry. The numbers travel in entries and messages,
// so they stay fixed (5, 6 and 8 are unused).
enum INTF_TYPE_ENUM : int {
    INTF_PANEL = 0, // front panel and internal work
    INTF_SOCKET = 1,
    INTF_TELNET = 2,
    INTF_VXI11 = 3,
    INTF_HISLIP = 4,
    INTF_USBTMC = 7,
    INTF_RS232 = 9,
};

} // namespace zo4882
