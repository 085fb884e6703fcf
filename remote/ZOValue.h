#pragma once

#include "remote/IValue.h"
#include "remote/IValueObserver.h"
#include "remote/ZOValueRegisterer.h"

namespace zostd {

// A typed value: a pending setting checked against limits, committed to its own storage or to
// a bound variable owned by the engine. T is unsigned char, short, int, double or
// std::vector<int>. Not locked: callers serialise through ZOValueManager::getMutex().
template <typename T> class ZOValue : public ZOValueRegisterer, public IValue
{
public:
    explicit ZOValue(unsigned id)
        : ZOValueRegisterer(id, this)
        , m_id(id)
    { }
    virtual ~ZOValue() = default;

    unsigned getID() const override { return m_id; }
    // Writes the pending value to the bound variable (or the own value), tells the observer.
    int commit() override
    {
        target() = m_pending;
        notify();
        return 0;
    }

    virtual T getMin() const { return m_min; }
    virtual T getMax() const { return m_max; }
    // setValueAsync, then commit when that succeeded.
    virtual int setValue(const T &v)
    {
        const int result = setValueAsync(v);
        return result ? result : commit();
    }
    // -222 (nothing changed) when the range check is on and v is outside the limits (a NaN is
    // outside too); otherwise v becomes the pending value.
    virtual int setValueAsync(const T &v)
    {
        if (m_rangeCheck && !(getMin() <= v && v <= getMax()))
            return -222;
        m_pending = v;
        return 0;
    }
    virtual T getValue() const { return m_boundValue ? *m_boundValue : m_value; }

    // Set up by the value classes, normally in their constructors.
    void setLimits(const T &min, const T &max)
    {
        m_min = min;
        m_max = max;
    }
    void setRangeCheck(bool on) { m_rangeCheck = on; }
    // The variable must outlive the value; null returns to the value's own storage.
    void bindValue(T *variable) { m_boundValue = variable; }
    void setObserver(IValueObserver *observer) { m_observer = observer; }
    bool rangeCheck() const { return m_rangeCheck; }
    const T &pending() const { return m_pending; }

protected:
    T &target() { return m_boundValue ? *m_boundValue : m_value; }
    void notify()
    {
        if (m_observer)
            m_observer->onCommit(this);
    }

    unsigned m_id;
    T m_value {};
    T m_pending {};
    T m_min {};
    T m_max {};
    T *m_boundValue = nullptr;
    bool m_rangeCheck = false;
    IValueObserver *m_observer = nullptr;
};

} // namespace zostd
