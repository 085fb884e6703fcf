#include "remote/ZOValue_vect_int32_t_engX.h"

#include <cmath>

namespace zostd {

const char ZOValue_vect_int32_t_engX::kvtype[] = "vect_int32_t_engX";

ZOValue_vect_int32_t_engX::ZOValue_vect_int32_t_engX(unsigned id, int count)
    : ZOValue_vect_int32_t(id, count)
    , m_engPrefix(std::size_t(count > 0 ? count : 0), 0)
{ }

std::vector<double> ZOValue_vect_int32_t_engX::getRealValue() const
{
    const std::vector<int> values = getValue();
    std::vector<double> real;
    real.reserve(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int exponent = i < m_engPrefix.size() ? m_engPrefix[i] : 0;
        real.push_back(values[i] * std::pow(10.0, exponent));
    }
    return real;
}

} // namespace zostd
