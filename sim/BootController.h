#pragma once

#include "sim/IspDisk.h"

#include <QByteArray>
#include <QStringList>
#include <QVector>

namespace sim {

// The controller's maintenance side: the register frames of the maintenance tool, its boot
// control and its ISP mode. A connection whose client set the SPI device settings (the tool
// does, the instrument's link never does) carries frames, clocked back to back within one
// chip select:
//
//   word 0    register address
//   word 1    N, the number of data words (at least 1)
//   2..N+1    data
//   N+2       CRC-16/CCITT-FALSE of words 0..N+1, each fed most significant byte first,
//             in the low half; the high half 0
//
// A frame whose N runs past the message ends the message ("length"); a frame with a wrong CRC
// is dropped ("crc"); both count as bad frames. Good frames to the boot register 0x80006100 act
// on its bits: bit 1 releases the controller from reset, bit 2 selects the flash (else the ISP
// boot code). A boot is a pair: a write with bit 1 clear holds the reset, a write with bit 1 set
// and the same bit 2 releases it at least MinResetUs later; anything else is logged and ignored.
// Booting the flash out of ISP mode installs firmware.bin from the ISP disk, when there is one.
// In ISP mode the disk (blank at each ISP boot) appears diskDelay after the USB host is routed
// to the controller and goes away when either ends.
//
// Every frame and event goes to a log of lines "<µs> frame <message> ok|crc|length <HEX>..."
// and "<µs> event <text>" (at most LogCapacity lines; later ones are not kept).
class BootController
{
public:
    static constexpr quint32 BootRegister = 0x80006100;
    static constexpr qint64 MinResetUs = 50000;
    static constexpr int DefaultDiskDelayMs = 300;
    static constexpr int LogCapacity = 100000;

    enum class Mode { Flash, Isp, Reset };

    BootController(const QString &root, qint64 nowUs);

    // One message of frames from a maintenance connection.
    void receive(const QVector<quint32> &words, qint64 nowUs);
    // Follows the USB route and the disk's enumeration delay; call at least every
    // pollTimeoutMs() (-1: nothing to follow).
    void tick(qint64 nowUs);
    int pollTimeoutMs() const;

    // Fault injection: the next n frames arrive corrupted (their CRC check fails).
    void corruptNextFrames(int n) { m_corrupt = n; }
    // Delay from ISP boot and USB route to the disk's appearance; -1: the disk never appears.
    void setDiskDelayMs(int ms) { m_diskDelayMs = ms; }

    Mode mode() const { return m_mode; }
    static QString modeName(Mode mode);
    const IspDisk &disk() const { return m_disk; }
    int badFrames() const { return m_badFrames; }
    // The installed firmware image (empty until a flash boot took one from the ISP disk).
    QByteArray firmware() const { return m_firmware; }
    QStringList log() const { return m_log; }
    void clearLog();

    static quint16 crc16(const quint32 *words, int count);

private:
    void frame(const quint32 *words, int count, qint64 nowUs);
    void bootWrite(quint32 value, qint64 nowUs);
    void release(bool flash, qint64 nowUs);
    void detachDisk(qint64 nowUs);
    void event(qint64 nowUs, const QString &text);
    void record(const QString &line);

    IspDisk m_disk;
    Mode m_mode = Mode::Flash;
    Mode m_modeBeforeReset = Mode::Flash;
    bool m_resetSelectsFlash = true;
    qint64 m_resetSinceUs = 0;
    qint64 m_ispSinceUs = 0;
    qint64 m_routedSinceUs = -1; // -1 while the USB host goes to the front socket
    int m_diskDelayMs = DefaultDiskDelayMs;
    int m_corrupt = 0;
    int m_badFrames = 0;
    quint64 m_messages = 0;
    QByteArray m_firmware;
    QStringList m_log;
};

} // namespace sim
