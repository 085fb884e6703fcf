#include "sim/BoardServer.h"

#include <QDir>
#include <QFile>

#include <algorithm>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace sim {

namespace {
constexpr int MaxDatagram = 1 << 20;
constexpr int MaxControlLine = 1 << 16;
constexpr int SettingsDatagram = 21;
constexpr char SettingsMagic[] = "VEKSPICF";

bool toAddress(const QString &path, sockaddr_un *addr)
{
    const QByteArray native = QFile::encodeName(path);
    std::memset(addr, 0, sizeof(*addr));
    addr->sun_family = AF_UNIX;
    if (size_t(native.size()) >= sizeof(addr->sun_path))
        return false;
    std::memcpy(addr->sun_path, native.constData(), size_t(native.size()));
    return true;
}
} // namespace

BoardServer::BoardServer(Board &board, ConfigFlash &flash, BootController *boot)
    : m_board(board)
    , m_flash(flash)
    , m_boot(boot)
    , m_control(board, boot, &flash)
    , m_buffer(MaxDatagram, '\0')
{ }

BoardServer::~BoardServer()
{
    closeAll();
}

qint64 BoardServer::nowMicros()
{
    timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

bool BoardServer::listen(const QString &root, QString *error)
{
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGINT);
    ::sigprocmask(SIG_BLOCK, &mask, nullptr);
    const int sfd = ::signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
    if (sfd < 0) {
        *error = QStringLiteral("signalfd: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_peers.push_back({ sfd, Kind::Signal, {}, {}, {} });
    const QString dir = QDir(root).absolutePath();
    return bindSocket(
               dir + QStringLiteral("/dev/spidev1.0"), SOCK_SEQPACKET, Kind::SpiListen, error)
        && bindSocket(
            dir + QStringLiteral("/dev/spidev1.1"), SOCK_SEQPACKET, Kind::FlashListen, error)
        && bindSocket(
            dir + QStringLiteral("/run/powerboard.ctl"), SOCK_STREAM, Kind::ControlListen, error);
}

bool BoardServer::bindSocket(const QString &path, int type, Kind kind, QString *error)
{
    sockaddr_un addr;
    if (!toAddress(path, &addr)) {
        *error = QStringLiteral("socket path too long: %1").arg(path);
        return false;
    }
    const int fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        *error = QStringLiteral("socket: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // A socket file left by a board that died is replaced; one that answers is in use.
    struct stat st;
    if (::lstat(addr.sun_path, &st) == 0 && S_ISSOCK(st.st_mode)) {
        const int probe = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
        const bool inUse =
            ::connect(probe, reinterpret_cast<const sockaddr *>(&addr), sizeof(addr)) == 0;
        ::close(probe);
        if (inUse) {
            ::close(fd);
            *error = QStringLiteral("%1 is served by another board").arg(path);
            return false;
        }
        ::unlink(addr.sun_path);
    }
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof(addr)) != 0
        || ::listen(fd, 16) != 0) {
        *error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        ::close(fd);
        return false;
    }
    m_peers.push_back({ fd, kind, {}, {}, {} });
    m_paths << path;
    return true;
}

void BoardServer::run()
{
    bool stop = false;
    std::vector<pollfd> fds;
    while (!stop) {
        fds.clear();
        for (const Peer &p : m_peers) {
            const short events = p.out.isEmpty() ? POLLIN : short(POLLIN | POLLOUT);
            fds.push_back({ p.fd, events, 0 });
        }
        // The boot controller follows the USB route while the controller is in ISP mode.
        const int timeout = m_boot ? m_boot->pollTimeoutMs() : -1;
        if (::poll(fds.data(), nfds_t(fds.size()), timeout) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (m_boot)
            m_boot->tick(nowMicros());
        // New peers are appended behind the polled ones; closed ones are swept afterwards.
        const size_t polled = fds.size();
        for (size_t i = 0; i < polled; ++i) {
            if (fds[i].revents == 0)
                continue;
            Peer &peer = m_peers[i];
            bool keep = true;
            switch (peer.kind) {
            case Kind::Signal:
                stop = true;
                break;
            case Kind::SpiListen:
            case Kind::FlashListen:
            case Kind::ControlListen:
                accept(m_peers[i]);
                break;
            case Kind::Spi:
            case Kind::Flash:
                keep = serveDatagram(peer);
                break;
            case Kind::Control:
                keep = (fds[i].revents & POLLOUT ? flush(peer) : true)
                    && (fds[i].revents & (POLLIN | POLLHUP | POLLERR) ? serveControl(peer) : true);
                break;
            }
            if (!keep) {
                ::close(m_peers[i].fd);
                m_peers[i].fd = -1;
            }
        }
        m_peers.erase(std::remove_if(m_peers.begin(),
                          m_peers.end(),
                          [](const Peer &p) {
                              return p.fd < 0;
                          }),
            m_peers.end());
    }
    closeAll();
}

void BoardServer::accept(const Peer &listener)
{
    const int fd = ::accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return;
    const Kind kind = listener.kind == Kind::SpiListen ? Kind::Spi
        : listener.kind == Kind::FlashListen           ? Kind::Flash
                                                       : Kind::Control;
    m_peers.push_back({ fd, kind, {}, {}, {} });
}

bool BoardServer::serveDatagram(Peer &peer)
{
    const ssize_t n = ::recv(peer.fd, m_buffer.data(), size_t(m_buffer.size()), MSG_TRUNC);
    if (n < 0)
        return errno == EAGAIN || errno == EINTR;
    if (n == 0)
        return false;
    const qint64 now = nowMicros();
    if (n == SettingsDatagram && std::memcmp(m_buffer.constData(), SettingsMagic, 8) == 0)
        return serveSettings(peer, int(n));
    QByteArray reply;
    if (peer.kind == Kind::Flash) {
        reply = m_flash.exchange(
            QByteArray(m_buffer.constData(), int(std::min<ssize_t>(n, MaxDatagram))));
        reply.resize(int(n));
    } else {
        switch (m_board.takeFailure()) {
        case Board::Failure::Close:
            return false;
        case Board::Failure::Silent:
            return true;
        case Board::Failure::None:
            break;
        }
        if (n > MaxDatagram || n % 4 != 0) {
            // Not a run of whole words, or more than any message the program builds.
            reply = QByteArray(int(n), '\0');
        } else if (peer.spi.set && m_boot) {
            QVector<quint32> words(int(n / 4));
            std::memcpy(words.data(), m_buffer.constData(), size_t(n));
            m_boot->receive(words, now);
            reply = QByteArray(int(n), '\0');
        } else {
            QVector<quint32> words(int(n / 4));
            std::memcpy(words.data(), m_buffer.constData(), size_t(n));
            const QVector<quint32> answer = m_board.exchange(words, now);
            reply = QByteArray(reinterpret_cast<const char *>(answer.constData()), int(n));
        }
    }
    const ssize_t sent = ::send(peer.fd, reply.constData(), size_t(reply.size()), MSG_NOSIGNAL);
    return sent == reply.size();
}

// The board takes the settings as asked: every mode and word length is one it can clock.
bool BoardServer::serveSettings(Peer &peer, int size)
{
    quint32 fields[3];
    std::memcpy(fields, m_buffer.constData() + 8, sizeof(fields));
    peer.spi = { true, fields[0] & 3, fields[1], fields[2] };
    QByteArray reply(m_buffer.constData(), size);
    const quint32 inForce[3] = { peer.spi.mode, peer.spi.bitsPerWord, peer.spi.maxSpeedHz };
    std::memcpy(reply.data() + 8, inForce, sizeof(inForce));
    const ssize_t sent = ::send(peer.fd, reply.constData(), size_t(size), MSG_NOSIGNAL);
    return sent == size;
}

bool BoardServer::serveControl(Peer &peer)
{
    char chunk[4096];
    const ssize_t n = ::recv(peer.fd, chunk, sizeof(chunk), 0);
    if (n < 0)
        return errno == EAGAIN || errno == EINTR;
    if (n == 0)
        return false;
    peer.in.append(chunk, int(n));
    int end;
    while ((end = peer.in.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(peer.in.left(end)).trimmed();
        peer.in.remove(0, end + 1);
        for (const QString &reply : m_control.handle(line, nowMicros()))
            peer.out += reply.toUtf8() + '\n';
    }
    if (peer.in.size() > MaxControlLine)
        return false;
    return flush(peer);
}

bool BoardServer::flush(Peer &peer)
{
    while (!peer.out.isEmpty()) {
        const ssize_t n =
            ::send(peer.fd, peer.out.constData(), size_t(peer.out.size()), MSG_NOSIGNAL);
        if (n < 0)
            return errno == EAGAIN || errno == EINTR;
        peer.out.remove(0, int(n));
    }
    return true;
}

void BoardServer::closeAll()
{
    for (Peer &p : m_peers) {
        if (p.fd >= 0)
            ::close(p.fd);
    }
    m_peers.clear();
    for (const QString &path : m_paths)
        ::unlink(QFile::encodeName(path).constData());
    m_paths.clear();
}

} // namespace sim
