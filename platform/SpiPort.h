#pragma once

#include <QString>
#include <QVector>

struct spi_ioc_transfer;

namespace platform {

// The device settings spidev keeps per device: clock mode (0 to 3), bits per word, top clock.
struct SpiSettings
{
    quint8 mode = 0;
    quint8 bitsPerWord = 8;
    quint32 maxSpeedHz = 0;

    bool operator==(const SpiSettings &o) const
    {
        return mode == o.mode && bitsPerWord == o.bitsPerWord && maxSpeedHz == o.maxSpeedHz;
    }
};

// One SPI device as the program sees it: a run of 32-bit words goes out, as many come back.
// The device path is a board path. A character device is driven with the spidev ioctls
// (12 MHz, 32 bits per word, no delay, the device's own mode left in place); a Unix
// SOCK_SEQPACKET socket is the simulated board, one datagram each way carrying exactly the words
// spidev would clock; anything else fails like a missing device.
// Not thread-safe: the owner serialises transfers (the controller link holds its SPI mutex).
//
// The simulated board's socket carries, besides the words, one datagram of its own: the device
// settings of configure(), 21 bytes (no whole number of 32-bit words; a byte-wide peer reserves
// this one shape), answered by the same layout with the settings now in force:
//   bytes 0-7 "VEKSPICF", 8-11 mode, 12-15 bits per word, 16-19 top clock in Hz (host order),
//   byte 20 zero.
// The settings belong to the connection; a port that connects again sends them again.
class SpiPort
{
public:
    static constexpr quint32 ClockHz = 12000000;

    SpiPort() = default;
    ~SpiPort();
    SpiPort(const SpiPort &) = delete;
    SpiPort &operator=(const SpiPort &) = delete;

    // Returns 0 or a negative errno.
    int open(const QString &boardPath);
    void close();
    bool isOpen() const { return m_kind != Kind::None; }
    QString path() const { return m_path; }

    // One driver message. With rx null the words are only sent; otherwise rx receives
    // tx.size() words. Returns 0 or a negative errno; on failure rx is left as it was.
    int transfer(const QVector<quint32> &tx, QVector<quint32> *rx);

    // Writes the clock mode, the word length and the top clock, in this order, reading each back
    // into *actual. Returns 0 or the first failing request's negative errno.
    int configure(const SpiSettings &wanted, SpiSettings *actual = nullptr);

    // One driver message of count transfers as spidev takes them (tx_buf and rx_buf are
    // addresses, either may be 0: nothing received, or zeros sent). On the socket the bytes of
    // the transfers up to each chip-select change go as one datagram, as the peer sees them
    // clocked within one chip select. Returns 0 or a negative errno.
    int message(const spi_ioc_transfer *transfers, int count);

    // A failed socket exchange drops the connection (a late answer must never be taken for the
    // next one); the next transfer connects again.
    // Bound on waiting for the simulated board's answer, in milliseconds.
    void setSocketTimeout(int ms) { m_socketTimeoutMs = ms; }

private:
    int transferDevice(const QVector<quint32> &tx, QVector<quint32> *rx);
    int transferSocket(const QVector<quint32> &tx, QVector<quint32> *rx);
    int exchangeSocket(const char *tx, int bytes, char *rx);
    int exchangeDatagram(const char *tx, int bytes, char *rx);
    int configureDevice(const SpiSettings &wanted, SpiSettings *actual);
    int sendSettings(const SpiSettings &wanted, SpiSettings *actual);
    int connectSocket();

    enum class Kind { None, Device, Socket };
    int m_fd = -1;
    Kind m_kind = Kind::None;
    QString m_path;
    int m_socketTimeoutMs = 1000;
    bool m_configured = false; // a socket peer is told m_settings again after a reconnect
    SpiSettings m_settings;
};

} // namespace platform
