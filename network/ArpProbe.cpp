#include "network/ArpProbe.h"

#include <QSocketNotifier>

ArpProbe::ArpProbe(std::unique_ptr<ArpSocket> socket, int windowMs)
    : m_socket(std::move(socket))
{
    m_window.setSingleShot(true);
    m_window.setInterval(windowMs);
    connect(&m_window, &QTimer::timeout, this, &ArpProbe::onWindowEnd);
    // A link that could not be opened sends and receives nothing: every window passes silent
    // and the address counts as free.
    if (m_socket->descriptor() >= 0) {
        m_notifier = new QSocketNotifier(m_socket->descriptor(), QSocketNotifier::Read, this);
        m_notifier->setEnabled(false);
        connect(m_notifier, &QSocketNotifier::activated, this, &ArpProbe::onReadable);
    }
}

ArpProbe::~ArpProbe() = default;

void ArpProbe::start(const ArpSocket::Address &address, int tries)
{
    cancel();
    m_address = address;
    m_triesLeft = tries;
    if (m_notifier)
        m_notifier->setEnabled(true);
    sendProbe();
}

void ArpProbe::cancel()
{
    m_window.stop();
    m_triesLeft = 0;
    if (m_notifier)
        m_notifier->setEnabled(false);
}

void ArpProbe::sendProbe()
{
    --m_triesLeft;
    // A failed send still takes its window, as a probe nobody answered.
    m_socket->sendProbe(m_address.data());
    m_window.start();
}

void ArpProbe::onReadable()
{
    if (m_window.isActive() && m_socket->readAnswer(m_address.data()))
        finish(true);
}

void ArpProbe::onWindowEnd()
{
    // What arrived by the window's end still counts.
    if (m_socket->readAnswer(m_address.data()))
        finish(true);
    else if (m_triesLeft > 0)
        sendProbe();
    else
        finish(false);
}

void ArpProbe::finish(bool answered)
{
    cancel();
    emit finished(answered);
}
