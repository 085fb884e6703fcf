#pragma once

#include "remote/ZOValue.h"

#include <string>

namespace zostd {

// A 32-bit integer; no limits until the value class sets them.
class ZOValue_int32_t : public ZOValue<int>
{
public:
    explicit ZOValue_int32_t(unsigned id);

    static const char kvtype[];
    const char *getKvType() const override { return kvtype; }
    virtual std::string toString() const;
};

} // namespace zostd
