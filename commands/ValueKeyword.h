#pragma once

#include "remote/ZOValue_keyword.h"

// A keyword value that is its own keyword bridge: the index limits are 0 to the bridge's count
// less one, checked unless the bridge has a single keyword.
template <class Bridge> class ValueKeyword : public zostd::ZOValue_keyword, public Bridge
{
public:
    explicit ValueKeyword(unsigned id)
        : zostd::ZOValue_keyword(id, nullptr)
        , Bridge()
    {
        m_bridge = this;
        const int count = Bridge::getCount();
        setLimits(0, static_cast<unsigned char>(count > 0 ? count - 1 : 0));
        setRangeCheck(count > 1);
    }

    // For classes that hand the index to the engine themselves: -222 outside the limits.
    int checkIndex(unsigned char index) const
    {
        return (rangeCheck() && (index < getMin() || index > getMax())) ? -222 : 0;
    }
};
