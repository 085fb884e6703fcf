#include "remote/ZOInputLimit.h"

#include "remote/QueueError.h"

namespace zo4882 {

bool ZOInputLimit::overrun(INTF_TYPE_ENUM intf, int held, int used, int capacity)
{
    if (held - used < capacity)
        return false;
    queueErrorFrom(intf, -363, QString());
    return true;
}

int ZOInputLimit::skipControls(const unsigned char *data, int used, int len, int keep)
{
    while (used < len && data[used] < 0x20 && int(data[used]) != keep)
        ++used;
    return used;
}

} // namespace zo4882
