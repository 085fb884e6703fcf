#pragma once

#include <QString>
#include <QVector>

namespace platform {

// One SPI device as the program sees it: a run of 32-bit words goes out, as many come back.
// The device path is a board path. A character device is driven with the spidev ioctls
// (12 MHz, 32 bits per word, no delay, the device's own mode left in place); a Unix
// SOCK_SEQPACKET socket is the simulated board, one datagram each way carrying exactly the words
// spidev would clock; anything else fails like a missing device.
// Not thread-safe: the owner serialises transfers (the controller link holds its SPI mutex).
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

    // A failed socket exchange drops the connection (a late answer must never be taken for the
    // next one); the next transfer connects again.
    // Bound on waiting for the simulated board's answer, in milliseconds.
    void setSocketTimeout(int ms) { m_socketTimeoutMs = ms; }

private:
    int transferDevice(const QVector<quint32> &tx, QVector<quint32> *rx);
    int transferSocket(const QVector<quint32> &tx, QVector<quint32> *rx);
    int connectSocket();

    enum class Kind { None, Device, Socket };
    int m_fd = -1;
    Kind m_kind = Kind::None;
    QString m_path;
    int m_socketTimeoutMs = 1000;
};

} // namespace platform
