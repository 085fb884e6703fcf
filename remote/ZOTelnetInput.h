#pragma once

namespace zo4882 {

// The telnet console's input editing, done in place on a session's receive buffer. Bytes are
// taken in the order they arrived and act on the text held before them:
//
//   0x08 (BS), IAC EC (FF F7)      remove themselves and the byte before, if any
//   IAC EL (FF F8)                 removes itself and everything held before it
//   IAC IAC (FF FF)                one data byte 0xFF
//   IAC IP (FF F4)                 becomes ETX (0x03): the client's interrupt acts as ETX does
//   IAC WILL/WONT/DO/DONT x        option negotiation (3 bytes): consumed, never answered
//   IAC SB ... IAC SE              subnegotiation (IAC IAC inside is data): consumed
//   IAC and any other byte         other commands (NOP, AYT, GA, ...): consumed
//   anything else                  held unchanged
//
// A command cut off by the end of the received bytes stays unedited behind the edited text
// until the rest arrives.
class ZOTelnetInput
{
public:
    static constexpr unsigned char IAC = 0xFF;

    // buffer[0, *edited) is edited text already; buffer[*edited, len) is new or left raw. Edits
    // the raw part into place behind the edited text and moves what stays raw (an unfinished
    // command) right behind it. *edited becomes the end of the edited text; returns the new
    // number of bytes held (edited text plus raw tail), never more than len.
    static int edit(unsigned char *buffer, int *edited, int len);

private:
    // Length of the telnet command at p (p[0] is IAC), or 0 when it is not complete yet.
    static int commandLength(const unsigned char *p, int available);
};

} // namespace zo4882
