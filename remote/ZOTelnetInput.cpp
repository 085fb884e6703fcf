#include "remote/ZOTelnetInput.h"

#include <cstring>

namespace zo4882 {

namespace {

constexpr unsigned char BS = 0x08;
constexpr unsigned char ETX = 0x03;
// Telnet command bytes (the byte after IAC).
constexpr unsigned char SE = 0xF0;
constexpr unsigned char IP = 0xF4;
constexpr unsigned char EC = 0xF7;
constexpr unsigned char EL = 0xF8;
constexpr unsigned char SB = 0xFA;
constexpr unsigned char WILL = 0xFB;
constexpr unsigned char DONT = 0xFE;

} // namespace

int ZOTelnetInput::commandLength(const unsigned char *p, int available)
{
    if (available < 2)
        return 0;
    const unsigned char command = p[1];
    if (command >= WILL && command <= DONT)
        return available >= 3 ? 3 : 0;
    if (command != SB)
        return 2;
    // Subnegotiation data runs to IAC SE; IAC IAC inside it is a data byte.
    for (int i = 2; i + 1 < available; ++i) {
        if (p[i] != IAC)
            continue;
        if (p[i + 1] == SE)
            return i + 2;
        ++i;
    }
    return 0;
}

int ZOTelnetInput::edit(unsigned char *buffer, int *edited, int len)
{
    int write = *edited;
    int read = *edited;
    while (read < len) {
        const unsigned char byte = buffer[read];
        if (byte == BS) {
            if (write > 0)
                --write;
            ++read;
            continue;
        }
        if (byte != IAC) {
            buffer[write++] = byte;
            ++read;
            continue;
        }
        const int length = commandLength(buffer + read, len - read);
        if (length == 0)
            break;
        switch (buffer[read + 1]) {
        case IAC:
            buffer[write++] = IAC;
            break;
        case IP:
            buffer[write++] = ETX;
            break;
        case EC:
            if (write > 0)
                --write;
            break;
        case EL:
            write = 0;
            break;
        default:
            break;
        }
        read += length;
    }
    const int raw = len - read;
    if (raw > 0 && write < read)
        std::memmove(buffer + write, buffer + read, size_t(raw));
    *edited = write;
    return write + raw;
}

} // namespace zo4882
