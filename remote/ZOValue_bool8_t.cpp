#include "remote/ZOValue_bool8_t.h"

namespace zostd {

const char ZOValue_bool8_t::kvtype[] = "bool8_t";

ZOValue_bool8_t::ZOValue_bool8_t(unsigned id)
    : ZOValue<unsigned char>(id)
{
    setLimits(0, 1);
    setRangeCheck(true);
}

std::string ZOValue_bool8_t::toString() const
{
    return getValue() ? "ON" : "OFF";
}

} // namespace zostd
