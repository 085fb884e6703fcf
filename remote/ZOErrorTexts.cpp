#include "remote/ZOErrorTexts.h"

namespace zo4882 {

namespace {

struct ErrorPair
{
    short code;
    const char *text;
};

const ErrorPair _pairs[] = {
    { 0, "No error" },
    { -101, "Invalid character" },
    { -102, "Syntax error" },
    { -103, "Invalid separator" },
    { -108, "Parameter not allowed" },
    { -109, "Missing parameter" },
    { -110, "Command header error" },
    { -112, "Program mnemonic too long" },
    { -113, "Undefined header" },
    { -114, "Header suffix out of range" },
    { -115, "Unexpected number of parameters" },
    { -120, "Numeric data error" },
    { -121, "Invalid character in number" },
    { -128, "Numeric data not allowed" },
    { -131, "Invalid suffix" },
    { -138, "Suffix not allowed" },
    { -140, "Character data error" },
    { -141, "Invalid character data" },
    { -144, "Character data too long" },
    { -150, "String data error" },
    { -151, "Invalid string data" },
    { -158, "String data not allowed" },
    { -161, "Invalid block data" },
    { -171, "Invalid expression" },
    { -200, "Execution error" },
    { -203, "Command protected" },
    { -211, "Trigger ignored" },
    { -213, "Init ignored" },
    { -214, "Trigger deadlock" },
    { -220, "Parameter error" },
    { -221, "Settings conflict" },
    { -222, "Data out of range" },
    { -224, "Illegal parameter value" },
    { -230, "Data corrupt or stale" },
    { -231, "Data questionable" },
    { -232, "Invalid format" },
    { -233, "Invalid version" },
    { -241, "Hardware missing" },
    { -253, "Corrupt media" },
    { -310, "System error" },
    { -311, "Memory error" },
    { -313, "Calibration memory lost" },
    { -314, "Save/recall memory lost" },
    { -315, "Configuration memory lost" },
    { -330, "Self-test failed" },
    { -350, "Queue overflow" },
    { -363, "Input buffer overrun" },
    { -400, "Query error" },
    { -410, "Query INTERRUPTED" },
    { -420, "Query UNTERMINATED" },
    { -430, "Query DEADLOCKED" },
    { -800, "Operation complete" },
};

} // namespace

const char *ZOErrorTexts::text(short code)
{
    for (const ErrorPair &pair : _pairs) {
        if (pair.code == code)
            return pair.text;
    }
    return nullptr;
}

unsigned char ZOErrorTexts::classBit(short code)
{
    if (code > 0)
        return 0x08;
    if (code <= -900 || code > -100)
        return 0;
    // -100..-199 command, -200.. execution, -300.. device, -400.. query, -500.. power on,
    // -600.. user request, -700.. request control, -800.. operation complete.
    static const unsigned char bits[] = { 0x20, 0x10, 0x08, 0x04, 0x80, 0x40, 0x02, 0x01 };
    return bits[(-code) / 100 - 1];
}

} // namespace zo4882
