#pragma once

#include "remote/ZOValue_uint8_t.h"

namespace zostd {

class IKeywordBridge;

// A keyword parameter held as the keyword's index; the bridge (not owned) names it.
class ZOValue_keyword : public ZOValue_uint8_t
{
public:
    ZOValue_keyword(unsigned id, IKeywordBridge *bridge);

    static const char kvtype[];
    const char *getKvType() const override { return kvtype; }
    // The short keyword of the value; empty when the index is not one of the bridge's.
    std::string toString() const override;
    virtual IKeywordBridge *getKeywordBridge() const { return m_bridge; }

protected:
    IKeywordBridge *m_bridge;
};

} // namespace zostd
