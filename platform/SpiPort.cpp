#include "platform/SpiPort.h"

#include "platform/BoardPath.h"

#include <QByteArray>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/spi/spidev.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

SpiPort::~SpiPort()
{
    close();
}

int SpiPort::open(const QString &boardPath)
{
    close();
    m_path = BoardPath::map(boardPath);
    const QByteArray native = m_path.toLocal8Bit();

    struct stat st;
    if (::stat(native.constData(), &st) != 0)
        return -errno;

    if (S_ISCHR(st.st_mode)) {
        const int fd = ::open(native.constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return -errno;
        m_fd = fd;
        m_kind = Kind::Device;
        return 0;
    }

    if (S_ISSOCK(st.st_mode)) {
        m_kind = Kind::Socket;
        return connectSocket();
    }

    return -ENODEV;
}

int SpiPort::connectSocket()
{
    const QByteArray native = m_path.toLocal8Bit();
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    if (size_t(native.size()) >= sizeof(addr.sun_path))
        return -ENAMETOOLONG;
    std::memcpy(addr.sun_path, native.constData(), size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -errno;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof(addr)) != 0) {
        const int err = errno;
        ::close(fd);
        return -err;
    }
    m_fd = fd;
    return 0;
}

void SpiPort::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_kind = Kind::None;
    m_configured = false;
}

int SpiPort::transfer(const QVector<quint32> &tx, QVector<quint32> *rx)
{
    if (m_kind == Kind::None)
        return -ENODEV;
    if (tx.isEmpty())
        return 0;
    if (m_kind == Kind::Device)
        return transferDevice(tx, rx);
    return transferSocket(tx, rx);
}

int SpiPort::transferDevice(const QVector<quint32> &tx, QVector<quint32> *rx)
{
    QVector<quint32> in;
    spi_ioc_transfer xfer;
    std::memset(&xfer, 0, sizeof(xfer));
    xfer.tx_buf = reinterpret_cast<quintptr>(tx.constData());
    xfer.len = quint32(tx.size()) * sizeof(quint32);
    xfer.speed_hz = ClockHz;
    xfer.bits_per_word = 32;
    xfer.delay_usecs = 0;
    if (rx) {
        in.resize(tx.size());
        xfer.rx_buf = reinterpret_cast<quintptr>(in.data());
    }
    if (::ioctl(m_fd, SPI_IOC_MESSAGE(1), &xfer) < 0)
        return -errno;
    if (rx)
        *rx = in;
    return 0;
}

int SpiPort::transferSocket(const QVector<quint32> &tx, QVector<quint32> *rx)
{
    QVector<quint32> in(tx.size());
    const int rc = exchangeSocket(reinterpret_cast<const char *>(tx.constData()),
        tx.size() * int(sizeof(quint32)),
        reinterpret_cast<char *>(in.data()));
    if (rc == 0 && rx)
        *rx = in;
    return rc;
}

int SpiPort::exchangeSocket(const char *tx, int bytes, char *rx)
{
    // A simulated board that went away is looked for again on every transfer, so the link
    // recovers by itself once the board is back; the new connection is told the settings.
    if (m_fd < 0) {
        int rc = connectSocket();
        if (rc == 0 && m_configured)
            rc = sendSettings(m_settings, nullptr);
        if (rc != 0)
            return rc;
    }
    return exchangeDatagram(tx, bytes, rx);
}

