#pragma once

#include "remote/ZOValue.h"

#include <string>

namespace zostd {

// A switch: 0 or 1, range-checked; answers ON or OFF.
class ZOValue_bool8_t : public ZOValue<unsigned char>
{
public:
    explicit ZOValue_bool8_t(unsigned id);

    static const char kvtype[];
    const char *getKvType() const override { return kvtype; }
    virtual std::string toString() const;
};

} // namespace zostd
