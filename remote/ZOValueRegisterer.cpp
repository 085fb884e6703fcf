#include "remote/ZOValueRegisterer.h"

#include "remote/ZOValueManager.h"

namespace zostd {

ZOValueRegisterer::ZOValueRegisterer(unsigned id, IValue *value)
{
    // Only the pointer is stored here; the value is still being constructed.
    if (ZOValueManager::s_pSelf)
        ZOValueManager::s_pSelf->registerZoValue(id, value);
}

} // namespace zostd
