#include "remote/ZOValue_keyword.h"

#include "remote/IKeywordBridge.h"

namespace zostd {

const char ZOValue_keyword::kvtype[] = "keyword";

ZOValue_keyword::ZOValue_keyword(unsigned id, IKeywordBridge *bridge)
    : ZOValue_uint8_t(id)
    , m_bridge(bridge)
{ }

std::string ZOValue_keyword::toString() const
{
    return m_bridge ? m_bridge->getMappedKeyword(getValue()) : std::string();
}

} // namespace zostd
