#pragma once

#include "remote/ZOValue_vect_int32_t.h"

namespace zostd {

// A list of fixed-point numbers: element i times 10^prefix[i] (prefixes set by the value class).
class ZOValue_vect_int32_t_engX : public ZOValue_vect_int32_t
{
public:
    ZOValue_vect_int32_t_engX(unsigned id, int count);

    static const char kvtype[];
    const char *getKvType() const override { return kvtype; }

    void setEngPrefix(const std::vector<short> &prefix) { m_engPrefix = prefix; }
    const std::vector<short> &engPrefix() const { return m_engPrefix; }
    // An element without a prefix counts as exponent 0.
    virtual std::vector<double> getRealValue() const;

protected:
    std::vector<short> m_engPrefix;
};

} // namespace zostd
