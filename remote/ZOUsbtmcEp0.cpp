#include "remote/ZOUsbtmcEp0.h"

#include "remote/CTL488MSG_T.h"
#include "remote/ZO4882ParserAsync.h"
#include "remote/ZOUsbtmcBulk.h"
#include "remote/ZOUsbtmcService.h"

#include "platform/UsbGadget.h"

#include <cerrno>

namespace zo4882 {

ZOUsbtmcEp0::ZOUsbtmcEp0(
    ZOUsbtmcService *service, platform::UsbGadget *gadget, ZOUsbtmcBulk *bulk, int wakePauseMs)
    : m_service(service)
    , m_gadget(gadget)
    , m_bulk(bulk)
    , m_wakePauseMs(wakePauseMs)
{ }

void ZOUsbtmcEp0::run()
{
    while (!isInterruptionRequested()) {
        platform::UsbSetupPacket setup;
        const int rc = m_gadget->waitSetup(&setup);
        if (rc == 0) {
            m_service->ep0_ClassRequestMain(setup);
        } else if (rc == -EPERM) {
            msleep(unsigned(m_wakePauseMs));
            m_bulk->enableReading();
        } else if (rc == -ENOENT) {
            ZO4882ParserAsync::postControl(CTL488_REN_OFF, 0, INTF_USBTMC, nullptr);
        } else if (rc == -EBADF || rc == -ENODEV) {
            // The device is closed or gone: nothing will come any more.
            return;
        }
    }
}

} // namespace zo4882
