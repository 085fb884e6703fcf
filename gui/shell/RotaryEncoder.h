#pragma once

#include <QMutex>
#include <QString>
#include <QThread>

namespace Qt {

// Reads the panel's rotary encoder, an input device reporting an absolute position, in a
// thread of its own and emits every change of position as a signed step count. The main
// window turns each report into one Up or Down key.
//
// The reader waits in poll() on the device and on a wake-up descriptor, so stop() ends it at
// once even while no event comes; the destructor stops the thread and waits for it. A device
// that cannot be opened or read is tried again after retryPauseMs. Under a board root the
// device is a FIFO fed with the same records: its start position is then 0.
class RotaryEncoder : public QThread
{
    Q_OBJECT

public:
    explicit RotaryEncoder(const QString &devicePath = QStringLiteral("/dev/input/event0"),
        int retryPauseMs = 1000,
        int pollBoundMs = 500);
    ~RotaryEncoder() override;

    // From any thread; the reader leaves its loop within the poll bound, at once when the
    // wake-up descriptor could be made.
    void stop();

Q_SIGNALS:
    // Emitted from the reader's thread for each EV_ABS event: the change of position (16 bit).
    void value(short axis);

protected:
    void run() override;

private:
    bool stopRequested();
    int openDevice(quint16 *position) const;
    // Waits up to ms, or until stop() is called.
    void pause(int ms);
    void drainWakeUp();

    bool m_stopRequested = false;
    QMutex m_mutex; // guards m_stopRequested
    int m_wakeFd = -1; // eventfd written by stop(), read by the reader
    const QString m_devicePath; // a board path
    const int m_retryPauseMs;
    const int m_pollBoundMs;
};

} // namespace Qt
