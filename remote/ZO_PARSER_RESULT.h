#pragma once

#include "remote/INTF_TYPE_ENUM.h"

namespace zo4882 {

class ZOCmdArg;
struct ZO_SCPI_DICT_ENTRY;

// What a command object receives for one message unit. The texts point into the parser's work
// buffer and the arguments belong to the parser; both are valid only during the call.
struct ZO_PARSER_RESULT
{
    INTF_TYPE_ENUM intf = INTF_PANEL;
    const ZO_SCPI_DICT_ENTRY *entry = nullptr;
    ZOCmdArg *args = nullptr; // first argument of the chain, null without arguments
    unsigned channels = 0; // bit n set for channel n of the channel lists
    int suffix = 0; // numeric header suffix, 0 when none (2 for ISUM2)
    short query = 0; // 1 when the header ends with '?'
    const char *header = ""; // upper-cased, optional root removed
    const char *params = ""; // upper-cased parameter text
    // Bytes still free in the message's answer for this unit's answer text (its separator
    // already counted); a query whose answer would not fit loses that answer.
    int responseRoom = 0xC000 - 2;
};

} // namespace zo4882
