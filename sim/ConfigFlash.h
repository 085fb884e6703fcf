#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

namespace sim {

// The FPGA configuration flash behind spidev1.1: a serial NOR flash with the MX25 command set,
// one full-duplex exchange per message (byte 0 the opcode, the reply as long as the message).
// The board reaches it only while gpio114 (flash access) is 1 under the board root; otherwise
// the bus floats and every byte reads 0.
//
//   06 WREN   04 WRDI   05 RDSR   01 WRSR v   9F RDID   AB RES (or RDP when alone)
//   90 REMS   03 READ A2 A1 A0   0B FAST_READ / 3B DREAD A2 A1 A0 dummy   02 PP A2 A1 A0 data
//   D8 BE (64 KB)   20 SE (4 KB)   C7 / 60 CE   B9 DP   B1 ENSO   C1 EXSO
//
// Status register: bit 0 WIP (write in progress), bit 1 WEL (write enable latch), bits 2-5 BP
// (block protection; any set protects the whole array), bit 7 SRWD. Program, erase and WRSR need
// WEL, clear it and leave WIP set for the next busyReadings() status readings. While WIP is set
// only RDSR is answered. Page program ANDs the data into the page, wrapping inside it (the last
// 256 bytes count when more are sent); addresses above the size wrap, as the chip's do.
class ConfigFlash
{
public:
    static constexpr quint32 DefaultId = 0xC22015; // 2 MiB
    static constexpr int PageSize = 256;
    static constexpr int BlockSize = 0x10000;
    static constexpr int SectorSize = 0x1000;

    enum class Stuck { Off, Now, AfterWrite, AfterProgram };

    // root: the board root whose gpio114 gates the flash; empty: always reachable.
    explicit ConfigFlash(const QString &root = QString());

    QByteArray exchange(const QByteArray &message);

    bool reachable() const;
    quint32 id() const { return m_id; }
    // Sets the JEDEC identification; the size is 2^(density byte), 64 KB to 16 MiB. The image
    // becomes blank. False for another density.
    bool setId(quint32 id);
    int size() const { return m_image.size(); }
    const QByteArray &image() const { return m_image; }
    void fill(quint8 value) { m_image.fill(char(value)); }
    quint8 status() const { return m_status; }

    // Status readings that show WIP after each program or erase (at least 1 counts the one
    // right after the command).
    void setBusyReadings(int n) { m_busyReadings = qMax(0, n); }
    int busyReadings() const { return m_busyReadings; }
    // Now: busy from now on; AfterWrite: the next program or erase never finishes;
    // AfterProgram: the next page program never finishes; Off: the write in progress is done.
    void setStuck(Stuck stuck);
    // The bits of mask at address never program (they stay 1). A mask of 0 removes the fault.
    void setBitError(quint32 address, quint8 mask);
    void clearBitErrors() { m_bitErrors.clear(); }
    // Sets or clears all block-protection bits.
    void setProtected(bool on);

    int programs() const { return m_programs; }
    int erases() const { return m_erases; }

private:
    void command(const QByteArray &in, QByteArray *out);
    quint32 address(const QByteArray &in) const;
    bool startWrite();
    void finishWrite(bool program = false);
    void pageProgram(const QByteArray &in);
    void erase(quint32 start, int length);
    bool isProtected() const { return (m_status & 0x3C) != 0; }

    QString m_gate; // gpio114's value file; empty: always reachable
    QByteArray m_image;
    quint32 m_id = DefaultId;
    quint8 m_status = 0;
    int m_busyReadings = 2;
    int m_busyLeft = 0;
    Stuck m_stuck = Stuck::Off;
    bool m_deepPowerDown = false;
    bool m_secured = false;
    QMap<quint32, quint8> m_bitErrors;
    int m_programs = 0;
    int m_erases = 0;
};

} // namespace sim
