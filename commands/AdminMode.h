#pragma once

#include <QByteArray>

// The administrator mode of the remote password commands: off at every start, switched with the
// administrator password kept in a file on the board. The parser's deny flag
// MyParser::DenyAdministrator follows it.
class AdminMode
{
public:
    static constexpr const char *PasswordPath = "/etc/instr/adminpw.auth";

    // Parser thread; readable from any.
    static bool isOn();
    static void setOn(bool on);

    // The first line of the password file: at most 256 bytes, up to the first NUL, without
    // white space at either end; empty when the file is missing or unreadable.
    static QByteArray storedPassword();
};
