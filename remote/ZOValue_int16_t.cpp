#include "remote/ZOValue_int16_t.h"

#include <cstdio>

namespace zostd {

const char ZOValue_int16_t::kvtype[] = "int16_t";

ZOValue_int16_t::ZOValue_int16_t(unsigned id)
    : ZOValue<short>(id)
{ }

std::string ZOValue_int16_t::toString() const
{
    char text[32];
    std::snprintf(text, sizeof text, "%hd", getValue());
    return text;
}

} // namespace zostd
