#pragma once

#include "platform/SpiPort.h"

#include <QMutex>
#include <QThread>
#include <QWaitCondition>

struct spi_ioc_transfer;

namespace ioc {

// The controller's SPI device (a board path).
extern const char *const spiDevice;

// The maintenance tool's own, small link to the I/O controller (never linked with the
// instrument's engine/ioc, whose classes bear the same names): a worker thread that sends what
// its derived class queued. The derived worker's queue is guarded by m_mutex, on which m_wake
// waits; every SPI message is sent under the class-wide m_spiMutex.
// Lock order: m_mutex, then m_spiMutex.
//
// The SPI device is opened by the first worker constructed (mode 0, 32 bits per word, 24 MHz
// top clock) and closed by stop(); the next worker of the process opens it again. It is opened
// and closed only by the constructing thread while no worker thread runs.
class IoControl : public QThread
{
    Q_OBJECT

public:
    static constexpr quint32 MaxSpeedHz = 24000000;

    // Function modes of other instrument types (register 0x80004700).
    enum FunctionMode {
        fmNone = 0,
        fmAcw = 1,
        fmDcw = 2,
        fmIr = 3,
        fmEc = 4,
        fmEcDc = 5,
        fmPd = 6,
        fmLc = 7,
    };
    Q_ENUM(FunctionMode)

    ~IoControl() override;

    // Wakes the worker so that it sends what is queued.
    virtual void transfer() = 0;

    // Ends the worker (the pass in progress completes, so writes already queued and woken are
    // sent), waits for its thread and closes the device. Returns 0, the negative errno of the
    // first SPI request that failed since the worker was built, or the failed open's.
    int stop();

    // 0 while the device is not open, a negative errno after a failed open (for the rest of the
    // process), positive while it is open.
    static int deviceState() { return m_fd; }

protected:
    explicit IoControl(QObject *parent = nullptr);

    void run() override;
    virtual void initThread() = 0;
    // One pass: waits for work or a stop and sends what is queued; returns the last SPI result.
    virtual int transferThread() = 0;

    // Sends count transfers as one SPI message under m_spiMutex; call with m_mutex held.
    int sendMessage(const spi_ioc_transfer *transfers, int count);

    mutable QMutex
        m_mutex; // guards the derived worker's queue, m_stop and m_failure; m_wake's mutex
    QWaitCondition m_wake;
    bool m_stop = false;
    int m_failure = 0; // first failed SPI request's negative errno

    static int m_fd; // device state, see deviceState()
    static QMutex m_spiMutex; // held around every SPI message to the controller; guards m_port
    static platform::SpiPort m_port;
    static int m_functionMode; // instrument function mode of other instrument types, 0 at start
    static int m_network; // network state of other instrument types
};

} // namespace ioc
