#pragma once

#include "remote/ZOValue.h"

#include <climits>
#include <string>
#include <vector>

namespace zostd {

// A fixed-length list of integers with limits per element. A setting may be shorter than the
// list and may hold Unchanged in elements it leaves alone.
class ZOValue_vect_int32_t : public ZOValue<std::vector<int>>
{
public:
    static constexpr int Unchanged = INT_MIN;

    // value, pending value and limits are count zeros.
    ZOValue_vect_int32_t(unsigned id, int count);

    static const char kvtype[];
    const char *getKvType() const override { return kvtype; }

    using ZOValue<std::vector<int>>::setValue;
    // -222 when the setting is longer than the list or, with the range check, an element other
    // than Unchanged lies outside the limits of its index; otherwise it becomes the pending one.
    int setValueAsync(const std::vector<int> &v) override;
    virtual int setValueAsync(std::vector<int> &&v);
    virtual int setValue(std::vector<int> &&v);
    // Writes the pending elements other than Unchanged, then tells the observer.
    int commit() override;
    // Every element followed by a comma: "1,-2,3,".
    virtual std::string toString() const;

private:
    int check(const std::vector<int> &v) const;
};

} // namespace zostd
