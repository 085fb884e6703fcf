#pragma once

#include "remote/ZOValue.h"

#include <string>

namespace zostd {

// A small unsigned number; no limits until the value class sets them.
class ZOValue_uint8_t : public ZOValue<unsigned char>
{
public:
    explicit ZOValue_uint8_t(unsigned id);

    static const char kvtype[];
    const char *getKvType() const override { return kvtype; }
    virtual std::string toString() const;
};

} // namespace zostd
