#pragma once

#include "remote/ZOValue.h"

#include <string>

namespace zostd {

// A real number, answered as +d.ddddE+dd; no limits until the value class sets them.
class ZOValue_real64_t : public ZOValue<double>
{
public:
    explicit ZOValue_real64_t(unsigned id);

    static const char kvtype[];
    const char *getKvType() const override { return kvtype; }
    virtual std::string toString() const;
};

} // namespace zostd
