#include "remote/ZOValue_vect_int32_t.h"

namespace zostd {

const char ZOValue_vect_int32_t::kvtype[] = "vect_int32_t";

ZOValue_vect_int32_t::ZOValue_vect_int32_t(unsigned id, int count)
    : ZOValue<std::vector<int>>(id)
{
    const std::vector<int> zeros(std::size_t(count > 0 ? count : 0), 0);
    m_value = zeros;
    m_pending = zeros;
    m_min = zeros;
    m_max = zeros;
}

int ZOValue_vect_int32_t::setValueAsync(const std::vector<int> &v)
{
    if (const int result = check(v))
        return result;
    m_pending = v;
    return 0;
}

int ZOValue_vect_int32_t::setValueAsync(std::vector<int> &&v)
{
    if (const int result = check(v))
        return result;
    m_pending = std::move(v);
    return 0;
}

int ZOValue_vect_int32_t::setValue(std::vector<int> &&v)
{
    const int result = setValueAsync(std::move(v));
    return result ? result : commit();
}

int ZOValue_vect_int32_t::commit()
{
    std::vector<int> &values = target();
    for (std::size_t i = 0; i < m_pending.size() && i < values.size(); ++i) {
        if (m_pending[i] != Unchanged)
            values[i] = m_pending[i];
    }
    notify();
    return 0;
}

std::string ZOValue_vect_int32_t::toString() const
{
    std::string text;
    for (int element : getValue())
        text += std::to_string(element) + ',';
    return text;
}

int ZOValue_vect_int32_t::check(const std::vector<int> &v) const
{
    // Longer than the list would write past its end on commit.
    if (v.size() > getValue().size())
        return -222;
    if (!m_rangeCheck)
        return 0;
    const std::vector<int> min = getMin();
    const std::vector<int> max = getMax();
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] == Unchanged)
            continue;
        if (i >= min.size() || i >= max.size() || v[i] < min[i] || v[i] > max[i])
            return -222;
    }
    return 0;
}

} // namespace zostd
