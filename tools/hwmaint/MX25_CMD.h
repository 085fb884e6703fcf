#pragma once

#include <QByteArray>
#include <QVector>

// The command set of the FPGA configuration flash (a serial NOR flash with the MX25 command
// set) on /dev/spidev1.1. Each command opens the device, exchanges one full-duplex transfer
// (opcode first, then the address as three bytes, high first) and closes it again; a command
// that changes the flash first reads the status (busy: result Busy, nothing sent), then sends
// WREN, its own exchange and polls the status until the flash is ready. The flash access line
// (PanelControl::spiFlashEnable) must be on; switching it is the caller's task. Main thread only.
//
// Addresses and lengths are checked against the 2 MiB the three address bytes reach on this
// board: a transfer that would run past it is refused (the chip would wrap to address 0), and
// so is a page program that would cross its 256-byte page (the chip would wrap inside it).
// Poll limits count status readings, not time.
namespace MX25_CMD {

enum Result {
    Done = 0,
    TimeOut = 2, // the flash stayed busy past the command's poll limit
    Busy = 3, // the flash was busy before the command; nothing sent
    AddressInvalid = 5, // nothing sent
    LengthInvalid = 6, // nothing sent
    DeviceError = 7, // the device could not be opened or an exchange failed; see lastError()
};

constexpr unsigned int FlashLimit = 0x200000;
constexpr unsigned int PageSize = 256;
constexpr unsigned int BlockSize = 0x10000;
constexpr unsigned int MaxRead = 1024;

constexpr unsigned int PagePolls = 2604;
constexpr unsigned int BlockErasePolls = 1041666;
constexpr unsigned int ChipErasePolls = 15625000;
constexpr unsigned int StatusWritePolls = 52083;

// The two bytes handed to cmdREMS; the second goes out as the address byte that selects the
// order of the two ID bytes.
struct sFlashStatus
{
    unsigned char first = 0;
    unsigned char second = 0;
};

int cmdWREN();
int cmdWRDI();
int cmdRDSR(unsigned char *status);
int cmdWRSR(unsigned char value);
// manufacturer << 16 | memory type << 8 | density.
int cmdReadIdentification(unsigned int *id);
int cmdReadElectricIdentification(unsigned char *id);
int cmdREMS(unsigned short *id, sFlashStatus *status);
// Appends length bytes from address to *data.
int cmdRead(unsigned int address, QByteArray *data, unsigned int length);
int cmdFASTREAD(unsigned int address, QVector<unsigned char> *data, unsigned int length);
int cmdDREAD(unsigned int address, QVector<unsigned char> *data, unsigned int length);
// Programs up to 256 bytes inside one page; no data: Done, nothing sent.
int cmdPP(unsigned int address, QByteArray data);
// Erases the 64 KB block holding address.
int cmdBE(unsigned int address);
// Prints "executing erase", a dot every 2000 status readings and "complete!".
int cmdChipErase();
int cmdRDP();
int cmdDP();
int cmdENSO();
int cmdEXSO();

// 1 when the flash became ready within maxPolls + 1 further readings (a dot every 2000 readings,
// the first at the first busy one), 0 when it did not, -1 on a device error.
int WaitFlashReady(unsigned int maxPolls);
// Bit 0 of the status register (1 also when the status could not be read).
int IsFlashBusy();
int getAddresByte();
void Wait_Flash_WarmUp();
void Initial_Spi();

// The negative errno of the last exchange that failed (0 before any).
int lastError();

} // namespace MX25_CMD
