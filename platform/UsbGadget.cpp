#include "platform/UsbGadget.h"

#include "platform/BoardPath.h"

#include <atomic>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

// The gadget module's requests (its own numbering, not the kernel's USB ones).
constexpr unsigned long WaitSetupRequest = 0x80087421ul;
constexpr unsigned long StatusByteRequest = 0xC0017480ul;
constexpr unsigned long ClearStateRequest = 0xC0027406ul;

class CharDeviceGadget : public UsbGadget
{
public:
    explicit CharDeviceGadget(int fd)
        : m_fd(fd)
    { }
    ~CharDeviceGadget() override { close(); }

    int waitSetup(UsbSetupPacket *setup) override
    {
        unsigned char raw[8] = {};
        if (::ioctl(m_fd, WaitSetupRequest, raw) < 0)
            return -errno;
        setup->bmRequestType = raw[0];
        setup->bRequest = raw[1];
        setup->wValue = std::uint16_t(raw[2] | raw[3] << 8);
        setup->wIndex = std::uint16_t(raw[4] | raw[5] << 8);
        setup->wLength = std::uint16_t(raw[6] | raw[7] << 8);
        return 0;
    }
    int setStatusByte(unsigned char stb) override
    {
        return ::ioctl(m_fd, StatusByteRequest, (unsigned long)stb) < 0 ? -errno : 0;
    }
    int setClearState(int state) override
    {
        return ::ioctl(m_fd, ClearStateRequest, (unsigned long)state) < 0 ? -errno : 0;
    }
    int read(char *data, int size) override
    {
        const ssize_t n = ::read(m_fd, data, size_t(size));
        return n < 0 ? -errno : int(n);
    }
    int write(const char *data, int size) override
    {
        const ssize_t n = ::write(m_fd, data, size_t(size));
        return n < 0 ? -errno : int(n);
    }
    int answerSetup(const char *, int) override { return 0; }
    void close() override
    {
        const int fd = m_fd.exchange(-1);
        if (fd >= 0)
            ::close(fd);
    }

private:
    std::atomic<int> m_fd;
};

int connectTo(const QByteArray &path, char hello)
{
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof(addr.sun_path))
        return -ENAMETOOLONG;
    std::memcpy(addr.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -errno;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof(addr)) != 0
        || ::send(fd, &hello, 1, MSG_NOSIGNAL) != 1) {
        const int err = errno;
        ::close(fd);
        return -err;
    }
    return fd;
}

// The stand-in's two channels (protocol in UsbGadgetStandIn.h).
class SocketGadget : public UsbGadget
{
public:
    SocketGadget(int control, int bulk)
        : m_control(control)
        , m_bulk(bulk)
    { }
    ~SocketGadget() override
    {
        close();
        ::close(m_control);
        ::close(m_bulk);
    }

    int waitSetup(UsbSetupPacket *setup) override
    {
        unsigned char raw[16];
        for (;;) {
            const ssize_t n = ::recv(m_control, raw, sizeof raw, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return -errno;
            if (n == 0 || m_closed.load())
                return -EBADF;
            if (raw[0] == 'E' && n == 2)
                return -int(raw[1]);
            if (raw[0] == 'S' && n == 9) {
                setup->bmRequestType = raw[1];
                setup->bRequest = raw[2];
                setup->wValue = std::uint16_t(raw[3] | raw[4] << 8);
                setup->wIndex = std::uint16_t(raw[5] | raw[6] << 8);
                setup->wLength = std::uint16_t(raw[7] | raw[8] << 8);
                return 0;
            }
            // Anything else is not a record of this protocol: the wait goes on.
        }
    }
    int setStatusByte(unsigned char stb) override { return sendRecord('T', char(stb)); }
    int setClearState(int state) override { return sendRecord('D', char(state)); }
    int read(char *data, int size) override
    {
        const ssize_t n = ::recv(m_bulk, data, size_t(size), MSG_DONTWAIT);
        if (n < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -errno;
        return int(n);
    }
    int write(const char *data, int size) override
    {
        const ssize_t n = ::send(m_bulk, data, size_t(size), MSG_NOSIGNAL);
        return n < 0 ? -errno : int(n);
    }
    int answerSetup(const char *data, int size) override
    {
        QByteArray record(1, 'A');
        record.append(data, size);
        const ssize_t n =
            ::send(m_control, record.constData(), size_t(record.size()), MSG_NOSIGNAL);
        return n < 0 ? -errno : 0;
    }
    void close() override
    {
        // Shutting the channels down ends a blocked wait; the descriptors stay valid until
        // the gadget is destroyed, so no other thread ever uses a reused number.
        if (m_closed.exchange(true))
            return;
        ::shutdown(m_control, SHUT_RDWR);
        ::shutdown(m_bulk, SHUT_RDWR);
    }

private:
    int sendRecord(char kind, char value)
    {
        const char record[2] = { kind, value };
        return ::send(m_control, record, 2, MSG_NOSIGNAL) == 2 ? 0 : -errno;
    }

    const int m_control;
    const int m_bulk;
    std::atomic<bool> m_closed { false };
};

} // namespace

int UsbGadget::open(const QString &boardDevicePath, std::unique_ptr<UsbGadget> *gadget)
{
    const QByteArray path = BoardPath::map(boardDevicePath).toLocal8Bit();
    struct stat st;
    if (::stat(path.constData(), &st) != 0)
        return -errno;
    const bool underRoot = !BoardPath::root().isEmpty();
    if (S_ISCHR(st.st_mode) && !underRoot) {
        const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return -errno;
        *gadget = std::make_unique<CharDeviceGadget>(fd);
        return 0;
    }
    if (!S_ISSOCK(st.st_mode) || !underRoot)
        return -ENOTTY;
    const int control = connectTo(path, 'C');
    if (control < 0)
        return control;
    const int bulk = connectTo(path, 'B');
    if (bulk < 0) {
        ::close(control);
        return bulk;
    }
    *gadget = std::make_unique<SocketGadget>(control, bulk);
    return 0;
}

} // namespace platform
