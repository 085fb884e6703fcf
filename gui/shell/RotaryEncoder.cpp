#include "gui/shell/RotaryEncoder.h"

#include "gui/shell/InputEventDecoder.h"
#include "platform/BoardPath.h"

#include <QFile>
#include <QMutexLocker>

#include <cerrno>
#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace Qt {

RotaryEncoder::RotaryEncoder(const QString &devicePath, int retryPauseMs, int pollBoundMs)
    : m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    , m_devicePath(devicePath)
    , m_retryPauseMs(retryPauseMs)
    , m_pollBoundMs(pollBoundMs)
{ }

RotaryEncoder::~RotaryEncoder()
{
    stop();
    wait();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void RotaryEncoder::stop()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stopRequested = true;
    }
    if (m_wakeFd >= 0) {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wakeFd, &one, sizeof(one));
    }
}

bool RotaryEncoder::stopRequested()
{
    QMutexLocker lock(&m_mutex);
    return m_stopRequested;
}

int RotaryEncoder::openDevice(quint16 *position) const
{
    const QByteArray path = QFile::encodeName(platform::BoardPath::map(m_devicePath));
    const int fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    // A device without the axis, or a FIFO standing in for one, starts from 0.
    struct input_absinfo info = {};
    *position = ::ioctl(fd, EVIOCGABS(ABS_X), &info) == 0 ? quint16(info.value) : 0;
    return fd;
}

void RotaryEncoder::pause(int ms)
{
    struct pollfd wake = { m_wakeFd, POLLIN, 0 };
    if (::poll(&wake, m_wakeFd >= 0 ? 1 : 0, ms) > 0)
        drainWakeUp();
}

void RotaryEncoder::drainWakeUp()
{
    quint64 count = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_wakeFd, &count, sizeof(count));
}

void RotaryEncoder::run()
{
    InputEventDecoder decoder;
    int fd = -1;
    while (!stopRequested()) {
        if (fd < 0) {
            quint16 position = 0;
            fd = openDevice(&position);
            if (fd < 0) {
                pause(m_retryPauseMs);
                continue;
            }
            decoder.reset(position);
        }
        struct pollfd fds[2] = { { fd, POLLIN, 0 }, { m_wakeFd, POLLIN, 0 } };
        const int ready = ::poll(fds, m_wakeFd >= 0 ? 2 : 1, m_pollBoundMs);
        if (ready <= 0)
            continue;
        if (fds[1].revents & POLLIN)
            drainWakeUp();
        if (!(fds[0].revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)))
            continue;
        char buffer[64 * sizeof(struct input_event)];
        const ssize_t n = ::read(fd, buffer, sizeof(buffer));
        if (n > 0) {
            for (short change : decoder.decode(buffer, int(n)))
                Q_EMIT value(change);
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            // The device went away: open it again after a pause.
            ::close(fd);
            fd = -1;
            pause(m_retryPauseMs);
        }
    }
    if (fd >= 0)
        ::close(fd);
    QMutexLocker lock(&m_mutex);
    m_stopRequested = false;
}

} // namespace Qt
