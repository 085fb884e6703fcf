#pragma once

#include <QVector>
#include <QtGlobal>

#include <linux/spi/spidev.h>

namespace ioc {

// One queued SPI transfer of the tool's register writes: the derived class holds the frame and
// m_xfer, the spidev descriptor, points into it, so a transfer is never copied and lives until
// the message that carries it has been sent.
class RegWriteTransfer
{
public:
    virtual ~RegWriteTransfer();
    RegWriteTransfer(const RegWriteTransfer &) = delete;
    RegWriteTransfer &operator=(const RegWriteTransfer &) = delete;

    const spi_ioc_transfer &descriptor() const { return m_xfer; }
    // The 32-bit words the transfer sends (none when it sends no buffer).
    QVector<quint32> words() const;

    // A setting's value as a register word: truncated toward zero and held to the word's range
    // (a value past it gives the nearest end, not an undefined word; NaN gives 0).
    static qint32 toSigned(double value);
    static quint32 toUnsigned(double value);

    // CRC-16/CCITT-FALSE (polynomial 0x1021, start 0xFFFF, no reflection, no final XOR) of
    // bytes / 4 whole words, each fed as four bytes from the most significant down, whatever
    // the processor's byte order. No words give 0xFFFF.
    static quint16 qChecksumMT(const unsigned int *words, unsigned int bytes);
    // The same CRC over a run of bytes (the check value of "123456789" is 0x29B1).
    static quint16 checksum(const unsigned char *data, unsigned int size);

protected:
    RegWriteTransfer();

    spi_ioc_transfer m_xfer;
};

} // namespace ioc
