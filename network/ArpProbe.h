#pragma once

#include "network/ArpSocket.h"

#include <QObject>
#include <QTimer>

#include <memory>

class QSocketNotifier;

// One ARP probe of an address on the event loop of the thread it lives in: up to tries probes,
// each followed by a window in which every ARP payload received is tested. The thread serves
// its other work meanwhile; nothing here waits.
class ArpProbe : public QObject
{
    Q_OBJECT

public:
    // windowMs: the wait after each probe (1 s on the board; tests shorten it).
    explicit ArpProbe(std::unique_ptr<ArpSocket> socket, int windowMs = 1000);
    ~ArpProbe() override;

    // Starts probing; a probe under way is given up first.
    void start(const ArpSocket::Address &address, int tries);
    // Gives the probe up without a finished() signal.
    void cancel();
    bool running() const { return m_window.isActive(); }
    const ArpSocket::Address &address() const { return m_address; }
    // For the address setting that follows a probe.
    ArpSocket &socket() { return *m_socket; }

signals:
    // Once per start: true as soon as a host answered, false after the last window. The
    // receiver may delete the probe (deleteLater) or start it again.
    void finished(bool answered);

private:
    void sendProbe();
    void onReadable();
    void onWindowEnd();
    void finish(bool answered);

    const std::unique_ptr<ArpSocket> m_socket;
    QSocketNotifier *m_notifier = nullptr; // child; null when the link could not be opened
    QTimer m_window { this };
    ArpSocket::Address m_address {};
    int m_triesLeft = 0;
};
