#pragma once

#include <QByteArray>
#include <QString>

namespace sim {

// The panel's rotary encoder under a board root: a FIFO at root/dev/input/event0 that a test
// or the simulated board feeds with input records in the machine's own layout (struct
// input_event), as the kernel's input device delivers them. The FIFO is held open read-write,
// so records written before the reader opens wait in it.
class InputDevice
{
public:
    static const char BoardPath[]; // "/dev/input/event0"

    // Makes the FIFO under root when it is missing. Returns false with a reason on failure.
    static bool create(const QString &root, QString *error);

    // Opens (creating when missing) the FIFO under root.
    explicit InputDevice(const QString &root);
    ~InputDevice();
    InputDevice(const InputDevice &) = delete;
    InputDevice &operator=(const InputDevice &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // One record; returns false when it could not be written whole.
    bool report(int type, int code, int value);
    // An encoder report: the absolute position on ABS_X followed by a synchronisation record.
    bool turnTo(int position);
    // Raw bytes, for records split across reads.
    bool writeBytes(const QByteArray &bytes);
    static QByteArray record(int type, int code, int value);

private:
    int m_fd = -1;
};

} // namespace sim
