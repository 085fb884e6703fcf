#pragma once

#include <QString>

#include <cstdint>
#include <memory>

namespace platform {

// One USB setup packet as the gadget hands it over (usb_ctrl_setup, 8 bytes, host order).
struct UsbSetupPacket
{
    std::uint8_t bmRequestType = 0;
    std::uint8_t bRequest = 0;
    std::uint16_t wValue = 0;
    std::uint16_t wIndex = 0;
    std::uint16_t wLength = 0;
};

// The USBTMC gadget's character device ("/dev/g_usbtmc"), which acts on the machine's USB
// device port. Every call is safe from any thread (the control endpoint, the bulk endpoint and
// the service each use their own calls at once). Results are 0 or a byte count, else -errno.
//
// open() picks the backend from what the mapped board path is:
//   character device  the gadget module: ioctls 0x80087421 (wait for a setup packet),
//                     0xC0017480 (status byte), 0xC0027406 (device-clear state), read, write;
//   Unix socket       (only under a board root) the stand-in gadget a test or desktop drives,
//                     UsbGadgetStandIn; the protocol is documented there.
// Under a board root anything but a socket is refused, so a desktop never reaches a host's USB.
class UsbGadget
{
public:
    virtual ~UsbGadget() = default;

    // Opens the device read-write. Returns 0 (and *gadget), -ENOENT, -ENOTTY (neither a
    // character device nor, under a board root, a socket) or the open's own -errno.
    static int open(const QString &boardDevicePath, std::unique_ptr<UsbGadget> *gadget);

    // Blocks until the host sends a class request. -EPERM: Bulk-OUT data are waiting;
    // -ENOENT: the host has gone (remote enable off); -EBADF after close().
    virtual int waitSetup(UsbSetupPacket *setup) = 0;
    // The status byte the gadget reports to the host (READ_STATUS_BYTE, interrupt-IN).
    virtual int setStatusByte(unsigned char stb) = 0;
    // The gadget's device-clear state (1 or 2).
    virtual int setClearState(int state) = 0;
    // Bulk-OUT data: up to size bytes of one transfer; 0 when none is waiting.
    virtual int read(char *data, int size) = 0;
    // One Bulk-IN transfer.
    virtual int write(const char *data, int size) = 0;
    // The answer prepared for the last class request. The gadget module completes control
    // transfers itself, so its backend has nothing to send; the stand-in records it.
    virtual int answerSetup(const char *data, int size) = 0;
    // Ends the device: a waitSetup() blocked in another thread returns.
    virtual void close() = 0;
};

} // namespace platform
