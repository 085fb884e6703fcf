#pragma once

#include <QThread>

#include <atomic>

namespace platform {
class UsbGadget;
}

namespace zo4882 {

class ZOUsbtmcService;

// The Bulk-OUT reader: once woken (enableReading), reads the gadget until it has nothing more
// and hands each read to the service (ep1_BulkOut, in this thread); polls the flag every 1 ms.
// Ends when interrupted.
class ZOUsbtmcBulk : public QThread
{
public:
    ZOUsbtmcBulk(ZOUsbtmcService *service, platform::UsbGadget *gadget);

    // Any thread: data are waiting.
    void enableReading() { m_readingEnabled.store(true); }

protected:
    void run() override;

private:
    ZOUsbtmcService *const m_service;
    platform::UsbGadget *const m_gadget;
    std::atomic<bool> m_readingEnabled { false };
};

} // namespace zo4882
