#include "remote/ZOValueManager.h"

#include <algorithm>

namespace zostd {

ZOValueManager *ZOValueManager::s_pSelf = nullptr;

ZOValueManager::ZOValueManager()
{
    s_pSelf = this;
}

ZOValueManager::~ZOValueManager()
{
    if (s_pSelf == this)
        s_pSelf = nullptr;
}

void ZOValueManager::registerZoValue(unsigned id, IValue *value)
{
    const auto at =
        std::upper_bound(m_values.begin(), m_values.end(), id, [](unsigned key, const Entry &e) {
            return key < e.id;
        });
    m_values.insert(at, Entry { id, value });
}

IValue *ZOValueManager::find(unsigned id) const
{
    if (id == 0)
        return nullptr;
    const auto at =
        std::lower_bound(m_values.begin(), m_values.end(), id, [](const Entry &e, unsigned key) {
            return e.id < key;
        });
    if (at == m_values.end() || at->id != id)
        return nullptr;
    return at->value;
}

} // namespace zostd