int SpiPort::exchangeDatagram(const char *tx, int bytes, char *rx)
{
    const int rc = [&] {
        const ssize_t sent = ::send(m_fd, tx, size_t(bytes), MSG_NOSIGNAL);
        if (sent < 0)
            return -errno;
        if (sent != bytes)
            return -EIO;

        // The simulated board answers every message with a datagram of the same length, also
        // for writes, so that a reply never lingers to be mistaken for the next read's.
        pollfd pfd { m_fd, POLLIN, 0 };
        int ready;
        do {
            ready = ::poll(&pfd, 1, m_socketTimeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (ready < 0)
            return -errno;
        if (ready == 0)
            return -ETIMEDOUT;

        QByteArray in(bytes, '\0');
        const ssize_t got = ::recv(m_fd, in.data(), size_t(bytes), MSG_TRUNC);
        if (got < 0)
            return -errno;
        if (got == 0)
            return -ECONNRESET;
        if (got != bytes)
            return -EPROTO;
        if (rx)
            std::memcpy(rx, in.constData(), size_t(bytes));
        return 0;
    }();
    if (rc != 0) {
        // A failed exchange drops the connection: a late answer must never be taken for the
        // next one.
        ::close(m_fd);
        m_fd = -1;
    }
    return rc;
}

int SpiPort::configure(const SpiSettings &wanted, SpiSettings *actual)
{
    if (m_kind == Kind::None)
        return -ENODEV;
    if (m_kind == Kind::Device)
        return configureDevice(wanted, actual);
    if (m_fd < 0) {
        const int rc = connectSocket();
        if (rc != 0)
            return rc;
    }
    const int rc = sendSettings(wanted, actual);
    if (rc == 0) {
        m_settings = wanted;
        m_configured = true;
    }
    return rc;
}

int SpiPort::configureDevice(const SpiSettings &wanted, SpiSettings *actual)
{
    SpiSettings got;
    quint8 mode = wanted.mode;
    quint8 bits = wanted.bitsPerWord;
    quint32 speed = wanted.maxSpeedHz;
    int rc = 0;
    auto request = [&](unsigned long code, void *value) {
        if (::ioctl(m_fd, code, value) < 0 && rc == 0)
            rc = -errno;
    };
    request(SPI_IOC_WR_MODE, &mode);
    request(SPI_IOC_RD_MODE, &got.mode);
    request(SPI_IOC_WR_BITS_PER_WORD, &bits);
    request(SPI_IOC_RD_BITS_PER_WORD, &got.bitsPerWord);
    request(SPI_IOC_WR_MAX_SPEED_HZ, &speed);
    request(SPI_IOC_RD_MAX_SPEED_HZ, &got.maxSpeedHz);
    if (actual)
        *actual = got;
    return rc;
}

namespace {
constexpr int SettingsDatagram = 21;
constexpr char SettingsMagic[9] = "VEKSPICF";
} // namespace

int SpiPort::sendSettings(const SpiSettings &wanted, SpiSettings *actual)
{
    char out[SettingsDatagram] = {};
    std::memcpy(out, SettingsMagic, 8);
    const quint32 fields[3] = { wanted.mode, wanted.bitsPerWord, wanted.maxSpeedHz };
    std::memcpy(out + 8, fields, sizeof(fields));
    char in[SettingsDatagram];
    const int rc = exchangeDatagram(out, SettingsDatagram, in);
    if (rc != 0)
        return rc;
    quint32 got[3];
    std::memcpy(got, in + 8, sizeof(got));
    if (std::memcmp(in, SettingsMagic, 8) != 0 || got[0] > 3 || got[1] > 32) {
        ::close(m_fd);
        m_fd = -1;
        return -EPROTO;
    }
    if (actual)
        *actual = SpiSettings { quint8(got[0]), quint8(got[1]), got[2] };
    return 0;
}

int SpiPort::message(const spi_ioc_transfer *transfers, int count)
{
    if (m_kind == Kind::None)
        return -ENODEV;
    if (count <= 0)
        return 0;
    if (m_kind == Kind::Device) {
        const unsigned long request =
            _IOC(_IOC_WRITE, SPI_IOC_MAGIC, 0, SPI_MSGSIZE(unsigned(count)));
        return ::ioctl(m_fd, request, transfers) < 0 ? -errno : 0;
    }
    // One datagram per chip-select period; a chip-select change after the last transfer only
    // keeps the device selected, which a datagram cannot show.
    int first = 0;
    while (first < count) {
        int last = first;
        while (last < count - 1 && !transfers[last].cs_change)
            ++last;
        QByteArray tx;
        for (int i = first; i <= last; ++i) {
            const spi_ioc_transfer &t = transfers[i];
            if (t.tx_buf)
                tx.append(reinterpret_cast<const char *>(quintptr(t.tx_buf)), int(t.len));
            else
                tx.append(QByteArray(int(t.len), '\0'));
        }
        QByteArray rx(tx.size(), '\0');
        const int rc = exchangeSocket(tx.constData(), tx.size(), rx.data());
        if (rc != 0)
            return rc;
        int offset = 0;
        for (int i = first; i <= last; ++i) {
            const spi_ioc_transfer &t = transfers[i];
            if (t.rx_buf)
                std::memcpy(
                    reinterpret_cast<char *>(quintptr(t.rx_buf)), rx.constData() + offset, t.len);
            offset += int(t.len);
        }
        first = last + 1;
    }
    return 0;
}

} // namespace platform
