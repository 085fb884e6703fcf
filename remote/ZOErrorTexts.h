#pragma once

namespace zo4882 {

// The standard SCPI / IEEE 488.2 error numbers the library reports, with their texts.
class ZOErrorTexts
{
public:
    // Text of a standard code, or null when the code is not in the table.
    static const char *text(short code);
    // Standard event status bit of an error's class: 0x20 command, 0x10 execution, 0x08 device
    // (and every positive instrument code), 0x04 query, ...; 0 for -99..0 and -900 and below.
    static unsigned char classBit(short code);
};

} // namespace zo4882
