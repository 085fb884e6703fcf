#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>
#include <QWaitCondition>

#include <memory>

namespace platform {

// The stand-in for the USBTMC gadget module under a board root: the host's side of the USB
// device port, driven by a test. It listens on a SOCK_SEQPACKET socket at the mapped
// "/dev/g_usbtmc"; UsbGadget::open() connects to it twice, first the control channel, then the
// bulk channel. One datagram each way per record:
//
//   control, stand-in -> device   'S' + 8 setup bytes (little-endian words): a class request
//                                 'E' + errno byte: the setup wait fails with it
//   control, device -> stand-in   'A' + bytes: the answer prepared for the last class request
//                                 'T' + stb: the status byte reported to the host
//                                 'D' + state: the device-clear state (1 or 2)
//   bulk, stand-in -> device      one Bulk-OUT transfer, as the host sends it
//   bulk, device -> stand-in      one Bulk-IN transfer, as the device writes it
//
// Bulk-OUT data wake the device as the module does: after the transfer the control channel
// carries 'E' EPERM, upon which the device reads its bulk endpoint until it is empty.
// What the device sends is collected by a thread of the stand-in, with the time of arrival.
class UsbGadgetStandIn
{
public:
    struct Record
    {
        char kind = 0; // 'A', 'T', 'D' or 'I' (a Bulk-IN transfer)
        QByteArray data;
        qint64 ms = 0; // since the stand-in was made
    };

    // Listens at the mapped path of boardDevicePath (the stand-in of "/dev/g_usbtmc").
    explicit UsbGadgetStandIn(const QString &boardDevicePath = QStringLiteral("/dev/g_usbtmc"));
    ~UsbGadgetStandIn();
    UsbGadgetStandIn(const UsbGadgetStandIn &) = delete;
    UsbGadgetStandIn &operator=(const UsbGadgetStandIn &) = delete;

    bool isListening() const;
    // Waits until the device has connected both channels.
    bool waitConnected(int timeoutMs = 5000);

    bool sendSetup(unsigned char bmRequestType,
        unsigned char bRequest,
        unsigned short wValue = 0,
        unsigned short wIndex = 0,
        unsigned short wLength = 0);
    bool sendSetupError(int error);
    // One Bulk-OUT transfer, then the wake-up (EPERM) on the control channel.
    bool sendBulkOut(const QByteArray &transfer);

    // Waits for the next record of that kind and takes it; an empty record with kind 0 when
    // none came in time.
    Record take(char kind, int timeoutMs = 5000);
    // Every record of that kind received so far, oldest first, without taking them.
    QList<Record> records(char kind) const;

private:
    class Collector;
    bool sendControl(const QByteArray &record);

    const QString m_path;
    int m_listen = -1;
    // Guards m_control, m_bulk and m_records; m_arrived is signalled on every change.
    mutable QMutex m_mutex;
    QWaitCondition m_arrived;
    int m_control = -1;
    int m_bulk = -1;
    QList<Record> m_records;
    std::unique_ptr<Collector> m_collector;
};

} // namespace platform
