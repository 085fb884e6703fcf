#include "remote/ZOUsbtmcBulk.h"

#include "remote/ZOUsbtmcService.h"
#include "remote/ZOUsbtmcTransfer.h"

#include "platform/UsbGadget.h"

#include <memory>

namespace zo4882 {

ZOUsbtmcBulk::ZOUsbtmcBulk(ZOUsbtmcService *service, platform::UsbGadget *gadget)
    : m_service(service)
    , m_gadget(gadget)
{ }

void ZOUsbtmcBulk::run()
{
    const std::unique_ptr<char[]> buffer(new char[ZOUsbtmcTransfer::ReadSize]);
    while (!isInterruptionRequested()) {
        // The flag is cleared before reading, so a wake-up that comes during the burst is kept.
        if (m_readingEnabled.exchange(false)) {
            for (;;) {
                const int n = m_gadget->read(buffer.get(), ZOUsbtmcTransfer::ReadSize);
                if (n <= 0)
                    break;
                m_service->ep1_BulkOut(buffer.get(), n);
            }
        }
        msleep(1);
    }
}

} // namespace zo4882
