#pragma once

#include <QThread>

namespace platform {
class UsbGadget;
}

namespace zo4882 {

class ZOUsbtmcBulk;
class ZOUsbtmcService;

// The control endpoint: blocks in the gadget's wait for class requests and hands each to the
// service (ep0_ClassRequestMain, in this thread). The wait's EPERM means Bulk-OUT data are
// waiting (the bulk reader is woken after wakePauseMs), ENOENT that the host has gone (remote
// enable off). Ends when interrupted and the gadget is closed.
class ZOUsbtmcEp0 : public QThread
{
public:
    ZOUsbtmcEp0(
        ZOUsbtmcService *service, platform::UsbGadget *gadget, ZOUsbtmcBulk *bulk, int wakePauseMs);

protected:
    void run() override;

private:
    ZOUsbtmcService *const m_service;
    platform::UsbGadget *const m_gadget;
    ZOUsbtmcBulk *const m_bulk;
    const int m_wakePauseMs;
};

} // namespace zo4882
