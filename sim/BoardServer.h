#pragma once

#include "sim/Board.h"
#include "sim/BootController.h"
#include "sim/ConfigFlash.h"
#include "sim/ControlProtocol.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace sim {

// The board's sockets under a board root, served by one poll loop in the calling thread:
// dev/spidev1.0 (register link, SOCK_SEQPACKET, one reply datagram per message), dev/spidev1.1
// (configuration flash, same framing in bytes) and run/powerboard.ctl (control lines,
// SOCK_STREAM). Any number of clients, one after another or at once.
// A client may set its connection's SPI device settings with the 21-byte settings datagram
// (platform/SpiPort.h), answered with the settings in force; on dev/spidev1.0 such a connection
// is the maintenance tool, whose frames go to the BootController instead of the Board.
class BoardServer
{
public:
    BoardServer(Board &board, ConfigFlash &flash, BootController *boot = nullptr);
    ~BoardServer();
    BoardServer(const BoardServer &) = delete;
    BoardServer &operator=(const BoardServer &) = delete;

    // Blocks SIGTERM and SIGINT (they end run()) and binds the three sockets.
    bool listen(const QString &root, QString *error);
    // Serves until SIGTERM or SIGINT; then closes and removes the sockets.
    void run();

    static qint64 nowMicros();

private:
    enum class Kind { Signal, SpiListen, FlashListen, ControlListen, Spi, Flash, Control };
    // The SPI device settings a client set on its connection.
    struct SpiSettings
    {
        bool set = false;
        quint32 mode = 0;
        quint32 bitsPerWord = 8;
        quint32 maxSpeedHz = 0;
    };
    struct Peer
    {
        int fd = -1;
        Kind kind = Kind::Spi;
        QByteArray in;
        QByteArray out;
        SpiSettings spi;
    };

    bool bindSocket(const QString &path, int type, Kind kind, QString *error);
    void accept(const Peer &listener);
    bool serveDatagram(Peer &peer);
    bool serveSettings(Peer &peer, int size);
    bool serveControl(Peer &peer);
    bool flush(Peer &peer);
    void closeAll();

    Board &m_board;
    ConfigFlash &m_flash;
    BootController *m_boot; // null: frames of a configured connection are not understood
    ControlProtocol m_control;
    std::vector<Peer> m_peers; // listeners and the signal descriptor first, then clients
    QStringList m_paths;
    QByteArray m_buffer;
};

} // namespace sim
