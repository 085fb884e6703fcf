#include "platform/SpiPort.h"

#include "platform/BoardPath.h"

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
}

int SpiPort::transfer(const QVector<quint32> &tx, QVector<quint32> *rx)
{
    if (m_kind == Kind::None)
        return -ENODEV;
    if (tx.isEmpty())
        return 0;
    if (m_kind == Kind::Device)
        return transferDevice(tx, rx);

    // A simulated board that went away is looked for again on every transfer, so the link
    // recovers by itself once the board is back.
    if (m_fd < 0) {
        const int rc = connectSocket();
        if (rc != 0)
            return rc;
    }
    const int rc = transferSocket(tx, rx);
    if (rc != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    return rc;
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
    const size_t bytes = size_t(tx.size()) * sizeof(quint32);
    const ssize_t sent = ::send(m_fd, tx.constData(), bytes, MSG_NOSIGNAL);
    if (sent < 0)
        return -errno;
    if (size_t(sent) != bytes)
        return -EIO;

    // The simulated board answers every message with a datagram of the same length, also for
    // writes, so that a reply never lingers to be mistaken for the next read's.
    pollfd pfd { m_fd, POLLIN, 0 };
    int ready;
    do {
        ready = ::poll(&pfd, 1, m_socketTimeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0)
        return -errno;
    if (ready == 0)
        return -ETIMEDOUT;

    QVector<quint32> in(tx.size());
    const ssize_t got = ::recv(m_fd, in.data(), bytes, MSG_TRUNC);
    if (got < 0)
        return -errno;
    if (got == 0)
        return -ECONNRESET;
    if (size_t(got) != bytes)
        return -EPROTO;
    if (rx)
        *rx = in;
    return 0;
}

} // namespace platform
