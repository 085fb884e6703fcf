#include "remote/ZOValue_int32_t_engX.h"

#include <cmath>

namespace zostd {

const char ZOValue_int32_t_engX::kvtype[] = "int32_t_engX";

ZOValue_int32_t_engX::ZOValue_int32_t_engX(unsigned id)
    : ZOValue_int32_t(id)
{ }

double ZOValue_int32_t_engX::getRealValue() const
{
    return getValue() * std::pow(10.0, m_engExponent);
}

} // namespace zostd
