#include "platform/UsbGadgetStandIn.h"

#include "platform/BoardPath.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

// Accepts the device's two connections and collects what it sends until it is stopped.
class UsbGadgetStandIn::Collector : public QThread
{
public:
    explicit Collector(UsbGadgetStandIn *owner)
        : m_owner(owner)
        , m_wake(::eventfd(0, EFD_CLOEXEC))
    {
        m_clock.start();
    }
    ~Collector() override
    {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wake, &one, sizeof one);
        wait();
        ::close(m_wake);
    }

protected:
    void run() override
    {
        QByteArray buffer(64 * 1024, 0);
        for (;;) {
            int control = -1;
            int bulk = -1;
            {
                QMutexLocker lock(&m_owner->m_mutex);
                control = m_owner->m_control;
                bulk = m_owner->m_bulk;
            }
            pollfd fds[4] = { { m_wake, POLLIN, 0 },
                { m_owner->m_listen, POLLIN, 0 },
                { control, POLLIN, 0 },
                { bulk, POLLIN, 0 } };
            if (::poll(fds, 4, -1) < 0 && errno != EINTR)
                return;
            if (fds[0].revents)
                return;
            if (fds[1].revents & POLLIN)
                accept();
            if (control >= 0 && fds[2].revents)
                receive(control, &buffer, false);
            if (bulk >= 0 && fds[3].revents)
                receive(bulk, &buffer, true);
        }
    }

private:
    void accept()
    {
        const int fd = ::accept4(m_owner->m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        char hello = 0;
        pollfd p { fd, POLLIN, 0 };
        if (::poll(&p, 1, 2000) != 1 || ::recv(fd, &hello, 1, 0) != 1
            || (hello != 'C' && hello != 'B')) {
            ::close(fd);
            return;
        }
        QMutexLocker lock(&m_owner->m_mutex);
        int &slot = hello == 'C' ? m_owner->m_control : m_owner->m_bulk;
        if (slot >= 0)
            ::close(slot);
        slot = fd;
        m_owner->m_arrived.wakeAll();
    }

    void receive(int fd, QByteArray *buffer, bool bulk)
    {
        const ssize_t n = ::recv(fd, buffer->data(), size_t(buffer->size()), MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        QMutexLocker lock(&m_owner->m_mutex);
        if (n <= 0) {
            // The device closed the channel: forget it, so poll does not spin on it.
            int &slot = bulk ? m_owner->m_bulk : m_owner->m_control;
            if (slot == fd) {
                ::close(fd);
                slot = -1;
            }
            m_owner->m_arrived.wakeAll();
            return;
        }
        Record record;
        record.ms = m_clock.elapsed();
        if (bulk) {
            record.kind = 'I';
            record.data = buffer->left(int(n));
        } else {
            record.kind = buffer->at(0);
            record.data = buffer->mid(1, int(n) - 1);
        }
        m_owner->m_records << record;
        m_owner->m_arrived.wakeAll();
    }

    UsbGadgetStandIn *const m_owner;
    const int m_wake;
    QElapsedTimer m_clock;
};

UsbGadgetStandIn::UsbGadgetStandIn(const QString &boardDevicePath)
    : m_path(BoardPath::map(boardDevicePath))
{
    QDir().mkpath(QFileInfo(m_path).path());
    ::unlink(m_path.toLocal8Bit().constData());
    const QByteArray native = m_path.toLocal8Bit();
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    if (size_t(native.size()) >= sizeof(addr.sun_path))
        return;
    std::memcpy(addr.sun_path, native.constData(), size_t(native.size()));
    m_listen = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (m_listen < 0)
        return;
    if (::bind(m_listen, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0
        || ::listen(m_listen, 4) != 0) {
        ::close(m_listen);
        m_listen = -1;
        return;
    }
    m_collector = std::make_unique<Collector>(this);
    m_collector->start();
}

UsbGadgetStandIn::~UsbGadgetStandIn()
{
    m_collector.reset();
    for (const int fd : { m_control, m_bulk, m_listen }) {
        if (fd >= 0)
            ::close(fd);
    }
    ::unlink(m_path.toLocal8Bit().constData());
}

bool UsbGadgetStandIn::isListening() const
{
    return m_listen >= 0;
}

bool UsbGadgetStandIn::waitConnected(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&m_mutex);
    while (m_control < 0 || m_bulk < 0) {
        if (!m_arrived.wait(&m_mutex, deadline))
            return false;
    }
    return true;
}

bool UsbGadgetStandIn::sendSetup(unsigned char bmRequestType,
    unsigned char bRequest,
    unsigned short wValue,
    unsigned short wIndex,
    unsigned short wLength)
{
    const char record[9] = { 'S',
        char(bmRequestType),
        char(bRequest),
        char(wValue & 0xff),
        char(wValue >> 8),
        char(wIndex & 0xff),
        char(wIndex >> 8),
        char(wLength & 0xff),
        char(wLength >> 8) };
    return sendControl(QByteArray(record, 9));
}

bool UsbGadgetStandIn::sendSetupError(int error)
{
    return sendControl(QByteArray(1, 'E') + char(error));
}

bool UsbGadgetStandIn::sendBulkOut(const QByteArray &transfer)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_bulk < 0
            || ::send(m_bulk, transfer.constData(), size_t(transfer.size()), MSG_NOSIGNAL)
                != transfer.size())
            return false;
    }
    return sendSetupError(EPERM);
}

bool UsbGadgetStandIn::sendControl(const QByteArray &record)
{
    QMutexLocker lock(&m_mutex);
    return m_control >= 0
        && ::send(m_control, record.constData(), size_t(record.size()), MSG_NOSIGNAL)
        == record.size();
}

UsbGadgetStandIn::Record UsbGadgetStandIn::take(char kind, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&m_mutex);
    for (;;) {
        for (int i = 0; i < m_records.size(); ++i) {
            if (m_records.at(i).kind == kind)
                return m_records.takeAt(i);
        }
        if (!m_arrived.wait(&m_mutex, deadline))
            return {};
    }
}

QList<UsbGadgetStandIn::Record> UsbGadgetStandIn::records(char kind) const
{
    QMutexLocker lock(&m_mutex);
    QList<Record> found;
    for (const Record &record : m_records) {
        if (record.kind == kind)
            found << record;
    }
    return found;
}

} // namespace platform
