#include "tools/hwmaint/MX25_CMD.h"

#include "tools/hwmaint/Console.h"
#include "tools/hwmaint/RegByteWRTransfer.h"

#include <functional>

namespace ioc {
const char *const spiFlashDevice = "/dev/spidev1.1";
}

namespace MX25_CMD {

namespace {
using ioc::RegByteWRTransfer;

enum Opcode : unsigned char {
    WRSR = 0x01,
    PP = 0x02,
    READ = 0x03,
    WRDI = 0x04,
    RDSR = 0x05,
    WREN = 0x06,
    FAST_READ = 0x0B,
    DREAD = 0x3B,
    REMS = 0x90,
    RDID = 0x9F,
    RES = 0xAB,
    ENSO = 0xB1,
    DP = 0xB9,
    EXSO = 0xC1,
    CE = 0xC7,
    BE = 0xD8,
};

constexpr unsigned char WriteInProgress = 0x01;
constexpr unsigned int DotEvery = 2000;

int s_lastError = 0;

template <int N> int send(RegByteWRTransfer<unsigned char, N> &t, int length)
{
    const int rc = t.exchange(length);
    if (rc != 0)
        s_lastError = rc;
    return rc == 0 ? Done : DeviceError;
}

template <int N> void putAddress(RegByteWRTransfer<unsigned char, N> &t, unsigned int address)
{
    t[1] = (unsigned char)(address >> 16);
    t[2] = (unsigned char)(address >> 8);
    t[3] = (unsigned char)address;
}

int opcodeOnly(unsigned char opcode)
{
    RegByteWRTransfer<unsigned char, 1> t;
    t[0] = opcode;
    return send(t, 1);
}

// The busy test: Done when the flash is ready, Busy or DeviceError otherwise.
int busyTest()
{
    unsigned char status = 0;
    if (cmdRDSR(&status) != Done)
        return DeviceError;
    return (status & WriteInProgress) ? Busy : Done;
}

// WREN, the command's own exchange, then the poll up to its limit.
int writeAndWait(const std::function<int()> &exchange, unsigned int polls)
{
    if (cmdWREN() != Done || exchange() != Done)
        return DeviceError;
    const int ready = WaitFlashReady(polls);
    return ready < 0 ? DeviceError : ready == 1 ? Done : TimeOut;
}

bool beyondFlash(unsigned int address, unsigned int length)
{
    return quint64(address) + length > FlashLimit;
}

template <int N>
int readWithHeader(
    unsigned char opcode, int header, unsigned int address, unsigned int length, QByteArray *out)
{
    if (beyondFlash(address, length))
        return AddressInvalid;
    if (length > MaxRead)
        return LengthInvalid;
    RegByteWRTransfer<unsigned char, N> t;
    t[0] = opcode;
    putAddress(t, address);
    if (send(t, header + int(length)) != Done)
        return DeviceError;
    *out = QByteArray(reinterpret_cast<const char *>(t.data()) + header, int(length));
    return Done;
}

QVector<unsigned char> toVector(const QByteArray &bytes)
{
    return QVector<unsigned char>(bytes.cbegin(), bytes.cend());
}
} // namespace

int cmdWREN()
{
    return opcodeOnly(WREN);
}

int cmdWRDI()
{
    return opcodeOnly(WRDI);
}

int cmdRDSR(unsigned char *status)
{
    RegByteWRTransfer<unsigned char, 2> t;
    t[0] = RDSR;
    if (send(t, 2) != Done)
        return DeviceError;
    *status = t[1];
    return Done;
}

int cmdWRSR(unsigned char value)
{
    const int busy = busyTest();
    if (busy != Done)
        return busy;
    return writeAndWait(
        [value] {
            RegByteWRTransfer<unsigned char, 2> t;
            t[0] = WRSR;
            t[1] = value;
            return send(t, 2);
        },
        StatusWritePolls);
}

int cmdReadIdentification(unsigned int *id)
{
    RegByteWRTransfer<unsigned char, 4> t;
    t[0] = RDID;
    if (send(t, 4) != Done)
        return DeviceError;
    *id = (unsigned int)(t[1]) << 16 | (unsigned int)(t[2]) << 8 | t[3];
    return Done;
}

int cmdReadElectricIdentification(unsigned char *id)
{
    RegByteWRTransfer<unsigned char, 5> t;
    t[0] = RES;
    if (send(t, 5) != Done)
        return DeviceError;
    *id = t[4];
    return Done;
}

int cmdREMS(unsigned short *id, sFlashStatus *status)
{
    RegByteWRTransfer<unsigned char, 6> t;
    t[0] = REMS;
    t[3] = status->second;
    if (send(t, 6) != Done)
        return DeviceError;
    *id = (unsigned short)(t[4] << 8 | t[5]);
    return Done;
}

int cmdRead(unsigned int address, QByteArray *data, unsigned int length)
{
    QByteArray bytes;
    const int rc = readWithHeader<4 + MaxRead>(READ, 4, address, length, &bytes);
    if (rc == Done)
        data->append(bytes);
    return rc;
}

int cmdFASTREAD(unsigned int address, QVector<unsigned char> *data, unsigned int length)
{
    QByteArray bytes;
    const int rc = readWithHeader<5 + MaxRead>(FAST_READ, 5, address, length, &bytes);
    if (rc == Done)
        *data = toVector(bytes);
    return rc;
}

int cmdDREAD(unsigned int address, QVector<unsigned char> *data, unsigned int length)
{
    QByteArray bytes;
    const int rc = readWithHeader<5 + MaxRead>(DREAD, 5, address, length, &bytes);
    if (rc == Done)
        *data = toVector(bytes);
    return rc;
}

int cmdPP(unsigned int address, QByteArray data)
{
    if (data.isEmpty())
        return Done;
    const unsigned int length = unsigned(data.size());
    if (length > PageSize) {
        Console::errorLine(QStringLiteral("Flash Length Invalid.(page program)"));
        return LengthInvalid;
    }
    if (beyondFlash(address, length)) {
        Console::errorLine(QStringLiteral("Flash Address Invalid.(page program)"));
        return AddressInvalid;
    }
    if (address % PageSize + length > PageSize) {
        Console::errorLine(QStringLiteral("Flash Length Invalid.(page program)"));
        return LengthInvalid;
    }
    const int busy = busyTest();
    if (busy == Busy)
        Console::errorLine(QStringLiteral("Flash Is Busy. (page program)"));
    if (busy != Done)
        return busy;
    const int rc = writeAndWait(
        [address, &data, length] {
            RegByteWRTransfer<unsigned char, 4 + PageSize> t;
            t[0] = PP;
            putAddress(t, address);
            std::copy(data.cbegin(), data.cend(), t.data() + 4);
            return send(t, 4 + int(length));
        },
        PagePolls);
    if (rc == TimeOut) {
        Console::endProgress();
        Console::errorLine(QStringLiteral("Flash Time Out. (page program)"));
    }
    return rc;
}

int cmdBE(unsigned int address)
{
    if (address >= FlashLimit)
        return AddressInvalid;
    const int busy = busyTest();
    if (busy != Done)
        return busy;
    return writeAndWait(
        [address] {
            RegByteWRTransfer<unsigned char, 5> t;
            t[0] = BE;
            putAddress(t, address);
            return send(t, 4);
        },
        BlockErasePolls);
}

int cmdChipErase()
{
    const int busy = busyTest();
    if (busy == Busy)
        Console::errorLine(QStringLiteral("Flash Is Busy.(Chip Erase)"));
    if (busy != Done)
        return busy;
    Console::print(QStringLiteral("executing erase"));
    const int rc = writeAndWait(
        [] {
            return opcodeOnly(CE);
        },
        ChipErasePolls);
    if (rc == Done) {
        Console::printLine(QStringLiteral("complete!"));
    } else if (rc == TimeOut) {
        Console::endProgress();
        Console::errorLine(QStringLiteral("Flash Time Out.(Chip Erase)"));
    }
    return rc;
}

int cmdRDP()
{
    return opcodeOnly(RES);
}

int cmdDP()
{
    return opcodeOnly(DP);
}

int cmdENSO()
{
    return opcodeOnly(ENSO);
}

int cmdEXSO()
{
    return opcodeOnly(EXSO);
}

int WaitFlashReady(unsigned int maxPolls)
{
    for (unsigned int i = 0;; ++i) {
        unsigned char status = 0;
        if (cmdRDSR(&status) != Done)
            return -1;
        if (!(status & WriteInProgress))
            return 1;
        if (i > maxPolls)
            return 0;
        if (i % DotEvery == 0)
            Console::print(QStringLiteral("."));
    }
}

int IsFlashBusy()
{
    unsigned char status = WriteInProgress;
    cmdRDSR(&status);
    return status & WriteInProgress;
}

int getAddresByte()
{
    return 3;
}

void Wait_Flash_WarmUp() { }

void Initial_Spi() { }

int lastError()
{
    return s_lastError;
}

} // namespace MX25_CMD
