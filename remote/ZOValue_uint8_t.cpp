#include "remote/ZOValue_uint8_t.h"

#include <cstdio>

namespace zostd {

const char ZOValue_uint8_t::kvtype[] = "uint8_t";

ZOValue_uint8_t::ZOValue_uint8_t(unsigned id)
    : ZOValue<unsigned char>(id)
{ }

std::string ZOValue_uint8_t::toString() const
{
    char text[32];
    std::snprintf(text, sizeof text, "%hd", short(getValue()));
    return text;
}

} // namespace zostd
