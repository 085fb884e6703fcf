#pragma once

#include "remote/ZOValue.h"

#include <string>

namespace zostd {

// A 16-bit integer; no limits until the value class sets them.
class ZOValue_int16_t : public ZOValue<short>
{
public:
    explicit ZOValue_int16_t(unsigned id);

    static const char kvtype[];
    const char *getKvType() const override { return kvtype; }
    virtual std::string toString() const;
};

} // namespace zostd
