#include "remote/ZOValue_int32_t.h"

#include <cstdio>

namespace zostd {

const char ZOValue_int32_t::kvtype[] = "int32_t";

ZOValue_int32_t::ZOValue_int32_t(unsigned id)
    : ZOValue<int>(id)
{ }

std::string ZOValue_int32_t::toString() const
{
    char text[32];
    std::snprintf(text, sizeof text, "%d", getValue());
    return text;
}

} // namespace zostd
