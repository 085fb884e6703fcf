#include "remote/ZOValue_real64_t.h"

#include <cstdio>

namespace zostd {

const char ZOValue_real64_t::kvtype[] = "real64_t";

ZOValue_real64_t::ZOValue_real64_t(unsigned id)
    : ZOValue<double>(id)
{ }

std::string ZOValue_real64_t::toString() const
{
    char text[32];
    std::snprintf(text, sizeof text, "%+0.5E", getValue());
    return text;
}

} // namespace zostd
