#pragma once

#include "remote/ZOValue_int32_t.h"

namespace zostd {

// A fixed-point number: the integer value times 10^exponent (set by the value class).
class ZOValue_int32_t_engX : public ZOValue_int32_t
{
public:
    explicit ZOValue_int32_t_engX(unsigned id);

    static const char kvtype[];
    const char *getKvType() const override { return kvtype; }
    virtual double getRealValue() const;

    int engExponent() const { return m_engExponent; }
    void setEngExponent(int exponent) { m_engExponent = exponent; }

protected:
    int m_engExponent = 0;
};

} // namespace zostd
