#pragma once

#include <QByteArray>

// Bulk-OUT transfers as a USBTMC host sends them, for tests and benchmarks that play the host.
namespace usbtmchost {

// The 12-byte header: MsgID, bTag, its inverse, the 32-bit transfer size (little-endian), the
// attributes and (REQUEST_DEV_DEP_MSG_IN) the term character.
inline QByteArray header(
    unsigned char msgId, unsigned char tag, qint32 size, char attributes, char term = 0)
{
    QByteArray h(12, '\0');
    h[0] = char(msgId);
    h[1] = char(tag);
    h[2] = char(~tag);
    for (int i = 0; i < 4; ++i)
        h[4 + i] = char(quint32(size) >> (8 * i));
    h[8] = attributes;
    h[9] = term;
    return h;
}

// DEV_DEP_MSG_OUT: header, text, fill to a multiple of 4.
inline QByteArray out(const QByteArray &text, unsigned char tag, bool eom = true)
{
    QByteArray transfer = header(1, tag, text.size(), eom ? 1 : 0) + text;
    return transfer + QByteArray((4 - transfer.size() % 4) % 4, '\0');
}

// REQUEST_DEV_DEP_MSG_IN for up to size bytes, ended early at termChar when it is not 0.
inline QByteArray requestIn(unsigned char tag, qint32 size = 1024, char termChar = 0)
{
    return header(2, tag, size, termChar ? 2 : 0, termChar);
}

} // namespace usbtmchost
