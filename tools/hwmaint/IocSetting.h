#pragma once

#include "tools/hwmaint/IoControl.h"

#include <QVector>

namespace ioc {

class RegWriteTransfer;

// The register writer of the maintenance tool: transfers are queued by the caller's thread and
// sent by the worker thread when woken (transfer()), in queue order, at most MaxBatch to one SPI
// message. The queue owns its transfers; m_mutex (IoControl) guards it and stays locked while a
// pass sends, so a producer waits until the pass ends.
class IocSetting : public IoControl
{
    Q_OBJECT

public:
    static constexpr int MaxBatch = 20;
    static constexpr quint32 BootModeRegister = 0x80006100;

    enum TrigAcquireSource {
        tasImmediate = 0x100,
        tasBus = 0x200,
        tasDigital2 = 0x2000,
        tasTALink = 0x4000,
        tasMSync = 0x8000,
    };
    Q_DECLARE_FLAGS(TrigAcquireSources, TrigAcquireSource)
    Q_FLAG(TrigAcquireSources)

    enum TrigTransientSource {
        ttsImmediate = 0x1,
        ttsBus = 0x2,
        ttsDigital2 = 0x20,
        ttsMSync = 0x80,
    };
    Q_DECLARE_FLAGS(TrigTransientSources, TrigTransientSource)
    Q_FLAG(TrigTransientSources)

    explicit IocSetting(QObject *parent = nullptr);
    // Stops the worker when it still runs, then deletes what is still queued, last first.
    ~IocSetting() override;

    void transfer() override;

    // Queues one write of the boot-mode pair (see the table in the source); does not wake the
    // worker. The caller sends the first, waits 100 ms and sends the second.
    void iocBootMode(bool isp, bool first);
    // Queues a transfer and takes it over; does not wake the worker. Every setter ends here.
    void enqueue(RegWriteTransfer *transfer);
    // Waits until the worker has sent everything queued; false when timeoutMs passed first.
    // A boot-mode pair is timed from the moment its first write went out, not from its queueing.
    bool waitUntilSent(int timeoutMs);

protected:
    void initThread() override;
    int transferThread() override;

private:
    QVector<RegWriteTransfer *> m_queue; // guarded by m_mutex; owned
    QWaitCondition m_sent; // on m_mutex: a pass has emptied the queue
};

} // namespace ioc
