#pragma once

#include "remote/INTF_TYPE_ENUM.h"

#include <QByteArray>
#include <QString>

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
    // white space at either end; empty when the file is missing or unreadable, and then
    // *failure (when given) says why. An empty result never matches a given password.
    static QByteArray storedPassword(QString *failure = nullptr);

    // True only when a password is stored and `given` equals it exactly. A file that cannot
    // be read is queued as -310 with its reason, for `intf`.
    static bool matches(const QByteArray &given, zo4882::INTF_TYPE_ENUM intf);
};
